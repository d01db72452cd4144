#!/bin/sh
# The packages that `cpack` makes from this build folder: the .tar.gz holds
# the program and the manual page as `cmake --install` lays them out; the
# .deb holds them in Debian's layout (page gzipped, copyright file) with the
# control fields a Debian package needs. contrib/bbedit is in them only
# when WEXLA_INSTALL_BBEDIT is on.
# Exits 77 (skipped) when cpack is missing, or after the archive's checks
# when the .deb cannot be made or read (no dpkg-shlibdeps or dpkg-deb).
# Arguments: cpack, build folder, source folder, built wexla, project version,
# WEXLA_INSTALL_BBEDIT.
set -u
cpack=$1 build=$2 source=$3 built=$4 version=$5 bbedit_option=$6
case $bbedit_option in
  ON | on | TRUE | true | 1 | YES | yes) with_bbedit=yes ;;
  *) with_bbedit=no ;;
esac
absolute() { case $1 in /*) echo "$1" ;; *) echo "$(pwd)/$1" ;; esac; }
build=$(absolute "$build") source=$(absolute "$source") built=$(absolute "$built")
faults=0
fault() { echo "FAULT: $*"; faults=$((faults + 1)); }
skip() { echo "SKIP: $*"; exit 77; }

command -v "$cpack" >/dev/null 2>&1 || skip "no cpack ($cpack)"
dir=$(mktemp -d "${TMPDIR:-/tmp}/wexla-package-XXXXXX") || exit 1
trap 'rm -rf "$dir"' EXIT
"$cpack" --config "$build/CPackConfig.cmake" -B "$dir/out" >"$dir/cpack.log" 2>&1 ||
  { cat "$dir/cpack.log"; echo "FAULT: cpack failed"; exit 1; }

# Runs a packaged program on the sample in a scratch folder, with the editor
# kept out, and compares its files and screen with those of the built one.
same_run() {
  label=$1 program=$2
  for who in packaged built; do
    mkdir -p "$dir/run-$who/bin" && cp "$source/examples/sample.OUT" "$dir/run-$who/"
    printf '#!/bin/sh\nexit 0\n' >"$dir/run-$who/bin/bbedit" && chmod 755 "$dir/run-$who/bin/bbedit"
  done
  (cd "$dir/run-packaged" && printf '\n' | PATH="$dir/run-packaged/bin:$PATH" "$program" sample 5 >screen 2>&1)
  (cd "$dir/run-built" && printf '\n' | PATH="$dir/run-built/bin:$PATH" "$built" sample 5 >screen 2>&1)
  for file in screen BEST.OUT WexlaP.OUT; do
    cmp -s "$dir/run-packaged/$file" "$dir/run-built/$file" ||
      fault "$label: the packaged program's $file differs from the built one's"
  done
  rm -rf "$dir/run-packaged" "$dir/run-built"
}

want_version=$("$built" --version </dev/null 2>&1)

# The archive: one top folder wexla-<version>-<system>, under it bin/wexla
# and share/man/man1/wexla.1 and nothing else.
set -- "$dir"/out/wexla-"$version"-*.tar.gz
[ -f "$1" ] || { ls "$dir/out"; echo "FAULT: no wexla-$version-*.tar.gz"; exit 1; }
archive=$1
top=$(basename "$archive" .tar.gz)
tar tzf "$archive" | sed "s|^$top/||" | sed 's|/$||' | sort >"$dir/tgz.list"
{
  echo bin
  if [ "$with_bbedit" = yes ]; then echo bin/bbedit; fi
  printf '%s\n' bin/wexla share share/man share/man/man1 share/man/man1/wexla.1
} >"$dir/tgz.want"
cmp -s "$dir/tgz.list" "$dir/tgz.want" ||
  fault "the archive holds [$(tr '\n' ' ' <"$dir/tgz.list")], want [$(tr '\n' ' ' <"$dir/tgz.want")]"
mkdir "$dir/tgz" && tar xzf "$archive" -C "$dir/tgz"
cmp -s "$dir/tgz/$top/share/man/man1/wexla.1" "$source/man/wexla.1" ||
  fault "the archive's manual page differs from man/wexla.1"
[ "$("$dir/tgz/$top/bin/wexla" --version </dev/null 2>&1)" = "$want_version" ] ||
  fault "the archive's wexla --version differs from the built one's"
same_run archive "$dir/tgz/$top/bin/wexla"

set -- "$dir"/out/wexla_"$version"-*.deb
if [ ! -f "$1" ]; then
  [ "$faults" -eq 0 ] || exit 1
  skip "no .deb made (dpkg-shlibdeps missing?); the archive passed"
fi
deb=$1
if ! command -v dpkg-deb >/dev/null 2>&1; then
  [ "$faults" -eq 0 ] || exit 1
  skip "no dpkg-deb to read $deb; the archive passed"
fi

# Every entry with its mode and owner: directories 755, the program 755,
# data 644, all owned by root.
dpkg-deb -c "$deb" | awk '{ print $1, $2, $6 }' | sort -k3 >"$dir/deb.list"
sort -k3 >"$dir/deb.want" <<'LIST'
drwxr-xr-x root/root ./usr/
drwxr-xr-x root/root ./usr/bin/
-rwxr-xr-x root/root ./usr/bin/wexla
drwxr-xr-x root/root ./usr/share/
drwxr-xr-x root/root ./usr/share/doc/
drwxr-xr-x root/root ./usr/share/doc/wexla/
-rw-r--r-- root/root ./usr/share/doc/wexla/changelog.Debian.gz
-rw-r--r-- root/root ./usr/share/doc/wexla/copyright
drwxr-xr-x root/root ./usr/share/man/
drwxr-xr-x root/root ./usr/share/man/man1/
-rw-r--r-- root/root ./usr/share/man/man1/wexla.1.gz
LIST
if [ "$with_bbedit" = yes ]; then
  echo "-rwxr-xr-x root/root ./usr/bin/bbedit" >>"$dir/deb.want" && sort -k3 -o "$dir/deb.want" "$dir/deb.want"
fi
diff "$dir/deb.want" "$dir/deb.list" >"$dir/deb.diff" ||
  fault "the .deb's entries differ (- wanted, + found):$(echo; cat "$dir/deb.diff")"

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
check_field() {
  got=$(field "$1")
  [ "$got" = "$2" ] || fault "control field $1 is [$got], want [$2]"
}
check_field Package wexla
check_field Version "$version-1"
check_field Section science
check_field Priority optional
if command -v dpkg >/dev/null 2>&1; then check_field Architecture "$(dpkg --print-architecture)"; fi
# The one-line description is the manual page's NAME line.
name_line=$(sed -n '/^\.SH NAME$/{n;p;}' "$source/man/wexla.1" | sed 's/^wexla \\- //')
[ "$(field Description | head -n 1)" = "$name_line" ] ||
  fault "Description starts [$(field Description | head -n 1)], want the manual page's [$name_line]"
[ "$(field Description | sed -n '2p' | cut -c1-7)" = " Wexla " ] ||
  fault "Description has no extended text"
case $(field Maintainer) in
  ?*" <"?*@?*">") ;;
  *) fault "Maintainer [$(field Maintainer)] is not 'name <email>'" ;;
esac
# dpkg-shlibdeps found the C library among the program's dependencies.
case ", $(field Depends)" in
  *", libc6 (>= "*) ;;
  *) fault "Depends [$(field Depends)] does not name libc6 with a version" ;;
esac

mkdir "$dir/deb" && dpkg-deb -x "$deb" "$dir/deb"
gzip -dc "$dir/deb/usr/share/man/man1/wexla.1.gz" >"$dir/wexla.1" ||
  fault "the .deb's manual page does not unpack with gzip"
cmp -s "$dir/wexla.1" "$source/man/wexla.1" || fault "the .deb's manual page differs from man/wexla.1"
[ "$("$dir/deb/usr/bin/wexla" --version </dev/null 2>&1)" = "$want_version" ] ||
  fault "the .deb's wexla --version differs from the built one's"
same_run deb "$dir/deb/usr/bin/wexla"

# The copyright file: Debian's format header, the holder and year of
# LICENSE, and LICENSE's text (from its permission notice on) as the
# License paragraph, each line indented, empty lines as " .".
copyright=$dir/deb/usr/share/doc/wexla/copyright
[ "$(head -n 1 "$copyright")" = \
  "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ] ||
  fault "copyright does not start with the Format line"
holder=$(sed -n '3s/^Copyright (c) //p' "$source/LICENSE")
grep -qx "Copyright: $holder" "$copyright" || fault "copyright has no line 'Copyright: $holder'"
grep -qx "License: Expat" "$copyright" || fault "copyright has no line 'License: Expat'"
# A line of blanks alone would end the paragraph early for Debian's tools.
if grep -q '^[[:blank:]][[:blank:]]*$' "$copyright"; then fault "copyright has a line of blanks only"; fi
sed -n '/^License: Expat$/,$p' "$copyright" | sed '1d; s/^ \.$//; s/^ //' >"$dir/license.text"
sed '1,4d' "$source/LICENSE" >"$dir/license.want"
cmp -s "$dir/license.text" "$dir/license.want" ||
  fault "copyright's License text differs from LICENSE"

[ "$faults" -eq 0 ] || exit 1
echo "package: all checks passed"
