#!/bin/sh
# contrib/slurm/wexla-array.sh run as Slurm would run each array task, with
# SLURM_ARRAY_TASK_ID set: every task's folder holds what a plain run of the
# program on its results file leaves (BEST.OUT, WexlaP.OUT, the screen
# without the editor and the final prompt), the run's JSON document and its
# exit status, names with blanks included; the editor never runs; a task
# that has no results file fails with a reason; and contrib/slurm/wexla-collect
# makes one table of the run folders, damaged ones included.
# Arguments: the script, the built wexla, a results file.
set -u
script=$1 wexla=$2 sample=$3
collect=$(dirname "$script")/wexla-collect
absolute() { case $1 in /*) echo "$1" ;; *) echo "$(pwd)/$1" ;; esac; }
script=$(absolute "$script") wexla=$(absolute "$wexla") sample=$(absolute "$sample")
collect=$(absolute "$collect")
faults=0
fault() { echo "FAULT: $*"; faults=$((faults + 1)); }

dir=$(mktemp -d "${TMPDIR:-/tmp}/wexla-slurm-XXXXXX") || exit 1
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1

# Three results files that lead to different best fits: the whole sample
# and two cut before a later section's header (fits 1-7 and fits 1-3), so
# that a task that took another task's file is seen.
mkdir data
cp "$sample" "data/whole.OUT"
head -n 232 "$sample" >"data/with blank.OUT"
head -n 101 "$sample" >"data/three fits.OUT"
names="whole|with blank|three fits"

# An editor on PATH that records that it ran: the script must keep it out.
mkdir editor
printf '#!/bin/sh\ntouch "%s/editor.ran"\n' "$dir" >editor/bbedit && chmod 755 editor/bbedit
PATH="$dir/editor:$PATH"
export PATH

# The plain runs to compare with, each with the editor kept out by hand.
mkdir quiet && printf '#!/bin/sh\nexit 0\n' >quiet/bbedit && chmod 755 quiet/bbedit
plain() { # name percent
  mkdir -p "plain-$2/$1" && cp "data/$1.OUT" "plain-$2/$1/" &&
    (cd "plain-$2/$1" && printf '\n' | PATH="$dir/quiet:$PATH" "$wexla" "$1" "$2" >screen.txt 2>&1)
}
IFS='|'
for name in $names; do plain "$name" 5 && plain "$name" 10 || fault "plain run of $name failed"; done
unset IFS
cmp -s "plain-5/whole/BEST.OUT" "plain-5/with blank/BEST.OUT" ||
  cmp -s "plain-5/with blank/BEST.OUT" "plain-5/three fits/BEST.OUT" ||
  cmp -s "plain-5/whole/BEST.OUT" "plain-5/three fits/BEST.OUT" &&
  fault "two of the results files have the same best fit; a mix-up would go unseen"
rm -f editor.ran

# Checks one task's folder against the plain run of its results file.
check_folder() { # label folder name percent
  label=$1 folder=$2 name=$3 percent=$4
  [ -d "$folder" ] || { fault "$label: no folder $folder"; return; }
  for file in BEST.OUT WexlaP.OUT; do
    cmp -s "$folder/$file" "plain-$percent/$name/$file" ||
      fault "$label: $folder/$file differs from a plain run's"
  done
  # A batch run's screen is the plain run's without the final prompt (the
  # quiet editor of the plain run prints nothing).
  prompt=$(printf '\n Press return to finish\n' | wc -c)
  head -c "-$prompt" "plain-$percent/$name/screen.txt" >"$folder.want"
  cmp -s "$folder.want" "$folder/screen.txt" ||
    fault "$label: $folder/screen.txt differs from a plain run's"
  rm -f "$folder.want"
  [ "$(cat "$folder/wexla.status" 2>/dev/null)" = 0 ] || fault "$label: wexla.status is not 0"
  python3 -c 'import json, sys; d = json.load(open(sys.argv[1])); sys.exit(d["outcome"] != "normal")' \
    "$folder/wexla.json" || fault "$label: $folder/wexla.json does not read or is not normal"
  [ "$(readlink "$folder/results.OUT")" = "$dir/data/$name.OUT" ] ||
    fault "$label: $folder/results.OUT points to [$(readlink "$folder/results.OUT")]"
  [ ! -e "$folder/temp.OUT" ] || fault "$label: $folder/temp.OUT was left"
}

# Every task of a job given its results files as arguments (relative names)
# and of a job given a list file (one name absolute, one without .OUT).
task=1
for name in "whole" "with blank" "three fits"; do
  SLURM_ARRAY_TASK_ID=$task WEXLA="$wexla" WEXLA_RUNS=runs-args \
    sh "$script" "data/whole.OUT" "data/with blank.OUT" "data/three fits.OUT" >log 2>&1 ||
    fault "arguments, task $task: status $?: $(cat log)"
  check_folder "arguments, task $task" "runs-args/$name" "$name" 5
  task=$((task + 1))
done
printf '%s\n' "$dir/data/three fits.OUT" "data/whole" "data/with blank.OUT" >files.txt
task=1
for name in "three fits" "whole" "with blank"; do
  SLURM_ARRAY_TASK_ID=$task WEXLA="$wexla" WEXLA_RUNS="$dir/runs-list" WEXLA_PERCENT=10 \
    sh "$script" --list files.txt >log 2>&1 ||
    fault "list, task $task: status $?: $(cat log)"
  check_folder "list, task $task" "runs-list/$name" "$name" 10
  task=$((task + 1))
done
[ ! -e editor.ran ] || fault "the editor ran"

# A program given by a relative path is found from the task's folder.
cp "$wexla" ./wexla-copy
SLURM_ARRAY_TASK_ID=1 WEXLA=./wexla-copy WEXLA_RUNS=runs-relative sh "$script" data/whole.OUT >log 2>&1 ||
  fault "relative WEXLA: status $?: $(cat log)"
check_folder "relative WEXLA" runs-relative/whole whole 5

# Tasks that cannot run: status 2 and a line that says why. Each row: task
# id ("-" for unset), the expected text, the script's arguments.
refuse() {
  task=$1 want=$2
  shift 2
  if [ "$task" = - ]; then
    (unset SLURM_ARRAY_TASK_ID; WEXLA="$wexla" WEXLA_RUNS=runs-refused sh "$script" "$@") >log 2>&1
  else
    SLURM_ARRAY_TASK_ID=$task WEXLA="$wexla" WEXLA_RUNS=runs-refused sh "$script" "$@" >log 2>&1
  fi
  status=$?
  [ "$status" -eq 2 ] || fault "task [$task] $*: status $status, want 2"
  grep -q "$want" log || fault "task [$task] $*: said [$(cat log)], want [$want]"
  [ ! -e runs-refused ] || fault "task [$task] $*: made a run folder"
  rm -rf runs-refused
}
refuse - "SLURM_ARRAY_TASK_ID is not a task number" data/whole.OUT
refuse 1x "SLURM_ARRAY_TASK_ID is not a task number" data/whole.OUT
refuse 0 "tasks count from 1" data/whole.OUT
refuse 4 "task 4, but 3 results files were given" data/whole.OUT "data/with blank.OUT" "data/three fits.OUT"
refuse 4 "task 4, but files.txt names 3 results files" --list files.txt
refuse 1 "no list file missing.txt" --list missing.txt
refuse 1 "usage" --list
refuse 1 "usage"

# A task whose results file is missing runs the program all the same: its
# folder holds the document that says so, and the status is 66.
SLURM_ARRAY_TASK_ID=1 WEXLA="$wexla" WEXLA_RUNS=runs-args sh "$script" data/missing.OUT >log 2>&1
status=$?
[ "$status" -eq 66 ] || fault "a missing results file gave the task status $status: $(cat log)"
[ "$(cat runs-args/missing/wexla.status 2>/dev/null)" = 66 ] || fault "the status 66 was not recorded"
python3 -c 'import json, sys; sys.exit(json.load(open(sys.argv[1]))["outcome"] != "no results file")' \
  runs-args/missing/wexla.json || fault "the missing file's document does not say so"

# The program's own status is the task's, so Slurm marks a failed run.
printf '#!/bin/sh\nexit 3\n' >failing && chmod 755 failing
SLURM_ARRAY_TASK_ID=1 WEXLA="$dir/failing" WEXLA_RUNS=runs-failing sh "$script" data/whole.OUT >log 2>&1
status=$?
[ "$status" -eq 3 ] || fault "a program ending with status 3 gave the task status $status"
[ "$(cat runs-failing/whole/wexla.status)" = 3 ] || fault "the status 3 was not recorded"

# One table of the run folders: a run without a document (the failing
# program) and one whose document is damaged are rows that say so.
cp -R runs-failing/whole runs-args/killed
printf '{"wexla": "1.03", "fits": [' >"runs-args/with blank/wexla.json"
python3 "$collect" runs-args >table.csv 2>collect.err || fault "wexla-collect: status $?"
python3 - "$dir" <<'CHECK' || fault "the collected table: $(cat table.csv)"
import csv, sys
rows = list(csv.DictReader(open("table.csv", newline="")))
data = sys.argv[1] + "/data/"
want = [
    {"folder": "killed", "results": data + "whole.OUT", "outcome": "no document", "status": "3",
     "error": "", "fits": "", "best_fit": "", "best_wss": "", "within_percent": ""},
    {"folder": "missing", "results": data + "missing.OUT", "outcome": "no results file",
     "status": "66",
     "error": "the results file '" + data + "missing.OUT' does not exist", "fits": "0",
     "best_fit": "", "best_wss": "", "within_percent": ""},
    {"folder": "three fits", "results": data + "three fits.OUT", "outcome": "normal",
     "status": "0", "error": "", "fits": "3", "best_fit": "3", "best_wss": "1204.337",
     "within_percent": "1"},
    {"folder": "whole", "results": data + "whole.OUT", "outcome": "normal", "status": "0",
     "error": "", "fits": "12", "best_fit": "10", "best_wss": "1098.472", "within_percent": "4"},
    {"folder": "with blank", "results": data + "with blank.OUT", "outcome": "damaged document",
     "status": "0", "error": "", "fits": "", "best_fit": "", "best_wss": "", "within_percent": ""},
]
for row in rows:
    del row["folder_hex"], row["results_hex"]
for got, expected in zip(rows, want):
    if got != expected:
        print("row", got, "want", expected)
sys.exit(rows != want)
CHECK

[ "$faults" -eq 0 ] || exit 1
echo "slurm: all checks passed"
