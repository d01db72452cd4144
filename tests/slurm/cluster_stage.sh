#!/usr/bin/env bash
# A real one-node Slurm cluster on this machine, for CI: installs Debian's
# slurmctld, slurmd and munge when they are missing, starts munged,
# slurmctld and slurmd itself (as root, without systemd) with a
# configuration in a scratch folder, runs contrib/slurm/wexla-array.sh with
# `sbatch --wait --array=1-3` over three results files (one with a blank in
# its name, one that did not come from a normal fit), checks each run folder
# against a plain run of the program and the table wexla-collect makes of
# them, runs contrib/slurm/wexla-follow.sh once beside a test fitter, and
# stops the daemons it started by their process ids.
#
#   tests/slurm/cluster_stage.sh WEXLA
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 WEXLA" >&2; exit 2; }
here=$(cd "$(dirname "$0")/../.." && pwd)
wexla=$(realpath "$1")
[ "$(id -u)" -eq 0 ] || { echo "cluster stage: needs root (it starts the Slurm daemons)" >&2; exit 2; }

# The daemons live in /usr/sbin.
PATH=$PATH:/usr/sbin:/sbin
need=()
command -v slurmctld >/dev/null || need+=(slurmctld)
command -v slurmd >/dev/null || need+=(slurmd)
command -v munged >/dev/null || need+=(munge)
command -v sbatch >/dev/null || need+=(slurm-client)
command -v python3 >/dev/null || need+=(python3)
if [ ${#need[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${need[@]}" </dev/null >/dev/null
fi

scratch=$(mktemp -d /tmp/wexla-cluster-XXXXXX)
chmod 755 "$scratch"
pids=()
stop_daemons() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  done
  rm -rf "$scratch"
}
trap stop_daemons EXIT
show_logs() {
  local log
  for log in "$scratch"/*.log; do echo "--- $log"; tail -n 40 "$log"; done
}

# munge: a key of its own and a socket in the scratch folder.
mkdir -m 755 "$scratch/munge"
mungekey --create --keyfile="$scratch/munge/munge.key" 2>/dev/null ||
  dd if=/dev/urandom of="$scratch/munge/munge.key" bs=1024 count=1 2>/dev/null
chmod 600 "$scratch/munge/munge.key"
socket=$scratch/munge/munge.socket
munged --foreground --force --key-file="$scratch/munge/munge.key" --socket="$socket" \
  --pid-file="$scratch/munge/munged.pid" --seed-file="$scratch/munge/munged.seed" \
  --log-file="$scratch/munged.log" >"$scratch/munged.out" 2>&1 &
pids+=($!)

node=$(hostname -s)
mkdir -p "$scratch/state" "$scratch/spool"
export SLURM_CONF=$scratch/slurm.conf
cat >"$SLURM_CONF" <<CONF
ClusterName=wexla-ci
SlurmctldHost=$node
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$socket
SlurmctldPort=16817
SlurmdPort=16818
StateSaveLocation=$scratch/state
SlurmdSpoolDir=$scratch/spool
SlurmctldPidFile=$scratch/slurmctld.pid
SlurmdPidFile=$scratch/slurmd.pid
SlurmctldLogFile=$scratch/slurmctld.log
SlurmdLogFile=$scratch/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
ReturnToService=2
MpiDefault=none
NodeName=$node CPUs=2 RealMemory=1024 State=UNKNOWN
PartitionName=ci Nodes=$node Default=YES MaxTime=60 State=UP
CONF
for _ in $(seq 50); do [ -S "$socket" ] && break; sleep 0.1; done

slurmctld -D -i -f "$SLURM_CONF" >"$scratch/slurmctld.out" 2>&1 &
pids+=($!)
slurmd -D -f "$SLURM_CONF" >"$scratch/slurmd.out" 2>&1 &
pids+=($!)

# The node must be idle within a minute.
deadline=$((SECONDS + 60))
until [ "$(sinfo -h -n "$node" -o %T 2>/dev/null)" = idle ]; do
  if [ $SECONDS -ge $deadline ]; then
    echo "cluster stage: the node did not become idle within 60 s: $(sinfo 2>&1)" >&2
    show_logs >&2
    exit 1
  fi
  sleep 1
done
echo "cluster stage: node $node idle"

# Three results files: the sample, its first seven fits under a name with
# a blank, and a file whose model heading has no "Final WSS" above it.
job=$scratch/job
mkdir -p "$job/data" "$job/plain"
cp "$here/examples/sample.OUT" "$job/data/sample.OUT"
head -n 232 "$here/examples/sample.OUT" >"$job/data/with blank.OUT"
{ head -n 30 "$here/examples/sample.OUT"; printf ' Model and Parameter Definition\n'; } \
  >"$job/data/not normal.OUT"
printf '%s\n' data/sample.OUT "data/with blank.OUT" "data/not normal.OUT" >"$job/files.txt"

# sbatch --wait ends with the highest status of the tasks: the file that
# is not the result of a normal fit gives 4, and its task fails.
array_status=0
(cd "$job" && WEXLA=$wexla sbatch --wait --array=1-3 --output="$job/task-%a.log" \
  "$here/contrib/slurm/wexla-array.sh" --list files.txt) || array_status=$?
if [ "$array_status" -ne 4 ]; then
  echo "cluster stage: the job array ended with $array_status, want 4" >&2
  cat "$job"/task-*.log >&2 || true
  show_logs >&2
  exit 1
fi

faults=0
fault() { echo "FAULT: $*"; faults=$((faults + 1)); }
# Each run folder against a plain run: the same BEST.OUT and WexlaP.OUT,
# the same screen without the editor and the final prompt.
mkdir "$job/bin" && printf '#!/bin/sh\nexit 0\n' >"$job/bin/bbedit" && chmod 755 "$job/bin/bbedit"
for name in sample "with blank" "not normal"; do
  plain=$job/plain/$name
  mkdir -p "$plain" && cp "$job/data/$name.OUT" "$plain/"
  (cd "$plain" && printf '\n' | PATH="$job/bin:$PATH" "$wexla" "$name" 5 >screen.txt 2>&1) || true
  folder=$job/runs/$name
  for file in BEST.OUT WexlaP.OUT; do
    if [ -e "$plain/$file" ] || [ -e "$folder/$file" ]; then
      cmp -s "$plain/$file" "$folder/$file" || fault "$name: $file differs from a plain run's"
    fi
  done
  if [ "$name" = "not normal" ]; then
    # The stop's message names the file as given: the task gives the link.
    sed 's/^ This file, not normal\.OUT, / This file, results.OUT, /' "$plain/screen.txt" |
      cmp -s - "$folder/screen.txt" || fault "$name: the screen differs from a plain run's"
  else
    prompt=$(printf '\n Press return to finish\n' | wc -c)
    head -c "-$prompt" "$plain/screen.txt" | cmp -s - "$folder/screen.txt" ||
      fault "$name: the screen differs from a plain run's"
  fi
  # The run's page and chart beside its document.
  for page in wexla.html wexla.svg; do
    grep -q '<circle class="fit"' "$folder/$page" 2>/dev/null || fault "$name: no chart in $page"
  done
  want_status=0
  [ "$name" = "not normal" ] && want_status=4
  [ "$(cat "$folder/wexla.status")" = "$want_status" ] ||
    fault "$name: status $(cat "$folder/wexla.status"), want $want_status"
done

python3 "$here/contrib/slurm/wexla-collect" "$job/runs" >"$job/table.csv"
echo "cluster stage: the collected table"
cat "$job/table.csv"
python3 - "$job" <<'CHECK' || fault "the collected table is not the expected one"
import csv, sys
job = sys.argv[1]
rows = list(csv.DictReader(open(job + "/table.csv", newline="")))
want = [
    # The stop comes after the first fit, before any count.
    ["not normal", job + "/data/not normal.OUT", "not a normal fit", "4", "1", "1", "1432.871", ""],
    ["sample", job + "/data/sample.OUT", "normal", "0", "12", "10", "1098.472", "4"],
    ["with blank", job + "/data/with blank.OUT", "normal", "0", "7", "7", "1122.418", "1"],
]
got = [[r[c] for c in ("folder", "results", "outcome", "status", "fits", "best_fit",
                       "best_wss", "within_percent")] for r in rows]
for g, w in zip(got, want):
    if g != w:
        print("row", g, "want", w)
sys.exit(got != want)
CHECK
# The page of the three runs: a row each, each with its chart.
python3 "$here/contrib/slurm/wexla-collect" --html="$job/runs.html" "$job/runs" ||
  fault "wexla-collect --html failed"
[ "$(grep -c '<img src="data:image/svg+xml;base64,' "$job/runs.html")" = 3 ] ||
  fault "the page of the runs does not show three charts"
# The recipe that follows a fit while it runs: a test fitter that writes
# the sample section by section, late, and Wexla beside it in one job.
mkdir -p "$job/follow"
cp "$job/data/sample.OUT" "$job/follow/run1.OUT"  # an old file: the recipe removes it
if (cd "$job" && WEXLA=$wexla sbatch --wait --output="$job/follow.log" \
  "$here/contrib/slurm/wexla-follow.sh" follow/run1.OUT \
  python3 "$here/tests/follow/test_fitter.py" follow/run1.OUT --from data/sample.OUT \
  --every 0.2 --late 0.5 --pieces); then
  cmp -s "$job/plain/sample/BEST.OUT" "$job/follow/BEST.OUT" ||
    fault "follow: BEST.OUT differs from a plain run's"
  cmp -s "$job/plain/sample/WexlaP.OUT" "$job/follow/WexlaP.OUT" ||
    fault "follow: WexlaP.OUT differs from a plain run's"
  python3 - "$job/follow/wexla.json" <<'FOLLOWED' || fault "follow: the document is not the run's"
import json, sys
d = json.load(open(sys.argv[1], encoding="utf-8"))
sys.exit(not (d["followed"] == "pid" and d["status"] == 0 and len(d["fits"]) == 12))
FOLLOWED
  grep -q 'The WSS( 12 )' "$job/follow.log" || fault "follow: the job's log has no table"
else
  fault "follow: the job failed"
  cat "$job/follow.log" >&2 || true
fi
echo "cluster stage: the followed run"
tail -n 4 "$job/follow.log"
[ "$faults" -eq 0 ] || exit 1
echo "cluster stage: 4 passed, 0 failed"
