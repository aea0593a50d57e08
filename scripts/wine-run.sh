#!/usr/bin/env bash
# Runs one Windows program of a build tree under Wine, in that tree's own prefix.
# ctest calls it for every test program (CMAKE_CROSSCOMPILING_EMULATOR). Exit code 77 (ctest's
# "skipped") when this machine cannot run the tree's architecture.
set -euo pipefail
program=$1
shift
dir=$(cd "$(dirname "$program")" && pwd -P)
build=$dir
while [ "$build" != / ] && [ ! -f "$build/CMakeCache.txt" ]; do build=$(dirname "$build"); done
[ -f "$build/CMakeCache.txt" ] || { echo "wine-run: $program is not in a build tree" >&2; exit 2; }
. "$(dirname "$0")/wine-env.sh" "$build"
orvex_arch_runs || { echo "wine-run: this machine cannot run $ORVEX_ARCH programs; skipped" >&2; exit 77; }
[ -n "${DISPLAY:-}" ] || { echo "wine-run: no DISPLAY; run the tests through scripts/test.sh" >&2; exit 2; }
# Checked before every run: nothing the program does may reach outside the build tree.
orvex_prefix_check || { echo "wine-run: refusing to run $program" >&2; exit 2; }
cd "$dir"
exec "$WINELOADER" "$program" "$@"
