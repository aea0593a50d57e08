#!/usr/bin/env bash
# Destroyed on the disk, not only in the cache. On a volume whose cache writes back later (ext2 on
# a loop device inside the build tree, mapped as W:), the kernel drops a deleted file's unwritten
# pages as the Windows cache manager may: an overwrite that stayed in the cache leaves the old
# bytes on the disk. Every file is made of a marker repeated and is on the disk (synced, found in
# the image) before the run; the real module then runs in the shell host through the menu (a
# folder of 13 B, 4 KiB, about 200 KB and 1.5 MB files), the shell-link handler (ClearRaw on a
# file) and the Recycle Bin cleaner (ClearRecycle on W:'s bin). After an unmount no selected
# file's marker may be left in the image, while those of an unselected file and of the bin's
# desktop.ini must be (the scan is not blind).
# Usage: writeback-proof.sh TREE. Exit 77 (not run) with the reason where this machine cannot
# loop-mount.
set -euo pipefail
. "$(dirname "$0")/../../scripts/common.sh"
. "$orvex_root/scripts/wine-env.sh" "$1"
tree=$orvex_build_dir
not_run() { echo "write-back proof not run: $*"; exit 77; }
orvex_arch_runs || not_run "this machine cannot run $ORVEX_ARCH programs"
[ "$(id -u)" -eq 0 ] || not_run "loop-mounting needs root"
command -v mkfs.ext2 >/dev/null || not_run "no mkfs.ext2 (e2fsprogs)"
losetup -f >/dev/null 2>&1 || not_run "no free loop device"

image=$tree/wbvol.img
volume=$tree/wbvol
orvex_writeback_release "$tree"
trap 'orvex_writeback_release "$tree"' EXIT
rm -f "$image"
mkdir -p "$volume"
truncate -s 24M "$image"
mkfs.ext2 -q -F "$image"
mount -o loop "$image" "$volume" || not_run "the loop mount failed"

# fate (gone: selected; kept: not selected, or kept by the cleaner), path under W:, size, marker
# (';' ends it, so that no marker is part of another)
entries=(
  "gone folder/tiny.txt 13 Orvex:tiny;"
  "gone folder/page.bin 4096 Orvex:page;"
  "gone folder/sub/mid.bin 200000 Orvex:mid;"
  "gone folder/large.bin 1500000 Orvex:large;"
  "gone raw.bin 100000 Orvex:raw;"
  "gone recycler/S-1-5-21-7/Dc1.txt 30000 Orvex:bin1;"
  "gone recycler/S-1-5-21-7/Dc2/inner.bin 60000 Orvex:bin2;"
  "kept control.txt 100000 Orvex:control;"
  "kept recycler/S-1-5-21-7/desktop.ini 500 Orvex:desktop;"
)
found() { grep -c -a -F -- "$1" "$image" || true; } # MARKER: how many stretches of the image hold it
for entry in "${entries[@]}"; do
  read -r fate path size marker <<<"$entry"
  mkdir -p "$(dirname "$volume/$path")"
  python3 -c 'import sys; m = sys.argv[2].encode(); n = int(sys.argv[3])
open(sys.argv[1], "wb").write((m * (n // len(m) + 1))[:n])' "$volume/$path" "$marker" "$size"
done
sync -f "$volume"
for entry in "${entries[@]}"; do
  read -r fate path size marker <<<"$entry"
  [ "$(found "$marker")" -gt 0 ] || { echo "FAIL: $path is not on the disk before the run"; exit 1; }
done

ln -sfn "$volume" "$WINEPREFIX/dosdevices/w:"
status=0
host() { # arguments...: one shell-host run on W:, every dialog answered with OK; no report may come
  local output
  output=$("$orvex_root/scripts/wine-run.sh" "$tree/bin/shellhost.exe" --dll 'b:\OrvexSE.dll' --answer ok "$@" 2>&1 |
    tr -d '\r') || { echo "FAIL: shellhost $*: exit $?"; status=1; }
  echo "$output"
  if grep -q 'message dialog' <<<"$output"; then echo "FAIL: shellhost $*: a file was reported"; status=1; fi
}
host --any-path 'W:\folder'
host --any-path --handler link 'W:\raw.bin'
host --recycle
[ ! -e "$volume/folder" ] || { echo "FAIL: the folder is still there"; status=1; }
for entry in "${entries[@]}"; do
  read -r fate path size marker <<<"$entry"
  [ -e "$volume/$path" ] && now=kept || now=gone
  [ "$now" = "$fate" ] || { echo "FAIL: $path: $now"; status=1; }
done

orvex_writeback_release "$tree"
for entry in "${entries[@]}"; do
  read -r fate path size marker <<<"$entry"
  count=$(found "$marker")
  echo "$path ($size bytes, $fate): marker found $count times in the image"
  { [ "$fate" = gone ] && [ "$count" -eq 0 ]; } || { [ "$fate" = kept ] && [ "$count" -gt 0 ]; } || status=1
done
[ "$status" -eq 0 ] && echo "write-back proof: nothing of the selected files is left on the disk"
exit $status
