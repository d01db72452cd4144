#!/bin/sh
# Configure without GoogleTest, as a user who only wants the program would:
# the installed GoogleTest hidden and the fetch pointed at a file that is not
# there, so nothing touches the network.
#   - wanting tests (the default): configure succeeds, says in one line what
#     to install, and the build has the program but no tests;
#   - insisting on them (what `make test` does): configure fails with that
#     reason, and the next configure of the folder no longer insists;
#   - without tests: GoogleTest is not even looked for.
# Arguments: cmake, source folder, C++ compiler.
set -u
cmake=$1 source=$2 compiler=$3
faults=0
fault() { echo "FAULT: $*"; faults=$((faults + 1)); }

scratch=$(mktemp -d "${TMPDIR:-/tmp}/wexla-configure-XXXXXX") || exit 1
trap 'rm -rf "$scratch"' EXIT
missing=-DWEXLA_GTEST_URL=file://$scratch/missing.tar.gz

configure() {  # folder, more arguments; stdout and stderr kept apart
  folder=$1
  shift
  "$cmake" -S "$source" -B "$scratch/$folder" -DCMAKE_CXX_COMPILER="$compiler" "$@" \
    >"$scratch/$folder.out" 2>"$scratch/$folder.err"
}
targets() {  # the build targets a folder offers
  "$cmake" --build "$scratch/$1" --target help 2>/dev/null
}

if configure wanted -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON "$missing"; then
  notes=$(grep -c . "$scratch/wanted.err")
  [ "$notes" -eq 1 ] || { fault "expected one line on stderr, got $notes:"; cat "$scratch/wanted.err"; }
  grep -q "apt-get install libgtest-dev" "$scratch/wanted.err" ||
    fault "the note does not name the apt package"
  grep -q "brew install googletest" "$scratch/wanted.err" || fault "the note does not name the brew package"
  targets wanted | grep -q "wexla$" || fault "no wexla target without GoogleTest"
  ! targets wanted | grep -q "unit_tests" || fault "a unit_tests target without GoogleTest"
else
  fault "configure failed without GoogleTest:"
  cat "$scratch/wanted.err"
fi

if configure required -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON "$missing" -DWEXLA_REQUIRE_TESTS=ON; then
  fault "configure insisting on the tests succeeded without GoogleTest"
else
  grep -q "The tests cannot be built" "$scratch/required.err" ||
    { fault "the failure does not say why:"; cat "$scratch/required.err"; }
  configure required -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON "$missing" || fault "the next configure of the folder still insisted on the tests"
fi

if configure program -DWEXLA_TESTS=OFF; then
  [ ! -s "$scratch/program.err" ] || { fault "stderr without tests:"; cat "$scratch/program.err"; }
  ! grep -q "^GTest_DIR" "$scratch/program/CMakeCache.txt" ||
    fault "GoogleTest was looked for although the tests are off"
else
  fault "configure without tests failed:"
  cat "$scratch/program.err"
fi

[ "$faults" -eq 0 ] || exit 1
echo "configure: all checks passed"
