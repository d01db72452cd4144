#!/bin/sh
# Shows that two builds of wexla make the same system calls, of the same
# sizes and in the same order, and leave the same files and screen:
#
#   bench/same_syscalls.sh OLD_WEXLA NEW_WEXLA RESULTS_FILE...
#   ARGS="--batch --json=d.json --csv=d.csv" bench/same_syscalls.sh ...
#
# Each results file is run by both builds in scratch folders under strace
# (read, write, ftruncate, openat, close, following the shell commands),
# as `wexla $ARGS in 5` (ARGS empty by default: a run without options).
# Process ids (also those in the names of temporary files) and buffer
# addresses are dropped from the trace; the byte content of every write is
# compared through the files and screen left.
set -eu

[ $# -ge 3 ] || { echo "usage: $0 OLD_WEXLA NEW_WEXLA RESULTS_FILE..." >&2; exit 2; }
command -v strace >/dev/null || { echo "$0: strace is needed (apt-get install strace)" >&2; exit 2; }
old=$(realpath "$1")
new=$(realpath "$2")
shift 2

work=$(mktemp -d "${TMPDIR:-/tmp}/wexla-syscalls.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
mkdir "$work/bin"
printf '#!/bin/sh\nexit 0\n' >"$work/bin/bbedit"
chmod +x "$work/bin/bbedit"

# Runs one build on one results file in folder $3; leaves trace, screen and files.
run_one() {
  mkdir "$3"
  cp "$2" "$3/in.OUT"
  (cd "$3" && printf '\n' | PATH="$work/bin:$PATH" \
    strace -f -qq -e trace=read,write,ftruncate,openat,close -e signal=none -o trace.raw \
    "$1" ${ARGS:-} in 5 >screen.txt 2>errors.txt) || true
  # Process ids and addresses vary between runs, and the bytes read and
  # written are compared as files; the call, descriptor, size, result and
  # the names opened stay.
  sed -E -e 's/^[0-9]+ +//' -e '/^(read|write)\(/ s/"([^"\\]|\\.)*"(\.\.\.)?/"…"/g' \
    -e 's/0x[0-9a-f]+/0x…/g' -e 's/\.[0-9]+(\.[0-9]+)?\.part"/.PID\1.part"/g' \
    "$3/trace.raw" >"$3/trace.txt"
  rm "$3/trace.raw" "$3/in.OUT"
}

status=0
for results in "$@"; do
  name=$(basename "$results")
  run_one "$old" "$results" "$work/old-$name"
  run_one "$new" "$results" "$work/new-$name"
  calls=$(wc -l <"$work/new-$name/trace.txt")
  if diff -r "$work/old-$name" "$work/new-$name" >"$work/diff-$name"; then
    echo "$name: same $calls system calls, same files and screen"
  else
    echo "$name: DIFFERENT"
    head -20 "$work/diff-$name"
    status=1
  fi
done
exit $status
