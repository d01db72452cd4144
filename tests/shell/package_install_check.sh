#!/bin/sh
# CI check of the Debian package on this machine, as root: installs it with
# dpkg, finds the program and its manual page, runs the installed program on
# the sample in a scratch folder, then removes and purges the package and
# checks that nothing of it is left.
# Usage: package_install_check.sh [PACKAGE.deb]   (default: `make package`)
set -u
here=$(cd "$(dirname "$0")" && pwd)
source=$(cd "$here/../.." && pwd)
faults=0
fault() { echo "FAULT: $*"; faults=$((faults + 1)); }
die() { echo "package_install_check: $*" >&2; exit 2; }

[ "$(id -u)" -eq 0 ] || die "needs root (dpkg -i)"
command -v dpkg >/dev/null 2>&1 || die "needs dpkg"
if dpkg-query -W -f '${Status}' wexla 2>/dev/null | grep -q ' installed$' || [ -e /usr/bin/wexla ]; then
  die "wexla is installed already; remove it first (dpkg -r wexla)"
fi

if [ $# -ge 1 ]; then
  deb=$1
else
  make -C "$source" package >/dev/null || die "make package failed"
  set -- "$source"/build-package/wexla_*.deb
  deb=$1
fi
[ -f "$deb" ] || die "no package $deb"
version=$(dpkg-deb -f "$deb" Version) || die "cannot read $deb"
upstream=${version%-*}

# `man -w` needs man-db.
if ! command -v man >/dev/null 2>&1; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq && apt-get install -y -qq man-db </dev/null >/dev/null || die "cannot install man-db"
fi

# Slim images tell dpkg to leave out /usr/share/man and /usr/share/doc
# (path-exclude in /etc/dpkg/dpkg.cfg.d). The last path-exclude or
# path-include that matches a path decides; our own files that would be left
# out are included again on the command line, which dpkg reads last.
# WEXLA_DPKG_CONFIG names other configuration files to read (for trying
# this out without changing /etc).
files=$(dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\.||; s|/$||')
configs=${WEXLA_DPKG_CONFIG:-$(echo /etc/dpkg/dpkg.cfg /etc/dpkg/dpkg.cfg.d/*)}
dpkg_options=
for path in $files; do
  dpkg-deb -c "$deb" | awk -v p=".$path" '$6 == p && $1 !~ /^d/ { found = 1 } END { exit !found }' ||
    continue
  excluded=no
  for config in $configs; do
    [ -f "$config" ] || continue
    # Options are written "path-exclude=PATTERN" or "path-exclude PATTERN";
    # the patterns are globs, matched as such.
    # shellcheck disable=SC2254
    while read -r line; do
      option=${line%%[= ]*}
      pattern=${line#"$option"}
      pattern=${pattern#[= ]}
      case $option in
        path-exclude) case $path in $pattern) excluded=yes ;; esac ;;
        path-include) case $path in $pattern) excluded=no ;; esac ;;
      esac
    done <"$config"
  done
  if [ "$excluded" = yes ]; then
    echo "dpkg is told to leave out $path here; including it for this check"
    dpkg_options="$dpkg_options --path-include=$path"
  fi
done

# What of the package's paths is on disk before: those are not ours to find
# gone afterwards (/usr, /usr/bin, ...).
existed=
for path in $files; do
  if [ -e "$path" ]; then existed="$existed $path "; fi
done

installed=no
cleanup() { if [ "$installed" = yes ]; then dpkg -P wexla >/dev/null 2>&1; fi; }
trap cleanup EXIT
# shellcheck disable=SC2086
dpkg $dpkg_options -i "$deb" >/dev/null || die "dpkg -i $deb failed"
installed=yes

[ "$(command -v wexla)" = /usr/bin/wexla ] || fault "wexla on PATH is [$(command -v wexla)], want /usr/bin/wexla"
case $(wexla --version </dev/null 2>&1) in
  "WEXLA v$upstream (build "*")") ;;
  *) fault "wexla --version printed [$(wexla --version </dev/null 2>&1)]" ;;
esac
page=$(man -w wexla 2>&1)
[ "$page" = /usr/share/man/man1/wexla.1.gz ] || fault "man -w wexla gave [$page]"
[ -f /usr/share/doc/wexla/copyright ] || fault "no /usr/share/doc/wexla/copyright"

# A run on the sample with the final prompt answered and a stand-in bbedit
# first on PATH. Its screen is the README's, which shows a machine without
# bbedit: that line aside, they agree up to the table lines' trailing blanks.
run=$(mktemp -d "${TMPDIR:-/tmp}/wexla-package-run-XXXXXX") || die "no scratch folder"
mkdir "$run/bin"
cp "$source/examples/sample.OUT" "$run/"
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >bbedit.args\n' >"$run/bin/bbedit" && chmod 755 "$run/bin/bbedit"
(cd "$run" && printf '\n' | PATH="$run/bin:$PATH" wexla sample 5 >screen 2>&1)
status=$?
[ "$status" -eq 0 ] || fault "the installed wexla ended with status $status"
[ "$(cat "$run/bbedit.args" 2>/dev/null)" = BEST.OUT ] || fault "bbedit was not called with BEST.OUT"
[ -s "$run/BEST.OUT" ] && [ -s "$run/WexlaP.OUT" ] || fault "no BEST.OUT or WexlaP.OUT"
[ ! -e "$run/temp.OUT" ] || fault "temp.OUT was left behind"
sed -n '/^\$ printf/,/^```$/p' "$source/README.md" | sed '1d;$d' | grep -v 'bbedit: not found' >"$run/screen.want"
sed 's/ *$//' "$run/screen" >"$run/screen.got"
diff "$run/screen.want" "$run/screen.got" >"$run/screen.diff" ||
  fault "the screen differs from the README's (- README, + run):$(echo; cat "$run/screen.diff")"
rm -rf "$run"

# Removal takes the program and the page; purging leaves no trace in dpkg's
# records, and no path of the package that was not there before.
dpkg -r wexla >/dev/null || fault "dpkg -r wexla failed"
[ ! -e /usr/bin/wexla ] || fault "/usr/bin/wexla is left after dpkg -r"
[ ! -e /usr/share/man/man1/wexla.1.gz ] || fault "the manual page is left after dpkg -r"
# A package without configuration files is gone after dpkg -r already, and
# purging it again only warns.
purged=$(dpkg -P wexla 2>&1) || fault "dpkg -P wexla failed: $purged"
installed=no
if dpkg-query -W wexla >/dev/null 2>&1; then fault "dpkg still knows wexla after purging"; fi
for path in $files; do
  case $existed in *" $path "*) continue ;; esac
  [ ! -e "$path" ] || fault "$path is left after purging"
done
set -- /var/lib/dpkg/info/wexla.*
[ ! -e "$1" ] || fault "dpkg's records are left: $*"

[ "$faults" -eq 0 ] || exit 1
echo "package_install_check: $deb installs, runs and removes cleanly"
