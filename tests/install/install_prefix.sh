#!/usr/bin/env bash
# Installs the build into a fresh prefix (with a space in its path) and uses
# what was installed the way a user would, from another folder: quorvel-cli
# on fixtures (the GIF and PDF commands load the helper libraries from the
# private folder), the manual pages, the completion, the validators. With a
# display it starts the installed window twice, plain and with two files on
# its command line, and keeps screenshots of both in SHOTS.
#   install_prefix.sh BUILD_DIR SHOTS
set -euo pipefail
build="$1"
shots="$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/install root"
elsewhere="$work/somewhere else"
mkdir -p "$elsewhere"
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$prefix" > "$work/install.log" || { cat "$work/install.log"; fail "cmake --install"; }

# --- Layout ------------------------------------------------------------------
for f in \
    lib/quorvel/quorvel lib/quorvel/quorvel-cli lib/quorvel/quorvel-decode lib/quorvel/libqvgifconv.so lib/quorvel/libqvpdfrender.so lib/quorvel/libqvpdfwrite.so lib/quorvel/libqvsvgrender.so \
    lib/quorvel/res/default.rcc lib/quorvel/res/quorvel.qm \
    share/applications/quorvel.desktop share/metainfo/io.github.quorvel.Quorvel.metainfo.xml \
    share/icons/hicolor/scalable/apps/quorvel.svg share/icons/hicolor/48x48/apps/quorvel.png \
    share/icons/hicolor/256x256/apps/quorvel.png \
    share/man/man1/quorvel.1.gz share/man/man1/quorvel-cli.1.gz \
    share/bash-completion/completions/quorvel-cli; do
    [ -s "$prefix/$f" ] || fail "$f is not installed"
done
executables="quorvel quorvel-cli"
[ -e "$prefix/lib/quorvel/quorvel-service" ] && executables="$executables quorvel-service"
for exe in $executables; do
    [ -L "$prefix/bin/$exe" ] || fail "bin/$exe is not a link"
    [ "$(readlink -f "$prefix/bin/$exe")" = "$(readlink -f "$prefix/lib/quorvel/$exe")" ] \
        || fail "bin/$exe does not lead to lib/quorvel/$exe"
done
# The decode helper is the programs' own, not a command of the user's.
[ -e "$prefix/bin/quorvel-decode" ] && fail "bin/quorvel-decode is a command"
# The icons are the sizes their folders claim.
for size in 48 256; do
    got=$(identify -format '%wx%h' "$prefix/share/icons/hicolor/${size}x${size}/apps/quorvel.png")
    [ "$got" = "${size}x${size}" ] || fail "the ${size} px icon is $got"
done
# The desktop entry starts the programs of this prefix, its path (with a
# space) quoted as one word: the entry read and its actions run the way a
# launcher does it.
grep -q "^Exec=\"$prefix/bin/quorvel\" %F$" "$prefix/share/applications/quorvel.desktop" \
    || fail "the desktop entry does not start the installed program"
QUORVEL_DESKTOP_ENTRY="$prefix/share/applications/quorvel.desktop" QUORVEL_DESKTOP_BINDIR="$prefix/bin" \
    QT_QPA_PLATFORM=offscreen "$build/tests/tst_DesktopEntry" mainEntry actionsWriteBesideTheFirstFile \
    > "$work/entry.log" 2>&1 || { cat "$work/entry.log"; fail "the installed desktop entry"; }

