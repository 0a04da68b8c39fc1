#!/usr/bin/env bash
# The desktop entry, the AppStream metadata and the manual pages as a desktop and man(1) read them:
# each validates without a warning, the manual pages describe every option the programs' --help
# lists, and the metadata offers only media types the desktop entry opens.
# Usage: check_metadata.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

desktop=$source_dir/app/murmex.desktop
metainfo=$build_dir/packaging/murmex.metainfo.xml

desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
# The component keeps the desktop file's name as its ID (see the README): that one finding is
# reported as information, every other one fails.
appstreamcli validate --no-net --override=cid-desktopapp-is-not-rdns=info "$metainfo" ||
  fail "appstreamcli validate $metainfo"

opened=$(sed -n 's/^MimeType=//p' "$desktop" | tr ';' '\n')
for type in $(sed -n 's:.*<mediatype>\(.*\)</mediatype>.*:\1:p' "$metainfo"); do
  grep -qxF "$type" <<<"$opened" || fail "$metainfo offers $type, which $desktop does not open"
done

for program in "$build_dir/app/murmex" "$build_dir/cli/murmex-cli"; do
  name=$(basename "$program")
  page=$build_dir/packaging/$name.1
  [[ -s $page ]] || { fail "no manual page $page"; continue; }
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
  [[ -z $warnings ]] || fail "man --warnings $page: $warnings"
  text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -E UTF-8 -l "$page" 2>/dev/null | col -b)
  for section in NAME SYNOPSIS DESCRIPTION 'EXIT STATUS' EXAMPLES FILES; do
    grep -qx "$section" <<<"$text" || fail "$page has no $section section"
  done
  for option in $("$program" --help | grep -oE -- '(^|[[:space:],])--[a-z][a-z-]*' | tr -d ' ,' | sort -u); do
    grep -qF -- "$option" <<<"$text" || fail "$page does not describe $option"
  done
done
((failures == 0))
