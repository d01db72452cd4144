#!/bin/sh
# The processor time a followed run spends waiting while its results file
# does not grow: `wexla --batch --follow --idle=N --json=w.json` over the
# sample, which stays as it is, so the run reads it, waits N seconds and
# ends. The run is timed with N = 1 and with N = 1 + SECONDS (default 60);
# the difference is what the SECONDS of waiting cost, with the run's own
# start, reading and documents left out.
# Goal: at most 10 ms of processor time (user and system) for the minute.
#
#   WEXLA=... MEASURE=... bench/follow_idle.sh [SECONDS]
#
# `make bench-follow` sets the programs.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
: "${WEXLA:?set WEXLA to the wexla binary (make bench-follow does)}"
: "${MEASURE:?set MEASURE to the measure binary}"
seconds=${1:-60}
WEXLA=$(realpath "$WEXLA")
MEASURE=$(realpath "$MEASURE")
work=$(mktemp -d "${TMPDIR:-/tmp}/wexla-follow-idle.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
cp "$here/../examples/sample.OUT" "$work/"
cd "$work"
# measure prints: wall, peak KiB, processor, user, system (seconds).
idle() { "$MEASURE" -- "$WEXLA" --batch --follow --idle="$1" --json=w.json sample 5; }
set -- $(idle 1)
short_wall=$1 short_cpu=$3
set -- $(idle $((seconds + 1)))
echo "follow, idle 1 s: wall $short_wall s, processor $short_cpu s"
echo "follow, idle $((seconds + 1)) s: wall $1 s, processor $3 s (user $4, system $5)"
awk -v long="$3" -v short="$short_cpu" -v s="$seconds" 'BEGIN {
  ms = (long - short) * 1000 * 60 / s
  printf "  waiting: %.2f ms of processor time a minute (goal: at most 10)\n", ms
  exit ms > 10 }'
