#!/usr/bin/env bash
# Renders the three dialogs under a private Xvfb and saves them as docs/*-dialog.png, and the
# progress dialog once more at 150 % scaling (144 DPI) as docs/progress-dialog-150.png.
# ORVEX_ARCH chooses the module (default: x86 where it runs, else x64).
set -euo pipefail
. "$(dirname "$0")/common.sh"
root=$orvex_root
arch=${ORVEX_ARCH:-$(orvex_default_arch)}
bash "$root/scripts/build.sh" "$arch" >/dev/null
orvex_enter "$arch" || { echo "screenshots: the Wine prefix reaches outside the build tree" >&2; exit 2; }
tree=$(orvex_tree "$arch")
shots=$tree/screenshots
mkdir -p "$shots"
desktop='HKCU\Control Panel\Desktop'

shoot() { # WHICH PICTURE: one dialog of the showcase, as docs/PICTURE.png
  local which=$1 picture=$2 w h x y
  orvex_prefix_check
  orvex_wine "$tree/bin/ui_showcase.exe" "$which" 8 >/dev/null 2>&1 &
  showcase=$!
  sleep 5
  import -window root "$shots/$picture.png"
  orvex_wineserver -k >/dev/null 2>&1 || true
  wait "$showcase" 2>/dev/null || true
  # The dialog with a 20-pixel margin, on a desktop blue instead of Xvfb's black.
  read -r w h x y < <(convert "$shots/$picture.png" -trim -format '%w %h %X %Y\n' info:)
  convert "$shots/$picture.png" -fill '#3A6EA5' -draw 'color 0,0 floodfill' \
    -crop "$((w + 40))x$((h + 40))+$((${x#+} - 20))+$((${y#+} - 20))" +repage "$root/docs/$picture.png"
  echo "docs/$picture.png"
}

for which in message confirm progress; do shoot "$which" "$which-dialog"; done
# A process reads the DPI when it starts; the prefix goes back to the default (96) afterwards.
orvex_wine reg add "$desktop" /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
trap 'orvex_wine reg delete "$desktop" /v LogPixels /f >/dev/null 2>&1 || true; orvex_stop_all' EXIT
shoot progress progress-dialog-150
