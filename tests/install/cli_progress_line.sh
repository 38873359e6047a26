#!/usr/bin/env bash
# quorvel-cli's progress line as a person sees it: a 20-file conversion (one
# file corrupt) runs in tmux on a pseudo-terminal; the raw bytes the terminal
# received must show the line updating and ending on 20/20, and the final
# screen must show one line, not a trail of states. The same run into a
# pipe, with --json and with --quiet must carry no trace of it.
#   cli_progress_line.sh QUORVEL_CLI
set -euo pipefail
cli="$1"
command -v tmux > /dev/null || { echo "tmux missing"; exit 1; }
work=$(mktemp -d)
socket="quorvel-progress-$$"
cleanup() {
    tmux -L "$socket" kill-server 2> /dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

mkdir -p "$work/in"
convert -size 320x240 gradient:navy-gold "$work/in/photo-01.png"
for i in $(seq -w 2 19); do cp "$work/in/photo-01.png" "$work/in/photo-$i.png"; done
printf 'not a picture' > "$work/in/photo-20.png"

# Runs quorvel-cli with the arguments in a fresh tmux session of the given
# width (stderr and stdout on its terminal) and waits for it; leaves the
# bytes the terminal got in $work/$name.raw and the final screen in
# $work/$name.screen.
on_terminal() {
    local name="$1" width="$2"
    shift 2
    {
        echo "tmux -L $socket wait-for go-$name"
        echo "cd $(printf '%q' "$work")"
        printf '%q ' "$cli" "$@"
        echo
        echo "echo \"exit=\$?\""
        echo "tmux -L $socket wait-for -S done-$name"
        echo "sleep 60"
    } > "$work/$name.sh"
    tmux -L "$socket" -f /dev/null new-session -d -x "$width" -y 30 -s "$name" "bash $(printf '%q' "$work/$name.sh")"
    tmux -L "$socket" pipe-pane -t "$name" -o "cat > $(printf '%q' "$work/$name.raw")"
    tmux -L "$socket" wait-for -S "go-$name"
    timeout 120 tmux -L "$socket" wait-for "done-$name" || fail "$name did not finish"
    sleep 0.3
    tmux -L "$socket" capture-pane -p -t "$name" > "$work/$name.screen"
    tmux -L "$socket" kill-session -t "$name"
}

# --- On a terminal ---------------------------------------------------------------
on_terminal plain 100 convert --to jpg -j 1 in -o out-plain
grep -q '^exit=1$' "$work/plain.screen" || { cat "$work/plain.screen"; fail "exit status (one corrupt file) is not 1"; }
# Every state the line went through, in order: the text after each carriage return.
tr '\r' '\n' < "$work/plain.raw" | sed $'s/\x1b\\[K//g' | grep -o '[0-9]*/20 files.*' > "$work/states" || true
counts=$(sed 's#/.*##' "$work/states" | uniq)
[ "$(echo "$counts" | wc -l)" -ge 10 ] || { cat "$work/states"; fail "the line did not update per file"; }
sort -n -c <(echo "$counts") || fail "the count went backwards: $counts"
last=$(tail -n 1 "$work/states")
case "$last" in
"20/20 files, 1 failed, "*" elapsed") ;;
*) fail "the last state is '$last'" ;;
esac
grep -q 'files, [0-9:, a-z]*about [0-9]*:[0-9][0-9] left' "$work/states" || fail "no estimate of the time left"
# What stays on the screen: the final line once, then the summary.
[ "$(grep -c '/20 files' "$work/plain.screen")" = 1 ] || { cat "$work/plain.screen"; fail "old states left on screen"; }
grep -A1 '20/20 files' "$work/plain.screen" | grep -q '^19 of 20 done, 1 failed' \
    || { cat "$work/plain.screen"; fail "the summary does not follow the final line"; }
grep -q 'quorvel-cli: .*photo-20.png: ' "$work/plain.screen" || fail "the failure is not reported"

# A narrow terminal: the line is shortened, never wrapped (a wrapped line
# cannot be taken back, and every state would stay on the screen).
on_terminal narrow 24 convert --to jpg -j 1 in -o out-narrow
[ "$(grep -c '/20' "$work/narrow.screen")" = 1 ] || { cat "$work/narrow.screen"; fail "the line wrapped on a narrow terminal"; }
grep -q '^20/20 files, 1 failed *$' "$work/narrow.screen" || { cat "$work/narrow.screen"; fail "the narrow line lost its counts"; }

# --json and --quiet on a terminal: no progress line.
on_terminal json 100 convert --to jpg -j 1 --json in -o out-json
grep -q '/20 files' "$work/json.raw" && fail "--json shows the progress line"
[ "$(grep -c '"status":"ok"' "$work/json.raw")" = 19 ] || fail "--json printed no 19 results"
on_terminal quiet 100 convert --to jpg -j 1 --quiet in -o out-quiet
grep -q '/20 files\|of 20 done' "$work/quiet.raw" && fail "--quiet shows progress or summary"
grep -q 'photo-20.png' "$work/quiet.raw" || fail "--quiet hides the failure"

# --- Into a pipe -----------------------------------------------------------------
cd "$work"
set +e
"$cli" convert --to jpg -j 1 in -o out-pipe 2> "$work/pipe.err" | cat > "$work/pipe.out"
status=${PIPESTATUS[0]}
set -e
[ "$status" = 1 ] || fail "exit status into a pipe is $status"
grep -q $'\r\|\x1b' "$work/pipe.err" "$work/pipe.out" && fail "control characters in a pipe"
grep -q '/20 files' "$work/pipe.err" && fail "the progress line went into a pipe"
grep -q '^19 of 20 done, 1 failed' "$work/pipe.err" || fail "no summary into a pipe"
[ "$(wc -l < "$work/pipe.out")" = 19 ] || fail "results into a pipe"
echo "progress line: $(echo "$counts" | wc -l) states on the terminal, none in a pipe"
