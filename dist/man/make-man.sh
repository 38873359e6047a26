#!/usr/bin/env bash
# Builds one gzipped manual page with help2man from a program's own --help and
# --version, so that the page cannot drift from the program.
#   make-man.sh OUTPUT.1.gz EXECUTABLE INCLUDE.h2m VERSION [--commands]
# The page carries VERSION (the project's), whatever the program's own
# --version prints or whether it has one. --commands adds a COMMANDS section made from "EXECUTABLE <command> --help"
# for every command the general help lists (quorvel-cli).
set -euo pipefail
out="$1"
exe="$2"
include="$3"
version="$4"
commands="${5:-}"

# The programs run here without a display and outside any test.
export QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 LC_ALL=C.UTF-8
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# One command's --help as roff: synopsis, summary, each option as a tagged
# paragraph, then the command's own notes verbatim.
command_roff() {
    awk -v cmd="$1" '
    function esc(s) { gsub(/\\/, "\\e", s); gsub(/-/, "\\-", s); return s }
    function text(s) { gsub(/\\/, "\\e", s); sub(/^[.\x27]/, "\\\\&&", s); return s }
    # The help names the build machine\x27s core count ("2 here"); a manual
    # page describes every machine.
    function flush() { sub(/, [0-9]+ here\)/, ")", desc); if (tag != "") { print ".TP"; print "\\fB" esc(tag) "\\fR"; print text(desc) } tag = ""; desc = "" }
    NR == 1 { sub(/^Usage: quorvel-cli [^ ]+ ?/, ""); print ".SS " cmd; print ".B quorvel\\-cli " cmd; print esc($0); next }
    /^Options:$/ { part = "options"; next }
    /^Arguments:$/ { flush(); part = "arguments"; next }
    part == "" && NF > 0 { print ".PP"; s = $0; sub(/\.$/, "", s); print text(toupper(substr(s, 1, 1)) substr(s, 2)) "."; next }
    part == "options" && /^  +-/ {
        flush()
        line = $0; sub(/^ +/, "", line)
        split(line, halves, /  +/)
        tag = halves[1]; desc = substr(line, length(tag) + 1); sub(/^ +/, "", desc)
        next
    }
    part == "options" && /^  +[^ ]/ { s = $0; sub(/^ +/, "", s); desc = desc " " s; next }
    part == "arguments" && NF == 0 { part = "notes"; print ".PP"; print ".nf"; notes = 1; next }
    part == "notes" { print text($0); next }
    END { flush(); if (notes) print ".fi" }
    '
}

cp "$include" "$tmp/page.h2m"
if [ "$commands" = "--commands" ]; then
    echo "[COMMANDS]" >> "$tmp/page.h2m"
    for command in $("$exe" --help | awk '/Commands:$/ { on = 1; next } on && NF == 0 { exit } on { print $1 }'); do
        "$exe" "$command" --help | command_roff "$command" >> "$tmp/page.h2m"
    done
fi
# help2man reads the help through a wrapper of the same name that joins a
# usage line continued on the next lines ("Usage: x [a]\n      [b]"), which
# it would otherwise leave out of the synopsis.
cat > "$tmp/join-usage.awk" <<'AWK'
NR == 1 && /^Usage:/ { usage = $0; next }
usage != "" && /^ +\[/ { sub(/^ +/, " "); usage = usage $0; next }
usage != "" { print usage; usage = "" }
{ print }
END { if (usage != "") print usage }
AWK
name=$(basename "$exe")
mkdir "$tmp/bin"
printf '#!/bin/sh\n"%s" "$@" | awk -f "%s"\n' "$exe" "$tmp/join-usage.awk" > "$tmp/bin/$name"
chmod +x "$tmp/bin/$name"
help2man --no-info --version-string="$name $version" --include "$tmp/page.h2m" \
    --output "$tmp/page.1" "$tmp/bin/$name"
gzip -9n -c "$tmp/page.1" > "$out"
