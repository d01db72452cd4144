#!/bin/sh
# The README's recipe for many results files, taken from the README itself
# and run as a user would, over names a cluster has: dotted, long, in a
# name that is not UTF-8, and one whose file is missing (a link that leads
# nowhere). Each run folder holds the run's status and JSON document as the
# batch run's answers say: 0 and "normal" where the file is, 66 and "no
# results file" where it is not.
# Arguments: the README, the built wexla, a results file.
set -u
readme=$1 wexla=$2 sample=$3
absolute() { case $1 in /*) echo "$1" ;; *) echo "$(pwd)/$1" ;; esac; }
wexla=$(absolute "$wexla") sample=$(absolute "$sample")
command -v python3 >/dev/null || { echo "python3 is needed to read the documents; skipped"; exit 77; }
faults=0
fault() { echo "FAULT: $*"; faults=$((faults + 1)); }

recipe=$(grep "^    cd data && printf" "$readme" | sed 's/^    //')
[ -n "$recipe" ] || { echo "FAULT: no xargs recipe in $readme"; exit 1; }

dir=$(mktemp -d "${TMPDIR:-/tmp}/wexla-xargs-XXXXXX") || exit 1
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
mkdir data bin
ln -s "$wexla" bin/wexla
PATH="$dir/bin:$PATH"
export PATH

long=study_alpha_subject_0042_final_fit_with_a_name_longer_than_the_old_cut
cp "$sample" data/subj.07.OUT
cp "$sample" "data/$long.OUT"
cp "$sample" "$(printf 'data/caf\351.OUT')"
ln -s nowhere.OUT data/missing.OUT

sh -c "$recipe" || fault "the recipe failed"

check() { # folder status outcome
  folder="runs/$1"
  [ -f "$folder/wexla.status" ] || { fault "$1: no wexla.status"; return; }
  [ "$(cat "$folder/wexla.status")" = "$2" ] || fault "$1: status $(cat "$folder/wexla.status"), want $2"
  outcome=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1], encoding="utf-8"))["outcome"])' \
    "$folder/wexla.json" 2>/dev/null)
  [ "$outcome" = "$3" ] || fault "$1: outcome '$outcome', want '$3'"
  for page in wexla.html wexla.svg; do
    grep -q '<svg' "$folder/$page" 2>/dev/null || [ "$3" != normal ] ||
      fault "$1: no chart in $page"
    [ -s "$folder/$page" ] || fault "$1: no $page"
  done
}
check subj.07 0 normal
check "$long" 0 normal
check "$(printf 'caf\351')" 0 normal
check missing 66 "no results file"
[ "$(ls runs | wc -l | tr -d ' ')" = 4 ] || fault "$(ls runs | wc -l) run folders, want 4"

[ "$faults" = 0 ] || { echo "$faults faults"; exit 1; }
echo "the README's recipe: dotted, long, non-UTF-8 and missing names as the answers say"
