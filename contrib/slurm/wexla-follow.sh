#!/bin/sh
# A fitting program and Wexla side by side in one Slurm job: the fitter
# writes its results file, and Wexla follows it as it grows, until the
# fitter has ended and the file is read to its end. The job's log shows the
# WSS table fit by fit (tail -f it); BEST.OUT always holds the best
# complete section so far; wexla.json, wexla.html and wexla.svg are written
# again after each new fit, at most once a second.
#
#   sbatch wexla-follow.sh RESULTS COMMAND [ARGS...]
#   sbatch wexla-follow.sh fits/run1.OUT ./fitter --control run1.ctl
#
# COMMAND runs in the folder sbatch is run in and writes RESULTS (.OUT may
# be left out); its own output goes to fitter.log beside RESULTS. An old
# results file of that name is removed before the fitter starts: Wexla
# would read it first and then, replaced by the new one, end as a file cut
# under it. Wexla runs in the folder of RESULTS and leaves there BEST.OUT,
# WexlaP.OUT, the documents and its exit status in wexla.status. The job
# ends with the fitter's status when the fitter failed, else with Wexla's.
#
# Environment: WEXLA the program (default: wexla on PATH), WEXLA_PERCENT the
# window above the best WSS (default 5). sbatch passes the environment on.
#
#SBATCH --job-name=wexla-follow
#SBATCH --ntasks=1
#SBATCH --cpus-per-task=1
#SBATCH --mem=256M
#SBATCH --time=00:30:00
#SBATCH --output=wexla-follow-%j.log
set -u
percent=${WEXLA_PERCENT:-5}
program=${WEXLA:-wexla}
fail() { echo "wexla-follow: $*" >&2; exit 2; }

[ $# -ge 2 ] || fail "usage: wexla-follow.sh RESULTS COMMAND [ARGS...]"
results=$1
shift
case $results in
  *.OUT) ;;
  *) results=$results.OUT ;;
esac
case $program in
  /*) ;;
  */*) program=$(pwd)/$program ;;
esac
folder=$(dirname "$results")
name=$(basename "$results")
[ -d "$folder" ] || fail "no folder $folder for $results"

rm -f "$results" "$folder/wexla.json" "$folder/wexla.html" "$folder/wexla.svg" \
  "$folder/wexla.status"
"$@" >"$folder/fitter.log" 2>&1 </dev/null &
fitter=$!
# Wexla waits for the file to appear, then follows it until the fitter has
# ended. The shell reaps the fitter (wait below), so Wexla sees it end.
(cd "$folder" && exec "$program" --batch --follow --pid="$fitter" --json=wexla.json \
  --html=wexla.html --svg=wexla.svg -- "$name" "$percent" </dev/null) &
follower=$!
wait "$fitter"
fitter_status=$?
wait "$follower"
status=$?
echo "$status" >"$folder/wexla.status"
echo "wexla-follow: $results: the fitter ended with status $fitter_status, wexla with $status"
[ "$fitter_status" -eq 0 ] || exit "$fitter_status"
exit "$status"
