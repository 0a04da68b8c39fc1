# bash completion for murmex-cli
# Options are read from the program's own --help, so they follow it; values are offered for the
# options that take one of a few, and file names for inputs are limited to the formats it reads.

_murmex_cli() {
    local cur prev words cword split
    _init_completion -s || return

    case $prev in
        -f | --format)
            COMPREPLY=($(compgen -W 'wav mp3 ogg wma' -- "$cur"))
            return
            ;;
        -b | --kbps)
            COMPREPLY=($(compgen -W '96 128 160 192 256 320' -- "$cur"))
            return
            ;;
        -q | --vbr)
            COMPREPLY=($(compgen -W '1 2 3 4 5 6 7 8 9' -- "$cur"))
            return
            ;;
        --method)
            COMPREPLY=($(compgen -W 'classic adaptive' -- "$cur"))
            return
            ;;
        -o | --output)
            _filedir '@(wav|mp3|ogg|wma)'
            return
            ;;
        -d | --output-dir)
            _filedir -d
            return
            ;;
        # Numbers: nothing sensible to offer.
        --bias | --reduction | --noise-from | -j | --jobs | --timeout | -h | --help | --version)
            return
            ;;
    esac
    $split && return

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '$(_parse_help "$1")' -- "$cur"))
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
        return
    fi
    _filedir '@(wav|mp3|ogg|wma|flac|flc)'
} &&
    complete -F _murmex_cli murmex-cli
