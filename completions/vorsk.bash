# bash completion for vorsk                                  -*- shell-script -*-

_vorsk()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD - 1]}
    local before=
    ((COMP_CWORD >= 2)) && before=${COMP_WORDS[COMP_CWORD - 2]}
    local color_words='always never none auto'
    local format_words='auto cast ttyrec sudo raw'
    local summary_words='only json'
    local kind_words='text control escape label description delay string metadata input screen'

    # readline usually splits "--color=au" into "--color", "=", "au".
    if [[ $cur == = && ($prev == --color || $prev == --colour) ]]; then
        COMPREPLY=($(compgen -W "$color_words"))
        return
    fi
    if [[ $prev == = && ($before == --color || $before == --colour) ]]; then
        COMPREPLY=($(compgen -W "$color_words" -- "$cur"))
        return
    fi
    if [[ $cur == = && $prev == --format ]]; then
        COMPREPLY=($(compgen -W "$format_words"))
        return
    fi
    if [[ $prev == = && $before == --format ]]; then
        COMPREPLY=($(compgen -W "$format_words" -- "$cur"))
        return
    fi
    if [[ $cur == = && $prev == --summary ]]; then
        COMPREPLY=($(compgen -W "$summary_words"))
        return
    fi
    if [[ $prev == = && $before == --summary ]]; then
        COMPREPLY=($(compgen -W "$summary_words" -- "$cur"))
        return
    fi
    if [[ $prev == = && ($before == --timings || $before == --input-log || $before == --log || $before == --record) ]] ||
        [[ $cur == = && ($prev == --timings || $prev == --input-log || $prev == --log || $prev == --record) ]]; then
        [[ $cur == = ]] && cur=
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -f -- "$cur"))
        return
    fi
    # The line kinds of --only and --except, after the last comma.
    if [[ $prev == = && ($before == --only || $before == --except) ]] ||
        [[ $cur == = && ($prev == --only || $prev == --except) ]]; then
        [[ $cur == = ]] && cur=
        COMPREPLY=($(compgen -P "${cur%,*}${cur:+,}" -W "$kind_words" -- "${cur##*,}"))
        [[ $cur != *,* ]] && COMPREPLY=($(compgen -W "$kind_words" -- "$cur"))
        return
    fi
    # The terminal types ncurses knows, for --terminfo and --check.
    if [[ $prev == = && ($before == --terminfo || $before == --check) ]] ||
        [[ $cur == = && ($prev == --terminfo || $prev == --check) ]]; then
        [[ $cur == = ]] && cur=
        COMPREPLY=($(compgen -W "$(toe -a 2>/dev/null | cut -f1)" -- "$cur"))
        return
    fi
    # The same words when "=" is not a word break.
    case $cur in
        --terminfo=* | --check=*)
            COMPREPLY=($(compgen -P "${cur%%=*}=" -W "$(toe -a 2>/dev/null | cut -f1)" -- "${cur#*=}"))
            return
            ;;
        --color=* | --colour=*)
            COMPREPLY=($(compgen -P "${cur%%=*}=" -W "$color_words" -- "${cur#*=}"))
            return
            ;;
        --summary=*)
            COMPREPLY=($(compgen -P --summary= -W "$summary_words" -- "${cur#*=}"))
            return
            ;;
        --timings=* | --input-log=* | --log=* | --record=*)
            compopt -o filenames 2>/dev/null
            COMPREPLY=($(compgen -P "${cur%%=*}=" -f -- "${cur#*=}"))
            return
            ;;
        --format=*)
            COMPREPLY=($(compgen -P --format= -W "$format_words" -- "${cur#*=}"))
            return
            ;;
        --cast-version=*)
            COMPREPLY=($(compgen -P --cast-version= -W "2 3" -- "${cur#*=}"))
            return
            ;;
        --only=* | --except=*)
            local words=${cur#*=}
            local done=
            [[ $words == *,* ]] && done=${words%,*},
            COMPREPLY=($(compgen -P "${cur%%=*}=$done" -W "$kind_words" -- "${words##*,}"))
            return
            ;;
        --command=*)
            COMPREPLY=($(compgen -P --command= -c -- "${cur#*=}"))
            return
            ;;
    esac

    case $prev in
        -t | --timings | --input-log | --log | --record)
            compopt -o filenames 2>/dev/null
            COMPREPLY=($(compgen -f -- "$cur"))
            return
            ;;
        -c | --command)
            COMPREPLY=($(compgen -c -- "$cur"))
            return
            ;;
        -h | --help | -V | --version)
            return
            ;;
    esac

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '-h --help -V --version -C -D -E -L -I
            --no-interactive -X --extended --keys --summary --summary= --html --terminfo --terminfo= --check= --probe --screen --screen= --size= --json --only= --except= --from= --to= --grep= -b --buffered -t
            --timings= --input-log= --format= --idle-limit --idle-limit= -c --command= --log= --record= --cast-version= -x --color --color= --colour
            --colour=' -- "$cur"))
        # No blank after a word that ends in "=": its value comes next.
        [[ ${#COMPREPLY[@]} -eq 1 && ${COMPREPLY[0]} == *= ]] && compopt -o nospace 2>/dev/null
        return
    fi

    # The input file, then the output file.
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -f -- "$cur"))
} &&
    complete -F _vorsk vorsk

# ex: filetype=sh