# --- quorvel-cli from another folder -------------------------------------------
cd "$elsewhere"
cli="$prefix/bin/quorvel-cli"
"$cli" --help | grep -q '^Usage: quorvel-cli <command>' || fail "quorvel-cli --help"
convert -size 64x48 xc:orange "$elsewhere/photo.png"
convert -size 40x30 xc:red -size 40x30 xc:blue -loop 0 -delay 20 "$elsewhere/blink.gif"
"$cli" convert --to jpg photo.png -o out > "$work/cli.log" 2>&1 || { cat "$work/cli.log"; fail "convert"; }
[ "$(identify -format '%m %wx%h' out/photo.jpg)" = "JPEG 64x48" ] || fail "convert wrote no 64x48 JPEG"
# The helpers are found beside the real executable: the decode helper (a PSD
# is decoded in it), the SVG, GIF and PDF (writing and rendering) libraries.
convert -size 64x48 xc:orange "$elsewhere/layers.psd"
"$cli" convert --to png layers.psd -o out > "$work/cli.log" 2>&1 || { cat "$work/cli.log"; fail "convert a PSD (quorvel-decode)"; }
[ "$(identify -format '%m %wx%h' out/layers.png)" = "PNG 64x48" ] || fail "convert wrote no 64x48 PNG from the PSD"
printf '<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 40 30"><rect width="40" height="30" fill="teal"/></svg>' > "$elsewhere/drawing.svg"
"$cli" convert --to png drawing.svg -o out > "$work/cli.log" 2>&1 || { cat "$work/cli.log"; fail "convert an SVG (libqvsvgrender)"; }
[ "$(identify -format '%m %wx%h' out/drawing.png)" = "PNG 40x30" ] || fail "convert wrote no 40x30 PNG from the SVG"
"$cli" gif --width 20 blink.gif -o out > "$work/cli.log" 2>&1 || { cat "$work/cli.log"; fail "gif (libqvgifconv)"; }
[ "$(identify -format '%w ' out/blink.gif)" = "20 20 " ] || fail "gif did not resize both frames"
"$cli" topdf photo.png -o out > "$work/cli.log" 2>&1 || { cat "$work/cli.log"; fail "topdf (libqvpdfwrite)"; }
"$cli" frompdf --to png out/photo.pdf -o pages > "$work/cli.log" 2>&1 || { cat "$work/cli.log"; fail "frompdf (libqvpdfrender)"; }
ls pages/*.png > /dev/null 2>&1 || fail "frompdf wrote no page image"

# --- The installed service, when it is built: it starts from the link, listens
# on loopback and answers /healthz.
if [ -e "$prefix/lib/quorvel/quorvel-service" ]; then
    [ -s "$prefix/share/man/man1/quorvel-service.1.gz" ] || fail "quorvel-service has no manual page"
    [ -s "$prefix/lib/systemd/user/quorvel-service.service" ] || fail "quorvel-service has no user unit"
    "$prefix/bin/quorvel-service" --listen 127.0.0.1:0 --data "$work/service data" \
        > "$work/service.out" 2> "$work/service.err" &
    service=$!
    port=""
    for _ in $(seq 1 300); do
        port=$(sed -n 's#^listening on http://127.0.0.1:\([0-9]*\)$#\1#p' "$work/service.out")
        [ -n "$port" ] && break
        kill -0 "$service" 2> /dev/null || break
        sleep 0.1
    done
    health=""
    if [ -n "$port" ]; then
        exec 3<> "/dev/tcp/127.0.0.1/$port"
        printf 'GET /healthz HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n' >&3
        health=$(head -n 1 <&3 | tr -d '\r')
        exec 3<&-
    fi
    kill "$service" 2> /dev/null || true
    wait "$service" 2> /dev/null || true
    [ -n "$port" ] || { cat "$work/service.err"; fail "the installed quorvel-service did not start"; }
    case "$health" in
    "HTTP/1."?" 200"*) ;;
    *) cat "$work/service.err"; fail "the installed quorvel-service answered '$health' to /healthz" ;;
    esac
fi

# --- Manual pages: they render without warnings and list every command -------
for page in quorvel quorvel-cli quorvel-service; do
    file="$prefix/share/man/man1/$page.1.gz"
    [ -e "$file" ] || continue
    LC_ALL=C MANWIDTH=80 man --warnings -l "$file" > "$work/$page.txt" 2> "$work/$page.err" || fail "man $page"
    [ ! -s "$work/$page.err" ] || { cat "$work/$page.err"; fail "man $page warns"; }
done
for command in convert compress resize rotate gif topdf frompdf; do
    grep -q "quorvel-cli  *$command " "$work/quorvel-cli.txt" || fail "man quorvel-cli lacks $command"
done
grep -q -- "--quiet" "$work/quorvel-cli.txt" || fail "man quorvel-cli lacks --quiet"
grep -q "Usage\|SYNOPSIS" "$work/quorvel.txt" || fail "man quorvel has no synopsis"

# --- Completion ----------------------------------------------------------------
completions=$(bash -c '
    source "$1"
    COMP_WORDS=(quorvel-cli co); COMP_CWORD=1; _quorvel_cli; echo "${COMPREPLY[*]}"
    COMP_WORDS=(quorvel-cli convert --t); COMP_CWORD=2; _quorvel_cli; echo "${COMPREPLY[*]}"
    COMP_WORDS=(quorvel-cli convert --to w); COMP_CWORD=3; _quorvel_cli; echo "${COMPREPLY[*]}"
' _ "$prefix/share/bash-completion/completions/quorvel-cli")
[ "$completions" = $'convert compress\n--to\nwebp' ] || fail "completion gave: $completions"

# --- Validators ----------------------------------------------------------------
desktop-file-validate "$prefix/share/applications/quorvel.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$prefix/share/metainfo/io.github.quorvel.Quorvel.metainfo.xml" > "$work/as.log" \
    || { cat "$work/as.log"; fail "appstreamcli validate"; }
unit="$prefix/lib/systemd/user/quorvel-service.service"
if [ -e "$unit" ]; then
    grep -q "^ExecStart=\"$prefix/bin/quorvel-service\" " "$unit" || fail "the user unit does not start the installed service"
    # systemd's own reading of the unit: every setting parses, the program and its manual page exist.
    if command -v systemd-analyze > /dev/null; then
        MANPATH="$prefix/share/man" systemd-analyze verify --user "$unit" > "$work/unit.log" 2>&1 \
            && [ ! -s "$work/unit.log" ] || { cat "$work/unit.log"; fail "systemd-analyze verify"; }
    fi
fi

# --- The installed window, under a display -------------------------------------
if [ -z "${DISPLAY:-}" ] || ! command -v xwininfo > /dev/null || ! command -v xprop > /dev/null \
    || ! command -v import > /dev/null; then
    echo "installed and used from $elsewhere; no display: window not started"
    exit 0
fi
# The virtual display is the whole test run's; the window part needs it to answer.
display_answers() {
    for _ in $(seq 1 50); do
        xwininfo -root > /dev/null 2>&1 && return 0
        sleep 0.2
    done
    return 1
}
if ! display_answers; then
    echo "installed and used from $elsewhere; display $DISPLAY does not answer: window not started"
    exit 0
fi
mkdir -p "$shots"

# Starts the installed program with the given arguments, waits for its
# 1050x620 window (a minute at most: the machine may be busy) and saves it
# as SHOTS/<name>.png.
screenshot() {
    local name="$1"
    shift
    # The shared virtual display now and then turns a connection away while
    # the whole suite runs; that is the display's doing, not the program's:
    # a few more tries, then the window part is left out with a word.
    local try
    for try in 1 2 3; do
        QT_QPA_PLATFORM=xcb "$prefix/bin/quorvel" "$@" > "$work/$name.log" 2>&1 &
        local launched=$!
        sleep 0.5
        if ! kill -0 "$launched" 2> /dev/null && grep -q "could not connect to display" "$work/$name.log"; then
            wait "$launched" 2> /dev/null || true
            [ "$try" = 3 ] && {
                echo "display $DISPLAY turned the installed program away 3 times: window part left out ($name)"
                exit 0
            }
            sleep 2
            continue
        fi
        break
    done
    local pid=$launched id=""
    for _ in $(seq 1 600); do
        # Other tests may show a window of the same size meanwhile: take the one of this process.
        for candidate in $(xwininfo -root -tree 2> /dev/null | awk '/1050x620/ { print $1 }'); do
            xprop -id "$candidate" _NET_WM_PID 2> /dev/null | grep -q "= $pid\$" && id=$candidate
        done
        [ -n "$id" ] && break
        kill -0 "$pid" 2> /dev/null || break
        sleep 0.1
    done
    sleep 1
    local alive=0
    kill -0 "$pid" 2> /dev/null && alive=1
    [ -n "$id" ] && import -window "$id" "$shots/$name.png" 2> /dev/null
    kill "$pid" 2> /dev/null || true
    wait "$pid" 2> /dev/null || true
    if [ "$alive" != 1 ] && grep -q "could not connect to display" "$work/$name.log"; then
        echo "display $DISPLAY turned the installed program away: window part left out ($name)"
        exit 0
    fi
    [ "$alive" = 1 ] || { cat "$work/$name.log"; fail "the installed quorvel exited early ($name)"; }
    [ -n "$id" ] || fail "no 1050x620 window appeared ($name)"
    [ "$(identify -format '%wx%h' "$shots/$name.png")" = "1050x620" ] || fail "screenshot $name"
}
screenshot main-window
# Two pictures opened the way a file manager's "Open with" does, by relative
# path from another folder; then a PDF document, which goes to PDF to PIC.
mkdir -p "$work/Pictures"
convert -size 800x600 gradient:skyblue-white "$work/Pictures/Beach day.jpg"
convert -size 600x800 plasma:fractal -seed 3 "$work/Pictures/garden.png" 2> /dev/null \
    || convert -size 600x800 gradient:green-yellow "$work/Pictures/garden.png"
screenshot image-convert "../Pictures/Beach day.jpg" ../Pictures/garden.png
cp out/photo.pdf "$work/Pictures/scan.pdf"
screenshot pdf-to-pic ../Pictures/scan.pdf
for name in image-convert pdf-to-pic; do
    if grep -q "not an image" "$work/$name.log"; then
        cat "$work/$name.log"
        fail "a file was refused ($name)"
    fi
done
echo "installed into '$prefix', used from '$elsewhere'; screenshots in $shots"
