#!/usr/bin/env bash
# PDF tools against img2pdf, pdftoppm and mutool draw on the same files in the
# same run:
#   1. 20 photo JPEGs into one PDF: bytes and seconds, ours vs img2pdf;
#   2. a 20-page PDF of photo pages to PNG and to JPG at 150 dpi: pages per
#      second, ours vs pdftoppm and mutool draw (mutool writes no JPG);
#   3. page 1 only: what our PNG writing costs next to rendering, and Qt's
#      default PNG writer for comparison.
# The reference tools are for this benchmark only:
#   apt-get install -y --no-install-recommends img2pdf poppler-utils mupdf-tools imagemagick
# Usage: bench/pdf/run.sh [build-dir]   (default build-pdf; builds pdfbench there)
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD="${1:-build-pdf}"

for tool in img2pdf pdftoppm mutool convert python3; do
    command -v "$tool" >/dev/null || { echo "missing $tool (see the header of $0)" >&2; exit 1; }
done
cmake --build "$BUILD" --target pdfbench qvpdfrender >/dev/null
BENCH="$BUILD/pdfbench"

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

# Fixtures: 2400 x 1600 photo-like JPEGs at quality 90 (5 plasma fractals in
# 4 variants each), kept in the build folder between runs.
FIX="$BUILD/bench-pdf-fixtures"
mkdir -p "$FIX"
if [ "$(ls "$FIX"/*.jpg 2>/dev/null | wc -l)" -ne 20 ]; then
    echo "making fixtures in $FIX ..."
    n=0
    for seed in 1 2 3 4 5; do
        convert -size 2400x1600 -seed "$seed" plasma:fractal -blur 0x1 "$WORK/base.png"
        for variant in "" "-flop" "-flip" "-modulate 100,140"; do
            n=$((n + 1))
            # shellcheck disable=SC2086
            convert "$WORK/base.png" $variant -quality 90 "$FIX/$(printf 'photo%02d' $n).jpg"
        done
    done
fi
JPEGS=("$FIX"/photo*.jpg)

now() { date +%s.%N; }
# best of N wall-clock seconds of a command (process start included, as for the Python tool)
best_of() {
    local runs=$1; shift
    local best=""
    for _ in $(seq "$runs"); do
        local t0 t1
        t0=$(now); "$@" >/dev/null 2>&1; t1=$(now)
        best=$(python3 -c "import sys; a=float(sys.argv[1])-float(sys.argv[2]); b=sys.argv[3]; print(a if b=='' or a<float(b) else b)" "$t1" "$t0" "$best")
    done
    echo "$best"
}
ratio() { python3 -c "import sys; print('%.3f' % (float(sys.argv[1]) / float(sys.argv[2])))" "$1" "$2"; }

echo "== 20 JPEGs ($(du -cb "${JPEGS[@]}" | tail -1 | cut -f1) bytes) into one PDF, best of 3"
ref_pdf="$WORK/img2pdf.pdf"
t_ref=$(best_of 3 bash -c 'rm -f "$0"; img2pdf -o "$0" "${@}"' "$ref_pdf" "${JPEGS[@]}")
t_ours=$(best_of 3 bash -c 'rm -rf "$0"; "$1" topdf "$0" "${@:2}"' "$WORK/ours" "$BENCH" "${JPEGS[@]}")
ours_pdf="$WORK/ours/photo01.pdf"
b_ref=$(stat -c %s "$ref_pdf")
b_ours=$(stat -c %s "$ours_pdf")
printf "%-10s %12s bytes %8.3f s\n" img2pdf "$b_ref" "$t_ref" ours "$b_ours" "$t_ours"
echo "bytes ratio ours/img2pdf: $(ratio "$b_ours" "$b_ref")   time ratio ours/img2pdf: $(ratio "$t_ours" "$t_ref")"

pages=$("$BENCH" render "$ours_pdf" "$WORK/count" bmp | awk '/^pages /{print $2}')
echo
echo "== $pages-page PDF of photo pages to images at 150 dpi (pages per second, one run each)"
pps() { python3 -c "import sys; print('%.2f' % (float(sys.argv[1]) / float(sys.argv[2])))" "$pages" "$1"; }
declare -A T
T[ours_png]=$(best_of 1 "$BENCH" render "$ours_pdf" "$WORK/o_png" png)
T[ours_jpg]=$(best_of 1 "$BENCH" render "$ours_pdf" "$WORK/o_jpg" jpg)
mkdir -p "$WORK/p_png" "$WORK/p_jpg" "$WORK/m_png"
T[pdftoppm_png]=$(best_of 1 pdftoppm -r 150 -png "$ours_pdf" "$WORK/p_png/p")
T[pdftoppm_jpg]=$(best_of 1 pdftoppm -r 150 -jpeg "$ours_pdf" "$WORK/p_jpg/p")
T[mutool_png]=$(best_of 1 mutool draw -q -r 150 -o "$WORK/m_png/p%d.png" "$ours_pdf")
for key in ours_png pdftoppm_png mutool_png ours_jpg pdftoppm_jpg; do
    printf "%-14s %8.2f pages/s  (%.2f s)\n" "$key" "$(pps "${T[$key]}")" "${T[$key]}"
done
echo "PNG: ours/pdftoppm $(ratio "${T[pdftoppm_png]}" "${T[ours_png]}")x faster, ours/mutool $(ratio "${T[mutool_png]}" "${T[ours_png]}")x faster"
echo "JPG: ours/pdftoppm $(ratio "${T[pdftoppm_jpg]}" "${T[ours_jpg]}")x faster"
echo "PNG bytes, all pages: ours $(du -cb "$WORK"/o_png/* | tail -1 | cut -f1), pdftoppm $(du -cb "$WORK"/p_png/* | tail -1 | cut -f1), mutool $(du -cb "$WORK"/m_png/* | tail -1 | cut -f1)"
echo "JPG bytes, all pages: ours $(du -cb "$WORK"/o_jpg/* | tail -1 | cut -f1), pdftoppm $(du -cb "$WORK"/p_jpg/* | tail -1 | cut -f1)"

echo
echo "== page 1: rendering and PNG writing (seconds per page, mean of 5)"
"$BENCH" pngcost "$ours_pdf"
