#!/usr/bin/env bash
# Writes the bash completion of quorvel-cli from the program's own help, so
# that every command and option it completes is one the program has.
#   make-completion.sh EXECUTABLE OUTPUT
set -euo pipefail
exe="$1"
out="$2"
export QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 LC_ALL=C.UTF-8

commands=$("$exe" --help | awk '/Commands:$/ { on = 1; next } on && NF == 0 { exit } on { print $1 }')

# Per command: every option word, and the options that take a value with the
# kind of value (<DIR>, <FILE>, <format>, <pages>, anything else).
option_table() {
    "$exe" "$1" --help | awk '
        /^Options:$/ { on = 1; next }
        /^Arguments:$/ { exit }
        on && /^  +-/ {
            line = $0; sub(/^ +/, "", line); split(line, halves, /  +/)
            tag = halves[1]; value = ""
            if (match(tag, / <[^>]+>$/)) { value = substr(tag, RSTART + 2, RLENGTH - 3); tag = substr(tag, 1, RSTART - 1) }
            n = split(tag, parts, /, /)
            for (i = 1; i <= n; ++i)
                print parts[i] "\t" value
        }'
}

{
    echo "# bash completion for quorvel-cli, generated from its --help when it was built."
    echo
    echo "_quorvel_cli_options()"
    echo "{"
    echo "    case \"\$1\" in"
    for command in $commands; do
        words=$(option_table "$command" | cut -f1 | tr '\n' ' ' | sed 's/ $//')
        echo "    $command) echo \"$words\" ;;"
    done
    echo "    esac"
    echo "}"
    echo
    echo "# The kind of value an option of a command takes; empty for a switch."
    echo "_quorvel_cli_value()"
    echo "{"
    echo "    case \"\$1 \$2\" in"
    for command in $commands; do
        option_table "$command" | awk -F '\t' -v cmd="$command" '$2 != "" { printf "    \"%s %s\") echo \"%s\" ;;\n", cmd, $1, $2 }'
    done
    echo "    esac"
    echo "}"
    cat <<TEMPLATE

_quorvel_cli()
{
    local cur=\${COMP_WORDS[COMP_CWORD]}
    local prev=\${COMP_WORDS[COMP_CWORD-1]}
    local commands="$(echo $commands)"
    COMPREPLY=()
    if [ "\$COMP_CWORD" -eq 1 ]; then
        COMPREPLY=(\$(compgen -W "\$commands help --help --version" -- "\$cur"))
        return
    fi
    local command=\${COMP_WORDS[1]}
    if [ "\$command" = help ]; then
        [ "\$COMP_CWORD" -eq 2 ] && COMPREPLY=(\$(compgen -W "\$commands" -- "\$cur"))
        return
    fi
    if [ "\$COMP_CWORD" -gt 2 ]; then
        case "\$(_quorvel_cli_value "\$command" "\$prev")" in
        DIR) compopt -o filenames 2>/dev/null; COMPREPLY=(\$(compgen -d -- "\$cur")); return ;;
        FILE) compopt -o filenames 2>/dev/null; COMPREPLY=(\$(compgen -f -- "\$cur")); return ;;
        format) COMPREPLY=(\$(compgen -W "jpg png bmp webp tif" -- "\$cur")); return ;;
        pages) COMPREPLY=(\$(compgen -W "all odd even" -- "\$cur")); return ;;
        ?*) return ;;
        esac
    fi
    if [[ "\$cur" == -* ]]; then
        COMPREPLY=(\$(compgen -W "\$(_quorvel_cli_options "\$command")" -- "\$cur"))
        return
    fi
    compopt -o filenames 2>/dev/null
    COMPREPLY=(\$(compgen -f -- "\$cur"))
}
complete -F _quorvel_cli quorvel-cli
TEMPLATE
} > "$out"
