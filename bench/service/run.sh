#!/usr/bin/env bash
# Service benchmark: text recognition against the plain `tesseract` command on
# the same generated pictures (character error rate and time per picture), and
# requests per second of the query endpoint with 16 concurrent signed clients.
#
#   bench/service/run.sh [--build DIR] [--clients N] [--seconds S]
#
# Everything runs on loopback; the corpus is generated under DIR/service-bench.
set -euo pipefail
cd "$(dirname "$0")/../.."

BUILD=build
CLIENTS=16
SECONDS_RUN=10
while [ $# -gt 0 ]; do
    case "$1" in
        --build) BUILD="$2"; shift ;;
        --clients) CLIENTS="$2"; shift ;;
        --seconds) SECONDS_RUN="$2"; shift ;;
        -h|--help) sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
    esac
    shift
done

cmake --build "$BUILD" --target servicebench quorvel-service >/dev/null
WORK="$BUILD/service-bench"
rm -rf "$WORK"
mkdir -p "$WORK/corpus" "$WORK/data"
LANGS="${QUORVEL_OCR_LANGUAGES:-eng+chi_sim}"
export QUORVEL_OCR_LANGUAGES="$LANGS"

"$BUILD/servicebench" corpus "$WORK/corpus"

echo "== text recognition ($LANGS), ours in-process (recogniser loaded once per thread)"
"$BUILD/servicebench" recognise "$WORK/corpus" > "$WORK/ours.times"

echo "== plain tesseract command (one process per picture)"
: > "$WORK/tesseract.times"
for png in "$WORK"/corpus/*.png; do
    name=$(basename "$png" .png)
    /usr/bin/time -f "%e %U %S" -o "$WORK/one.time" tesseract "$png" "$WORK/corpus/$name.tess" -l "$LANGS" >/dev/null 2>&1
    read -r wall user sys < "$WORK/one.time"
    python3 -c "import sys; print(sys.argv[1], round(float(sys.argv[2])*1000), round((float(sys.argv[3])+float(sys.argv[4]))*1000))" \
        "$name.png" "$wall" "$user" "$sys" >> "$WORK/tesseract.times"
done

python3 - "$WORK" <<'PY'
import os, sys
work = sys.argv[1]
corpus = os.path.join(work, "corpus")
def norm(t): return " ".join(t.split())
def dist(a, b):
    prev = list(range(len(b) + 1))
    for i, ca in enumerate(a, 1):
        cur = [i]
        for j, cb in enumerate(b, 1):
            cur.append(min(prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (ca != cb)))
        prev = cur
    return prev[-1]
def times(path):
    return {p[0]: (int(p[1]), int(p[2])) for p in (line.split() for line in open(path))}
ours_t, tess_t = times(os.path.join(work, "ours.times")), times(os.path.join(work, "tesseract.times"))
total = {"ours": [0, 0, 0, 0], "tess": [0, 0, 0, 0]}
print(f"{'picture':<18}{'CER ours':>10}{'CER tess':>10}{'wall ms ours':>14}{'wall ms tess':>14}{'cpu ms ours':>13}{'cpu ms tess':>13}")
for name in sorted(ours_t):
    base = name[:-4]
    ref = norm(open(os.path.join(corpus, base + ".txt")).read())
    ours = norm(open(os.path.join(corpus, base + ".ours.txt")).read())
    tp = os.path.join(corpus, base + ".tess.txt")
    tess = norm(open(tp).read()) if os.path.exists(tp) else ""
    do, dt = dist(ours, ref), dist(tess, ref)
    ot, tt = ours_t[name], tess_t.get(name, (0, 0))
    for k, d, t in (("ours", do, ot), ("tess", dt, tt)):
        total[k][0] += d; total[k][1] += len(ref); total[k][2] += t[0]; total[k][3] += t[1]
    print(f"{base:<18}{do/len(ref):>10.3f}{dt/len(ref):>10.3f}{ot[0]:>14}{tt[0]:>14}{ot[1]:>13}{tt[1]:>13}")
n = len(ours_t)
o, t = total["ours"], total["tess"]
print(f"{'ALL':<18}{o[0]/o[1]:>10.3f}{t[0]/t[1]:>10.3f}{o[2]//n:>14}{t[2]//n:>14}{o[3]//n:>13}{t[3]//n:>13}")
print("(CER over all characters; mean milliseconds per picture; ours keeps its recogniser loaded,")
print(" the command loads its models for every picture)")
PY

echo "== query endpoint, $CLIENTS signed clients, $SECONDS_RUN s"
"$BUILD/quorvel-service" --listen 127.0.0.1:0 --data "$WORK/data" --workers 1 > "$WORK/service.out" 2> "$WORK/service.err" &
PID=$!
trap 'kill $PID 2>/dev/null || true' EXIT
for _ in $(seq 50); do grep -q "listening on" "$WORK/service.out" 2>/dev/null && break; sleep 0.1; done
URL=$(sed -n 's/^listening on //p' "$WORK/service.out")
"$BUILD/servicebench" query "$URL" "$CLIENTS" "$SECONDS_RUN"
kill -TERM $PID
wait $PID || true
