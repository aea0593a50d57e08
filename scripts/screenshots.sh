#!/usr/bin/env bash
# Renders the three dialogs under a private Xvfb and saves them as docs/*-dialog.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd -P)
export BUILD_DIR=${BUILD_DIR:-$root/build}
bash "$root/scripts/build.sh" >/dev/null
. "$root/scripts/wine-env.sh" "$BUILD_DIR"
. "$root/scripts/xvfb.sh"
orvex_start_xvfb
orvex_prefix_ready || { echo "screenshots: the Wine prefix reaches outside the build tree" >&2; exit 2; }
shots=$BUILD_DIR/screenshots
mkdir -p "$shots"
for which in message confirm progress; do
  orvex_prefix_check
  wine "$BUILD_DIR/bin/ui_showcase.exe" "$which" 8 >/dev/null 2>&1 &
  showcase=$!
  sleep 5
  import -window root "$shots/$which.png"
  wineserver -k >/dev/null 2>&1 || true
  wait "$showcase" 2>/dev/null || true
  # The dialog with a 20-pixel margin, on a desktop blue instead of Xvfb's black.
  read -r w h x y < <(convert "$shots/$which.png" -trim -format '%w %h %X %Y\n' info:)
  convert "$shots/$which.png" -fill '#3A6EA5' -draw 'color 0,0 floodfill' \
    -crop "$((w + 40))x$((h + 40))+$((${x#+} - 20))+$((${y#+} - 20))" +repage "$root/docs/$which-dialog.png"
  echo "docs/$which-dialog.png"
done
