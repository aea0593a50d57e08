#!/usr/bin/env bash
# Sets up the machine, builds, and runs every test under Wine on a private Xvfb display.
# Extra arguments go to ctest (for instance -R engine).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd -P)
export BUILD_DIR=${BUILD_DIR:-$root/build}
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
. "$root/scripts/wine-env.sh" "$BUILD_DIR"
. "$root/scripts/xvfb.sh"
orvex_start_xvfb
orvex_prefix_ready || { echo "test: the Wine prefix reaches outside the build tree; not running" >&2; exit 2; }
status=0
ctest --test-dir "$BUILD_DIR" --output-on-failure --timeout 600 "$@" || status=$?
orvex_prefix_check || status=2
exit $status
