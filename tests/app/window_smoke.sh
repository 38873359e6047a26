#!/usr/bin/env bash
# Starts the real program in the running X server from a foreign working
# directory, checks that its 1050x620 window appears and keeps a screenshot.
# Exit 77 (skipped) when no display is available.
set -u
exe="$1"
shots="$2"
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY: skipped"; exit 77; }
command -v xwininfo >/dev/null || { echo "xwininfo missing: skipped"; exit 77; }
# The X server of the test run may still be settling on a busy machine.
if command -v xdpyinfo >/dev/null; then
    reachable=0
    for _ in $(seq 1 100); do
        if xdpyinfo >/dev/null 2>&1; then reachable=1; break; fi
        sleep 0.1
    done
    [ "$reachable" = 1 ] || { echo "display $DISPLAY not reachable"; exit 1; }
fi
mkdir -p "$shots"
work=$(mktemp -d)
cd "$work" || exit 1
QT_QPA_PLATFORM=xcb "$exe" &
pid=$!
found=0
for _ in $(seq 1 100); do
    if xwininfo -root -tree 2>/dev/null | grep -q '1050x620'; then found=1; break; fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
sleep 0.5
if command -v import >/dev/null; then
    import -window root "$shots/main-window.png" 2>/dev/null || true
fi
alive=0
kill -0 "$pid" 2>/dev/null && alive=1
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
rm -rf "$work"
[ "$alive" = 1 ] || { echo "program exited early"; exit 1; }
[ "$found" = 1 ] || { echo "no 1050x620 window appeared"; exit 1; }
echo "window shown; screenshot in $shots/main-window.png"
