#!/usr/bin/env bash
# own_session.sh E2E_TESTS.exe
# Runs the test of a consented shutdown in a Wine session of its own: a copy of the project's
# prefix with a wineserver of its own, so that the shutdown ends that session and no other. Passes
# when the test saw the lists saved before the countdown and the session asked to end after it.
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=scripts/lib.sh
source "$root/scripts/lib.sh"
work=$(mktemp -d /tmp/quovar-own-session.XXXXXX)
prefix="$work/prefix"
cleanup() {
  WINEPREFIX="$prefix" "$QUOVAR_WINESERVER" -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

quovar_prepare_prefix || exit 1
cp -a --reflink=auto "$QUOVAR_BUILD/wineprefix" "$prefix"
mkdir "$work/state"
QUOVAR_WINEPREFIX="$prefix" QUOVAR_OWN_SESSION_STATE="Z:${work//\//\\}\\state" \
  timeout 300 "$root/scripts/wine-exec" "$1" --gtest_filter='OwnSession.*' >"$work/log" 2>&1
rc=$?
# The session is over once its wineserver has gone.
WINEPREFIX="$prefix" timeout 90 "$QUOVAR_WINESERVER" -w >/dev/null 2>&1 || true

fail() {
  echo "own_session: $*" >&2
  echo "--- the test's output (exit $rc):" >&2
  cat "$work/log" >&2
  exit 1
}
[ -f "$work/state/countdown" ] || fail "the shutdown countdown never came"
[ "$(cat "$work/state/countdown")" = saved ] || fail "the lists were not saved before the countdown"
[ -e "$work/state/ended" ] || fail "the countdown ran out but the session was not asked to end"
echo "own_session: the lists were saved, the countdown ran out and the session was asked to end"
