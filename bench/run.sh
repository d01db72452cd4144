#!/bin/sh
# Times a whole wexla run on large synthetic results files against the
# same-calls floor, a program that makes the scan's own system calls and
# does no work per line:
#
#   bench/run.sh [SIZE...]          SIZE in bytes or with K, M or G (default 256M)
#
# For each size, on one results file kept in the page cache, it runs in turn
# (REPEATS times, interleaved):
#   floor   bench/same_calls_floor FILE copy SECTIONS: 8192-byte reads,
#           4131-byte writes (51 scratch records of 81 bytes), the scratch
#           file cut and rewound as often as the file has sections
#   floor-crlf  the same on the file with CR LF line ends
#   dd      dd if=FILE of=copy ibs=8192 obs=4096, the first rounds' floor
#           (it writes a file of the whole size, so it measures the host's
#           page allocation more than anything)
#   dd-4131 the same with obs=4131
#   cat     cat FILE > copy
#   awk     bench/scan.awk, the same scan as a plain awk program
#   wexla   wexla FILE 5, answering the final prompt, with a no-op bbedit
#           first on PATH and the real cp and rm
#   no-cp, no-rm, scan
#           the same with a no-op cp, a no-op rm, or both, which shows what
#           the shell commands cost
#   crlf    wexla as in the scan row on the same file with CR LF line ends
# and prints the medians of the wall time and of the processor time (user
# and system together and apart, with the commands run), MB/s (10^6
# bytes), wexla's peak resident memory, and then against the floor: each
# run's wall time over the floor's on the same file, and the user and
# system time per line. The older ratios (against dd, cat and awk) follow.
# With ONE_LINE=1 (the default) it also runs wexla on a file of the same
# size that is one single line. Every timed command writes a new file:
# outputs are removed and the disk synced before each run.
#
# Then the batch runs against their yardsticks (bench/batch.sh; BATCH=0
# leaves them out).
#
# Environment: WEXLA, MAKE_RESULTS, MEASURE, FLOOR (the programs; `make
# bench` sets them), REPEATS (5), ONE_LINE (1), BATCH (1), BENCH_DIR (a
# scratch folder, default under TMPDIR or /tmp; removed at the end).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
: "${WEXLA:?set WEXLA to the wexla binary (make bench does)}"
: "${MAKE_RESULTS:?set MAKE_RESULTS to the make_results binary}"
: "${MEASURE:?set MEASURE to the measure binary}"
: "${FLOOR:?set FLOOR to the same_calls_floor binary}"
REPEATS=${REPEATS:-5}
ONE_LINE=${ONE_LINE:-1}
[ $# -gt 0 ] || set -- 256M
WEXLA=$(realpath "$WEXLA")
MAKE_RESULTS=$(realpath "$MAKE_RESULTS")
MEASURE=$(realpath "$MEASURE")
FLOOR=$(realpath "$FLOOR")

work=${BENCH_DIR:-$(mktemp -d "${TMPDIR:-/tmp}/wexla-bench.XXXXXX")}
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT INT TERM
cd "$work"

# Stand-ins for the shell commands: bbedit is always a no-op (the editor is
# not part of the job); the no-op cp counts its calls.
mkdir -p bin-real bin-no-cp bin-no-rm bin-scan
for dir in bin-real bin-no-cp bin-no-rm bin-scan; do
  printf '#!/bin/sh\nexit 0\n' >"$dir/bbedit"
done
# The no-op cp leaves what a run checks after a copy, a regular BEST.OUT of
# temp.OUT's size, as a file that is all a hole: nothing is copied.
for dir in bin-no-cp bin-scan; do
  printf '#!/bin/sh\necho >>"%s/copies"\ndd if=/dev/null of="$2" bs=1 count=0 seek=$(($(wc -c <"$1"))) 2>/dev/null\n' \
    "$work" >"$dir/cp"
done
for dir in bin-no-rm bin-scan; do
  printf '#!/bin/sh\nexit 0\n' >"$dir/rm"
done
chmod +x bin-*/*
printf '\n' >answer

echo "machine: $(nproc) cores, $(uname -sr); load:$(uptime | sed 's/.*load average://')"
echo "wexla: $WEXLA"

size_bytes() { wc -c <"$1" | tr -d ' '; }

# Runs one timed command; appends "seconds kib cpu user system" to the file $1.
timed() {
  log=$1
  shift
  "$MEASURE" "$@" >>"$log"
}

# Empties the run folder of everything but the results file, then syncs, so
# that each run writes new files and starts without dirty pages.
fresh() {
  rm -f run/copy run/crlf/copy run/crlf/temp.OUT run/crlf/BEST.OUT run/crlf/WexlaP.OUT run/crlf/screen.txt run/temp.OUT run/BEST.OUT run/WexlaP.OUT run/screen.txt
  sync
}

run_wexla() {  # $1 log, $2 bin folder, $3 folder under run (default: run itself)
  (cd "run/${3:-.}" && PATH="$work/$2:$PATH" timed "$work/$1" -i "$work/answer" -o screen.txt -- "$WEXLA" bench 5)
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
column() { awk -v c="$2" '{ print $c }' "$1"; }

for size in "$@"; do
  rm -rf run logs && mkdir run logs
  need=$("$MAKE_RESULTS" --bytes "$size")
  avail=$(($(df -Pk . | awk 'NR == 2 { print $4 }') * 1024))
  if [ "$avail" -lt $((need * 5)) ]; then
    echo "size $size: needs $((need * 5 / 1048576)) MiB free here, has $((avail / 1048576)) MiB; skipped"
    continue
  fi
  "$MAKE_RESULTS" "$size" run/bench.OUT
  bytes=$(size_bytes run/bench.OUT)
  lines=$(wc -l <run/bench.OUT | tr -d ' ')
  # The same lines ended by CR LF, in a folder of their own.
  mkdir run/crlf
  awk '{ printf "%s\r\n", $0 }' run/bench.OUT >run/crlf/bench.OUT
  cat run/bench.OUT run/crlf/bench.OUT >/dev/null  # into the page cache
  sections=$(grep -c 'FINAL OUTPUT FROM' run/bench.OUT || true)
  [ "$sections" -gt 0 ] || sections=1
  rm -f copies
  for r in $(seq "$REPEATS"); do
    fresh; (cd run && timed ../logs/floor -- "$FLOOR" bench.OUT copy "$sections")
    fresh; (cd run/crlf && timed ../../logs/floor-crlf -- "$FLOOR" bench.OUT copy "$sections")
    fresh; (cd run && timed ../logs/dd -- dd if=bench.OUT of=copy ibs=8192 obs=4096 2>/dev/null)
    fresh; (cd run && timed ../logs/dd-4131 -- dd if=bench.OUT of=copy ibs=8192 obs=4131 2>/dev/null)
    fresh; (cd run && timed ../logs/cat -o copy -- cat bench.OUT)
    fresh; (cd run && timed ../logs/awk -- awk -v out=copy -f "$here/scan.awk" bench.OUT)
    fresh; run_wexla logs/wexla bin-real
    fresh; run_wexla logs/no-cp bin-no-cp
    fresh; run_wexla logs/no-rm bin-no-rm
    fresh; run_wexla logs/scan bin-scan
    fresh; run_wexla logs/crlf bin-scan crlf
  done
  copies=$(($(wc -l <copies) / (3 * REPEATS)))
  tail -n 4 run/crlf/screen.txt | grep 'within' || true

  echo
  echo "results file: $bytes bytes ($size), $lines lines, $sections sections; $REPEATS runs each, medians"
  echo "load:$(uptime | sed 's/.*load average://')"
  printf '%-10s %9s %9s %9s %9s %9s %9s %9s %10s\n' run seconds MB/s min max 'cpu s' 'user s' 'sys s' 'peak KiB'
  for name in floor floor-crlf dd dd-4131 cat awk wexla no-cp no-rm scan crlf; do
    log=logs/$name
    med=$(column "$log" 1 | median)
    lo=$(column "$log" 1 | sort -n | head -1)
    hi=$(column "$log" 1 | sort -n | tail -1)
    rss=$(column "$log" 2 | sort -n | tail -1)
    cpu=$(column "$log" 3 | median)
    user=$(column "$log" 4 | median)
    system=$(column "$log" 5 | median)
    key=$(echo "$name" | tr - _)
    eval "t_$key=$med c_$key=$cpu u_$key=$user s_$key=$system"
    awk -v n="$name" -v t="$med" -v lo="$lo" -v hi="$hi" -v b="$bytes" -v k="$rss" -v c="$cpu" \
      -v u="$user" -v s="$system" \
      'BEGIN { printf "%-10s %9.3f %9.1f %9.3f %9.3f %9.3f %9.3f %9.3f %10d\n", n, t, b / t / 1e6, lo, hi, c, u, s, k }'
  done
  # Against the floor: the scan on CR LF lines against the floor on the
  # same file. The targets: wall at most 1.15 times the floor, user time at
  # most 10 ns a line.
  echo "against the floor (wall / floor's wall; user and system time per line):"
  for pair in wexla:floor scan:floor crlf:floor_crlf floor:floor floor-crlf:floor_crlf; do
    name=${pair%%:*}
    key=$(echo "$name" | tr - _)
    base=${pair##*:}
    eval "t=\$t_$key u=\$u_$key s=\$s_$key tb=\$t_$base"
    awk -v n="$name" -v t="$t" -v tb="$tb" -v u="$u" -v s="$s" -v lines="$lines" 'BEGIN {
      printf "  %-10s %7.3f s  %5.2fx floor  user %5.1f ns/line  sys %6.1f ns/line\n",
        n, t, t / tb, u / lines * 1e9, s / lines * 1e9 }'
  done
  awk -v w="$t_wexla" -v s="$t_scan" -v dd="$t_dd" -v cat="$t_cat" -v awk_="$t_awk" \
      -v nocp="$t_no_cp" -v norm="$t_no_rm" -v b="$bytes" -v copies="$copies" \
      -v cw="$c_wexla" -v cs="$c_scan" -v cdd="$c_dd" -v ccat="$c_cat" -v cawk="$c_awk" \
      -v d4="$t_dd_4131" -v cd4="$c_dd_4131" -v lines="$lines" -v uw="$u_wexla" -v us="$u_scan" \
      -v uc="$u_crlf" -v sw="$s_wexla" -v ss="$s_scan" -v sc="$s_crlf" -v ud="$u_dd_4131" 'BEGIN {
    printf "older comparisons:\n"
    printf "wall     wexla/dd %.2f  wexla/cat %.2f  wexla/awk %.2f (awk/wexla %.2f)  scan/dd %.2f\n",
      w / dd, w / cat, w / awk_, awk_ / w, s / dd
    printf "cpu      wexla/dd %.2f  wexla/cat %.2f  wexla/awk %.2f (awk/wexla %.2f)  scan/dd %.2f\n",
      cw / cdd, cw / ccat, cw / cawk, cawk / cw, cs / cdd
    printf "dd-4131  wexla/dd-4131 %.2f  scan/dd-4131 %.2f (wall)  %.2f  %.2f (cpu)\n",
      w / d4, s / d4, cw / cd4, cs / cd4
    printf "commands cp %.3f s (%d copies)  rm %.3f s  both %.3f s  (wall, against no-ops)\n",
      w - nocp, copies, w - norm, w - s
    printf "per GiB  wexla %.3f s  scan %.3f s  dd %.3f s  (wall)\n", w / b * 2^30, s / b * 2^30,
      dd / b * 2^30
    printf "per line user: wexla %.1f ns  scan %.1f ns  crlf %.1f ns  dd-4131 %.1f ns;  crlf/scan %.2f (user)\n",
      uw / lines * 1e9, us / lines * 1e9, uc / lines * 1e9, ud / lines * 1e9, uc / us
    printf "per line system: wexla %.1f ns  scan %.1f ns  crlf %.1f ns\n",
      sw / lines * 1e9, ss / lines * 1e9, sc / lines * 1e9
  }'

  if [ "$ONE_LINE" = 1 ]; then
    rm -rf run && mkdir run
    "$MAKE_RESULTS" --one-line "$size" run/bench.OUT
    cat run/bench.OUT >/dev/null
    fresh; run_wexla logs/one-line bin-real
    awk -v b="$(size_bytes run/bench.OUT)" \
      '{ printf "one line %.0f bytes: %.3f s, peak %d KiB\n", b, $1, $2 }' logs/one-line
  fi
  rm -rf run
done

# Batch runs, which start no process, against cat, the awk script and the
# README's xargs recipe (bench/batch.sh); BATCH=0 leaves them out.
if [ "${BATCH:-1}" = 1 ]; then
  echo
  WEXLA="$WEXLA" MAKE_RESULTS="$MAKE_RESULTS" MEASURE="$MEASURE" BENCH_DIR="$work/batch" \
    sh "$here/batch.sh"
fi
