#!/bin/sh
# cmake --install into a fresh prefix: the program in bin/, the manual page
# in share/man/man1/, contrib/bbedit only when asked for.
# Arguments: cmake, build folder, source folder, built wexla, WEXLA_INSTALL_BBEDIT,
# the project version.
set -u
cmake=$1 build=$2 source=$3 built=$4 bbedit_option=$5 project_version=$6
faults=0
fault() { echo "FAULT: $*"; faults=$((faults + 1)); }

prefix=$(mktemp -d "${TMPDIR:-/tmp}/wexla-install-XXXXXX") || exit 1
component=$(mktemp -d "${TMPDIR:-/tmp}/wexla-install-XXXXXX") || exit 1
trap 'rm -rf "$prefix" "$component"' EXIT

"$cmake" --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1 ||
  { cat "$prefix.log"; rm -f "$prefix.log"; echo "FAULT: cmake --install failed"; exit 1; }
rm -f "$prefix.log"

[ -f "$prefix/bin/wexla" ] && [ -x "$prefix/bin/wexla" ] || fault "no executable $prefix/bin/wexla"
[ -f "$prefix/share/man/man1/wexla.1" ] || fault "no $prefix/share/man/man1/wexla.1"
cmp -s "$prefix/share/man/man1/wexla.1" "$source/man/wexla.1" ||
  fault "the installed manual page differs from man/wexla.1"

# The installed program answers --version as the built one does.
version=$("$prefix/bin/wexla" --version </dev/null 2>&1)
status=$?
[ "$status" -eq 0 ] || fault "installed wexla --version ended with status $status"
case $version in
  "WEXLA v$project_version (build "*")") ;;
  *) fault "installed wexla --version printed: $version" ;;
esac
[ "$version" = "$("$built" --version </dev/null 2>&1)" ] ||
  fault "installed and built wexla print different version lines"

case $bbedit_option in
  ON | on | TRUE | true | 1 | YES | yes)
    [ -x "$prefix/bin/bbedit" ] || fault "WEXLA_INSTALL_BBEDIT is on but bin/bbedit is missing" ;;
  *)
    [ ! -e "$prefix/bin/bbedit" ] || fault "bin/bbedit installed although not asked for" ;;
esac

# Asked for by its component, bbedit is installed alone.
"$cmake" --install "$build" --prefix "$component" --component bbedit >/dev/null 2>&1 ||
  fault "cmake --install --component bbedit failed"
[ -x "$component/bin/bbedit" ] || fault "--component bbedit installed no executable bin/bbedit"
cmp -s "$component/bin/bbedit" "$source/contrib/bbedit" ||
  fault "the installed bbedit differs from contrib/bbedit"
[ ! -e "$component/bin/wexla" ] || fault "--component bbedit installed wexla as well"

[ "$faults" -eq 0 ] || exit 1
echo "install: all checks passed"
