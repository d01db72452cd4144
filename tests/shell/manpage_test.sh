#!/bin/sh
# The manual page renders with every groff warning enabled and none given,
# holds the sections a reader looks for, and names the project's version.
# Arguments: the page, the project version.
set -u
page=$1 version=$2
faults=0
fault() { echo "FAULT: $*"; faults=$((faults + 1)); }

# Exit status 77 tells CTest the test was skipped (macOS ships mandoc, not groff).
if ! command -v groff >/dev/null 2>&1; then
  echo "SKIP: groff is not installed (Debian package groff-base, Homebrew groff)," \
    "so the page cannot be rendered"
  exit 77
fi

# The check itself must bite: a page with an unknown request warns.
broken=$(printf '.TH X 1\n.SH NAME\n.NOSUCHMACRO\nx \\- y\n' | groff -ww -z -man -Tutf8 2>&1)
[ -n "$broken" ] || fault "groff -ww gave no warning for an unknown request"

for device in utf8 ascii; do
  warnings=$(groff -ww -z -man -T"$device" "$page" 2>&1)
  status=$?
  [ "$status" -eq 0 ] || fault "groff -T$device ended with status $status"
  [ -z "$warnings" ] || fault "groff -T$device warns: $warnings"
done

# mandoc's lint, where groff is all there is: no input line over 80 bytes.
long=$(LC_ALL=C awk 'length > 80 { print FNR }' "$page" | tr '\n' ' ')
[ -z "$long" ] || fault "input lines longer than 80 bytes: $long"

for section in NAME SYNOPSIS DESCRIPTION OPTIONS "THE DIALOGUE" "THE DOCUMENTS" FILES \
  "EXIT STATUS" ENVIRONMENT EXAMPLES BUGS; do
  grep -qx ".SH $section" "$page" || grep -qx ".SH \"$section\"" "$page" ||
    fault "no section $section"
done
head -n 1 "$page" | grep -q "^\.TH WEXLA 1 .*\"Wexla $version\"" ||
  fault "the .TH line does not name Wexla $version"

[ "$faults" -eq 0 ] || exit 1
echo "manpage: all checks passed"
