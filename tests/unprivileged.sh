#!/bin/sh
# Runs the whole test suite as an ordinary user, as most users run it.
# Started as root (in CI), it makes the user WEXLA_TEST_USER (default
# wexla-test) unless it exists, copies the source tree without its build
# folders into a fresh folder that user owns, and runs `make test` there as
# that user. Arguments are passed to make before its target `test` (for
# example JOBS=2).
# Exits with make's status: non-zero when any test fails.
set -eu

user=${WEXLA_TEST_USER:-wexla-test}
source=$(cd "$(dirname "$0")/.." && pwd)

if [ "$(id -u)" -ne 0 ]; then
  echo "unprivileged.sh: run me as root; I make a user and run the tests as that user" >&2
  exit 2
fi

if ! id -u "$user" >/dev/null 2>&1; then
  useradd --system --no-create-home --shell /bin/sh "$user"
fi
uid=$(id -u "$user")
gid=$(id -g "$user")
if [ "$uid" -eq 0 ]; then
  echo "unprivileged.sh: user $user is root, which is no test of an ordinary user" >&2
  exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/wexla-unprivileged-XXXXXX")
trap 'rm -rf "$work"' EXIT
# The user's own copy: build folders and git's data stay behind.
tar -C "$source" --exclude=./.git --exclude='./build*' --exclude=./fuzz/corpus-work -cf - . |
  tar -C "$work" -xf -
chown -R "$uid:$gid" "$work"
chmod 755 "$work"

echo "unprivileged.sh: running the suite as $user (uid $uid) in $work"
# The environment stays as it is (PATH, compilers), except for who we are.
if command -v runuser >/dev/null 2>&1; then
  as_user() { runuser -u "$user" -- "$@"; }
else
  as_user() { setpriv --reuid="$uid" --regid="$gid" --init-groups -- "$@"; }
fi
status=0
as_user env HOME="$work" USER="$user" LOGNAME="$user" make -C "$work" "$@" test || status=$?
if [ "$status" -ne 0 ]; then
  echo "unprivileged.sh: the suite failed as $user (status $status)" >&2
fi
exit "$status"
