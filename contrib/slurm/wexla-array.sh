#!/bin/sh
# Wexla over many results files as a Slurm job array: array task k runs the
# program on the k-th results file, in a folder of its own, as a batch run
# (no prompt, no editor) that leaves the run as a JSON document.
#
#   sbatch --array=1-3 wexla-array.sh data/a.OUT "data/run 2.OUT" data/b.OUT
#   sbatch --array=1-$(grep -c '' files.txt) wexla-array.sh --list files.txt
#
# files.txt names one results file per line (blanks in names are kept).
# Relative names are taken from the folder sbatch is run in, where Slurm
# starts the tasks. Task k's folder is $WEXLA_RUNS/<name>/ for the results
# file <name>.OUT, so the names must differ; it gets a link results.OUT to
# the results file, BEST.OUT, WexlaP.OUT, the screen in screen.txt, the run
# as JSON in wexla.json and the program's exit status in wexla.status (the
# document cannot tell a run that was killed). A task whose results file is
# missing runs the program all the same, in its own folder, so that its
# document says so (status 66) and every file of the list has a run folder.
# contrib/slurm/wexla-collect makes one CSV table of all the run folders.
#
# Environment: WEXLA the program (default: wexla on PATH), WEXLA_PERCENT the
# window above the best WSS (default 5), WEXLA_RUNS the folder of the
# run folders (default runs). sbatch passes the environment on.
#
#SBATCH --job-name=wexla
#SBATCH --ntasks=1
#SBATCH --cpus-per-task=1
#SBATCH --mem=256M
#SBATCH --time=00:30:00
#SBATCH --output=wexla-%A_%a.log
set -u
percent=${WEXLA_PERCENT:-5}
runs=${WEXLA_RUNS:-runs}
program=${WEXLA:-wexla}
fail() { echo "wexla-array: $*" >&2; exit 2; }

# The program is called from the run folder: a relative path to it is made
# absolute first.
case $program in
  /*) ;;
  */*) program=$(pwd)/$program ;;
esac

task=${SLURM_ARRAY_TASK_ID:-}
case $task in
  "" | *[!0-9]*) fail "SLURM_ARRAY_TASK_ID is not a task number; submit with sbatch --array=1-N" ;;
esac
[ "$task" -ge 1 ] || fail "task $task: tasks count from 1 (sbatch --array=1-N)"

if [ "${1:-}" = --list ]; then
  [ $# -eq 2 ] || fail "usage: wexla-array.sh --list FILE | wexla-array.sh RESULTS..."
  [ -f "$2" ] || fail "no list file $2"
  count=$(grep -c '' "$2")
  [ "$task" -le "$count" ] || fail "task $task, but $2 names $count results files"
  results=$(sed -n "${task}p" "$2")
else
  [ $# -ge 1 ] || fail "usage: wexla-array.sh --list FILE | wexla-array.sh RESULTS..."
  [ "$task" -le $# ] || fail "task $task, but $# results files were given"
  shift $((task - 1))
  results=$1
fi

# As with the program, a name may leave out .OUT.
[ -n "$results" ] || fail "task $task: empty results file name"
if [ ! -f "$results" ] && [ -f "$results.OUT" ]; then results=$results.OUT; fi
case $results in
  /*) ;;
  *) results=$(pwd)/$results ;;
esac
name=$(basename "$results" .OUT)
folder=$runs/$name
mkdir -p "$folder" && cd "$folder" || fail "task $task: cannot make the folder $folder"
# The run reads its results file through a link of a short fixed name; a
# missing one is named to the program as it is, which says so.
operand=results
if [ -f "$results" ]; then
  ln -sf "$results" results.OUT || fail "task $task: cannot link $results in $folder"
else
  rm -f results.OUT
  operand=$results
fi

# Standard input is never read in a batch run; the "--" keeps the name an
# operand whatever it is. What an earlier run of this folder left must not
# pass for this run's, should this one be killed.
rm -f wexla.json wexla.html wexla.svg wexla.status
"$program" --batch --json=wexla.json --html=wexla.html --svg=wexla.svg -- "$operand" "$percent" \
  >screen.txt 2>&1 </dev/null
status=$?
echo "$status" >wexla.status
echo "wexla-array: task $task: $results in $folder, status $status"
exit "$status"
