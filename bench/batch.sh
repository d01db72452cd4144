#!/bin/sh
# Times batch runs, which start no process, side by side with yardsticks:
#
#   bench/batch.sh
#
#   sample  wexla --batch on examples/sample.OUT (21 KB, 12 fits), against
#           `cat FILE >/dev/null` and bench/scan.awk on the same file
#   2MB     the same on a 2 MB results file of 100 fits (make_results)
#   1M fits  the peak memory of a batch run with both documents over a
#           file of 1,000,000 small fits (goal: at most 24 MiB)
#   xargs   1,000 small results files through the README's xargs recipe
#           (four at a time, each in a run folder of its own), against the
#           same recipe with `true` in wexla's place: the processor time of
#           a run above the recipe's own
#
# Each row runs REPEATS times (default 11), interleaved, and prints the
# medians of the wall time and of the processor time (user and system,
# with every process the command waited for), and the ratios the goals
# are stated in: a batch run within 2x of cat's wall time, at least 3x
# faster than the awk script on the 2 MB file, and at most 2 ms of
# processor time a run above the recipe with `true`.
#
# Environment: WEXLA, MAKE_RESULTS, MEASURE (the programs; `make
# bench-batch` sets them), REPEATS, XARGS_REPEATS (default 5), BENCH_DIR.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
: "${WEXLA:?set WEXLA to the wexla binary (make bench-batch does)}"
: "${MAKE_RESULTS:?set MAKE_RESULTS to the make_results binary}"
: "${MEASURE:?set MEASURE to the measure binary}"
REPEATS=${REPEATS:-11}
XARGS_REPEATS=${XARGS_REPEATS:-5}
WEXLA=$(realpath "$WEXLA")
MAKE_RESULTS=$(realpath "$MAKE_RESULTS")
MEASURE=$(realpath "$MEASURE")
SAMPLE=$(realpath "$here/../examples/sample.OUT")

work=${BENCH_DIR:-$(mktemp -d "${TMPDIR:-/tmp}/wexla-batch.XXXXXX")}
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT INT TERM
cd "$work"

echo "machine: $(nproc) cores, $(uname -sr); load:$(uptime | sed 's/.*load average://')"
echo "wexla: $WEXLA"

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
column() { awk -v c="$2" '{ print $c }' "$1"; }

# Empties a run folder but for its results file.
fresh() {
  rm -f "$1"/temp.OUT "$1"/BEST.OUT "$1"/WexlaP.OUT "$1"/copy
}

# One file: a folder holding it as bench.OUT, and three logs.
bench_file() {  # $1 name, $2 results file
  mkdir -p "$1" logs
  cp "$2" "$1/bench.OUT"
  cat "$1/bench.OUT" >/dev/null  # into the page cache
  for r in $(seq "$REPEATS"); do
    fresh "$1"; (cd "$1" && "$MEASURE" -- cat bench.OUT >>"../logs/$1-cat")
    fresh "$1"; (cd "$1" && "$MEASURE" -- awk -v out=copy -f "$here/scan.awk" bench.OUT >>"../logs/$1-awk")
    fresh "$1"; (cd "$1" && "$MEASURE" -- "$WEXLA" --batch bench 5 >>"../logs/$1-wexla")
  done
  printf '%s: %s bytes, %s fits\n' "$1" "$(wc -c <"$1/bench.OUT" | tr -d ' ')" \
    "$(grep -c 'Model and Parameter Definition' "$1/bench.OUT")"
  printf '  %-6s %10s %10s\n' run 'wall ms' 'cpu ms'
  for what in cat awk wexla; do
    log=logs/$1-$what
    wall=$(column "$log" 1 | median)
    cpu=$(column "$log" 3 | median)
    eval "w_$what=$wall c_$what=$cpu"
    awk -v n="$what" -v w="$wall" -v c="$cpu" 'BEGIN { printf "  %-6s %10.2f %10.2f\n", n, w * 1e3, c * 1e3 }'
  done
  awk -v w="$w_wexla" -v cat="$w_cat" -v a="$w_awk" 'BEGIN {
    printf "  wexla/cat %.2f (goal <= 2)   awk/wexla %.2f (goal >= 3 on the 2 MB file)\n", w / cat, a / w }'
}

bench_file sample "$SAMPLE"
"$MAKE_RESULTS" 2M big.OUT 100
bench_file 2MB big.OUT

# A million small fits, every thousandth a new best, with both documents.
mkdir -p million
awk 'BEGIN { for (k = 1; k <= 1000000; k++) {
  v = (k % 1000 == 1) ? 1e6 / k : 2e6 + k
  printf " FINAL OUTPUT FROM Kalvor\n Final WSS = %14.6f\n\n\n\n\n\n\n\n Model and Parameter Definition\n THETA(1) (CL) 1.5\n end\n", v } }' \
  >million/bench.OUT
(cd million && "$MEASURE" -- "$WEXLA" --batch --json=run.json --csv=run.csv bench 5 >../logs/million)
awk -v b="$(wc -c <million/bench.OUT | tr -d ' ')" '{ printf "1M fits: %d bytes, %.2f s, peak %.1f MiB (goal <= 24 MiB)\n", b, $1, $2 / 1024 }' logs/million
rm -rf million

# 1,000 small results files, three fits each, for the README's recipe.
mkdir -p data
awk 'BEGIN { s = 0 } /FINAL OUTPUT FROM Kalvor/ { s++ } s <= 3 { print }' "$SAMPLE" >data/run0000.OUT
i=1
while [ "$i" -lt 1000 ]; do
  ln data/run0000.OUT "data/$(printf 'run%04d' "$i").OUT"
  i=$((i + 1))
done
# The recipe as the README gives it, but for the program, which comes as
# the inner shell's $0.
cat >recipe.sh <<'EOF'
rm -rf runs
cd data && printf '%s\0' *.OUT | xargs -0 -P 4 -I{} sh -c 'd=../runs/${1%.OUT}; mkdir -p "$d" && cd "$d" && ln -sf "../../data/$1" . && "$0" --batch --json=wexla.json --html=wexla.html --svg=wexla.svg -- "$1" 5 >screen.txt 2>&1; echo $? >wexla.status' "$1" {}
EOF
for r in $(seq "$XARGS_REPEATS"); do
  "$MEASURE" -- sh recipe.sh true >>logs/xargs-true
  "$MEASURE" -- sh recipe.sh "$WEXLA" >>logs/xargs-wexla
done
bad=$(cat runs/*/wexla.status | grep -vc '^0$' || true)
wt=$(column logs/xargs-true 1 | median)
ct=$(column logs/xargs-true 3 | median)
ww=$(column logs/xargs-wexla 1 | median)
cw=$(column logs/xargs-wexla 3 | median)
echo "xargs: 1000 results files of 3 fits, four at a time ($bad runs not 0)"
awk -v wt="$wt" -v ct="$ct" -v ww="$ww" -v cw="$cw" 'BEGIN {
  printf "  %-6s %10s %10s\n", "recipe", "wall s", "cpu s"
  printf "  %-6s %10.3f %10.3f\n", "true", wt, ct
  printf "  %-6s %10.3f %10.3f\n", "wexla", ww, cw
  printf "  processor time a run above the recipe with true: %.2f ms (goal <= 2)\n", (cw - ct)
}'
echo "load at the end:$(uptime | sed 's/.*load average://')"
