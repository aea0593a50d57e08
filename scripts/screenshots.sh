#!/usr/bin/env bash
# Renders the three dialogs under a private Xvfb and saves them as docs/*-dialog.png.
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
for which in message confirm progress; do
  orvex_prefix_check
  orvex_wine "$tree/bin/ui_showcase.exe" "$which" 8 >/dev/null 2>&1 &
  showcase=$!
  sleep 5
  import -window root "$shots/$which.png"
  orvex_wineserver -k >/dev/null 2>&1 || true
  wait "$showcase" 2>/dev/null || true
  # The dialog with a 20-pixel margin, on a desktop blue instead of Xvfb's black.
  read -r w h x y < <(convert "$shots/$which.png" -trim -format '%w %h %X %Y\n' info:)
  convert "$shots/$which.png" -fill '#3A6EA5' -draw 'color 0,0 floodfill' \
    -crop "$((w + 40))x$((h + 40))+$((${x#+} - 20))+$((${y#+} - 20))" +repage "$root/docs/$which-dialog.png"
  echo "docs/$which-dialog.png"
done
