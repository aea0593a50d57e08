#!/usr/bin/env bash
# Runs the non-fixed-drive case of handler_tests with the sandbox drive T: made a CD-ROM drive.
# Wine reads drive types (HKLM\Software\Wine\Drives) when the prefix starts, so the build tree's
# own wineserver is restarted after the change and again after it is undone.
# Usage: with-cdrom-drive.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
root=$1
build=$2
. "$root/scripts/wine-env.sh" "$build"
orvex_arch_runs || exit 77
drives='HKLM\Software\Wine\Drives'
restart_prefix() {
  orvex_wineserver -k >/dev/null 2>&1 || true
  orvex_wineserver -w >/dev/null 2>&1 || true
}
restore() {
  orvex_wine reg delete "$drives" /v t: /f >/dev/null 2>&1 || echo "with-cdrom-drive: T: could not be made fixed again" >&2
  restart_prefix
}
trap restore EXIT
orvex_prefix_check
orvex_wine reg add "$drives" /v t: /t REG_SZ /d cdrom /f >/dev/null
restart_prefix
ORVEX_CDROM_DRIVE=T bash "$root/scripts/wine-run.sh" "$build/bin/handler_tests.exe" --gtest_filter='RecycleDiscovery.NonFixedDriveIsNeverListed'
