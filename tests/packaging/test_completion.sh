#!/usr/bin/env bash
# murmex-cli's bash completion, driven as bash drives it: one completion per case of the table,
# in a folder holding audio files, other files and a subfolder; and every long option of --help
# is offered after "--".
# Usage: test_completion.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
source_dir=$(realpath "$1")
build_dir=$(realpath "$2")
export PATH=$build_dir/cli:$PATH LC_ALL=C
# shellcheck disable=SC1091
source /usr/share/bash-completion/bash_completion
# shellcheck disable=SC1091
source "$source_dir/packaging/murmex-cli.bash"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
touch talk.wav LOUD.FLAC song.mp3 notes.txt voice.ogg old.flc clip.wma
mkdir takes

# Completes the last word of a command line; prints the candidates sorted, on one line.
complete_words() {
  COMP_WORDS=(murmex-cli "$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE="${COMP_WORDS[*]}"
  COMP_POINT=${#COMP_LINE}
  COMPREPLY=()
  _murmex_cli murmex-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}" 2>/dev/null
  printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd' '
}

failures=0
check() {
  local expected=$1
  shift
  local got
  got=$(complete_words "$@")
  if [[ $got != "$expected" ]]; then
    echo "FAIL: murmex-cli $* <TAB>: expected '$expected', got '$got'" >&2
    failures=$((failures + 1))
  fi
}

#     expected candidates                                      command line
check 'mp3 ogg wav wma'                                        --format ''
check 'mp3'                                                    -f m
check 'mp3'                                                    --format=m
check '128 160 192'                                            --kbps 1
check '1 2 3 4 5 6 7 8 9'                                      -q ''
check 'adaptive'                                               --method a
check '--method'                                               --meth
check '--output --output-dir'                                  --outp
check ''                                                       --bias ''
check ''                                                       --reduction 6
check 'LOUD.FLAC clip.wma old.flc song.mp3 takes talk.wav voice.ogg' ''
check 'LOUD.FLAC clip.wma old.flc song.mp3 takes talk.wav voice.ogg' --force ''
check 'clip.wma song.mp3 takes talk.wav voice.ogg'             -o ''
check 'takes'                                                  -d ''
check 'takes talk.wav'                                         --quiet t

offered=$(complete_words --)
for option in $(murmex-cli --help | grep -oE -- '(^|[[:space:],])--[a-z][a-z-]*' | tr -d ' ,' | sort -u); do
  grep -qx -- "$option" <<<"${offered// /$'\n'}" || {
    echo "FAIL: $option from --help is not offered after --" >&2
    failures=$((failures + 1))
  }
done
((failures == 0))
