#!/bin/sh
# contrib/bbedit opens its files in $VISUAL, else $EDITOR, else says where
# they are; and a whole wexla run hands it BEST.OUT.
# Arguments: contrib/bbedit, the built wexla, a results file to run on.
set -u
bbedit=$1 wexla=$2 sample=$3
absolute() { case $1 in /*) echo "$1" ;; *) echo "$(pwd)/$1" ;; esac; }
bbedit=$(absolute "$bbedit") wexla=$(absolute "$wexla") sample=$(absolute "$sample")
faults=0
fault() { echo "FAULT: $*"; faults=$((faults + 1)); }

dir=$(mktemp -d "${TMPDIR:-/tmp}/wexla-bbedit-XXXXXX") || exit 1
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1

# A fake editor that records its name and arguments, one per line, and
# what BEST.OUT held when it ran.
cat >fake <<'FAKE'
#!/bin/sh
{ echo "${FAKE_NAME:-fake}"; printf '%s\n' "$@"; } >editor.args
if [ -e BEST.OUT ]; then cp BEST.OUT editor.BEST; fi
exit "${FAKE_STATUS:-0}"
FAKE
chmod 755 fake
nl='
'

# Runs bbedit with VISUAL and EDITOR as given ("-" for unset) and checks
# the recorded arguments (empty: the editor must not run) and stdout.
check() {
  label=$1 visual=$2 editor=$3 want_args=$4 want_out=$5
  shift 5
  rm -f editor.args
  out=$(
    if [ "$visual" = - ]; then unset VISUAL; else VISUAL=$visual; export VISUAL; fi
    if [ "$editor" = - ]; then unset EDITOR; else EDITOR=$editor; export EDITOR; fi
    "$bbedit" "$@"
  )
  status=$?
  [ "$status" -eq 0 ] || fault "$label: status $status"
  got_args=$(cat editor.args 2>/dev/null)
  [ "$got_args" = "$want_args" ] || fault "$label: editor got [$got_args], want [$want_args]"
  [ "$out" = "$want_out" ] || fault "$label: printed [$out], want [$want_out]"
}

check "VISUAL first" "FAKE_NAME=visual $dir/fake" "FAKE_NAME=editor $dir/fake" \
  "visual${nl}BEST.OUT" "" BEST.OUT
check "EDITOR without VISUAL" - "FAKE_NAME=editor $dir/fake" "editor${nl}BEST.OUT" "" BEST.OUT
check "empty VISUAL counts as unset" "" "FAKE_NAME=editor $dir/fake" \
  "editor${nl}BEST.OUT" "" BEST.OUT
check "editor command with options" "$dir/fake --wait -n" - \
  "fake${nl}--wait${nl}-n${nl}BEST.OUT" "" BEST.OUT
check "file names kept whole" - "$dir/fake" "fake${nl}my best.OUT${nl}\$HOME" "" \
  "my best.OUT" '$HOME'
check "neither set" - - "" \
  "bbedit: no VISUAL or EDITOR set; the file is $dir/BEST.OUT" BEST.OUT
check "neither set, absolute name" "" "" "" \
  "bbedit: no VISUAL or EDITOR set; the file is /x/BEST.OUT" /x/BEST.OUT

# The editor's status is bbedit's status.
FAKE_STATUS=3 EDITOR="$dir/fake" VISUAL='' "$bbedit" BEST.OUT
status=$?
[ "$status" -eq 3 ] || fault "editor status 3 came back as $status"

# Without a file name: a usage line on standard error, status 2.
err=$("$bbedit" 2>&1 >/dev/null)
status=$?
[ "$status" -eq 2 ] || fault "no argument: status $status, want 2"
[ "$err" = "usage: bbedit FILE..." ] || fault "no argument: printed [$err]"

# A whole run with contrib/bbedit as the editor command.
mkdir run bin
cp "$sample" run/sample.OUT
cp "$bbedit" bin/bbedit
(
  cd run || exit 1
  unset VISUAL
  printf '\n' | PATH="$dir/bin:/usr/bin:/bin" EDITOR="$dir/fake" "$wexla" sample 5 >screen.txt 2>&1
)
status=$?
[ "$status" -eq 0 ] || fault "wexla run: status $status: $(cat run/screen.txt)"
[ "$(cat run/editor.args 2>/dev/null)" = "fake${nl}BEST.OUT" ] ||
  fault "wexla run: the editor got [$(cat run/editor.args 2>/dev/null)]"
[ -s run/editor.BEST ] && cmp -s run/editor.BEST run/BEST.OUT ||
  fault "wexla run: BEST.OUT was not complete when the editor ran"

[ "$faults" -eq 0 ] || exit 1
echo "bbedit: all checks passed"
