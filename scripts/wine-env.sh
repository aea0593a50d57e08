# Sourced by the project's scripts: the build tree's own Wine prefix and its safety check.
# Usage: . scripts/wine-env.sh TREE   (one architecture's build tree, e.g. build/x64)
# The prefix sees only drives inside the build tree: c: (the prefix itself), b: (the built
# programs) and s:, t: (sandbox folders). The host filesystem (z:) is never mapped.
# Each architecture has its own prefix, loader and server: an x64 tree a 64-bit prefix run by
# wine64, an x86 tree a 32-bit prefix run by the 32-bit loader.

orvex_build_dir=$(cd "$1" && pwd -P)
ORVEX_ARCH=$(sed -n 's/^ORVEX_ARCH:[A-Z]*=//p' "$orvex_build_dir/CMakeCache.txt" 2>/dev/null)
export ORVEX_ARCH=${ORVEX_ARCH:-x86}
export WINEPREFIX="$orvex_build_dir/wineprefix"
export WINESERVER=/usr/lib/wine/wineserver64
if [ "$ORVEX_ARCH" = x64 ]; then
  export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
else
  export WINEARCH=win32 WINELOADER=/usr/lib/wine/wine
fi
[ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver32

orvex_wine() { "$WINELOADER" "$@"; }
orvex_wineserver() { "$WINESERVER" "$@"; }

# True when this machine runs the tree's programs: some kernels refuse 32-bit ones.
orvex_arch_runs() { "$WINELOADER" --version >/dev/null 2>&1; }
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Wine links the prefix's user folders to $HOME's; a home inside the build tree keeps them there.
export HOME="$orvex_build_dir/winehome"
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share" XDG_CACHE_HOME="$HOME/.cache"
export ORVEX_SANDBOX="$orvex_build_dir/sandbox"
export ORVEX_SANDBOX2="$orvex_build_dir/sandbox2"

# Removes every drive but c:, maps b:, s: and t:, and takes out links to the host's folders.
orvex_prefix_lockdown() {
  local dd="$WINEPREFIX/dosdevices" entry
  mkdir -p "$dd" "$ORVEX_SANDBOX" "$ORVEX_SANDBOX2" "$orvex_build_dir/bin"
  for entry in "$dd"/*; do
    [ -e "$entry" ] || [ -L "$entry" ] || continue
    case "$(basename "$entry")" in
      c:) ;;
      ?:|?::) rm -f "$entry" ;; # drives and their raw devices; serial ports stay
    esac
  done
  ln -sfn "$orvex_build_dir/bin" "$dd/b:"
  ln -sfn "$ORVEX_SANDBOX" "$dd/s:"
  ln -sfn "$ORVEX_SANDBOX2" "$dd/t:"
  # Shell folders that Wine pointed at the host's home become plain folders.
  find "$WINEPREFIX/drive_c" -type l 2>/dev/null | while read -r link; do
    case "$(readlink -f "$link")" in
      "$orvex_build_dir"/*) ;;
      *) rm -f "$link"; mkdir -p "$link" ;;
    esac
  done
}

# Refuses (non-zero) when any drive (letter or raw device), or any link inside c:, leads outside the build tree.
orvex_prefix_check() {
  local dd="$WINEPREFIX/dosdevices" entry target bad=0
  [ -d "$dd" ] || { echo "wine prefix check: no prefix at $WINEPREFIX" >&2; return 1; }
  for entry in "$dd"/?: "$dd"/?::; do
    [ -e "$entry" ] || [ -L "$entry" ] || continue
    target=$(readlink -f "$entry") || target=""
    case "$target" in
      "$orvex_build_dir"/*) ;;
      *) echo "wine prefix check: $(basename "$entry") leads to '${target:-?}', outside $orvex_build_dir" >&2; bad=1 ;;
    esac
  done
  while read -r link; do
    [ -n "$link" ] || continue
    target=$(readlink -f "$link")
    case "$target" in
      "$orvex_build_dir"/*) ;;
      *) echo "wine prefix check: $link leads to '$target', outside $orvex_build_dir" >&2; bad=1 ;;
    esac
  done < <(find "$WINEPREFIX/drive_c" -type l 2>/dev/null)
  return $bad
}

# Creates the prefix once (the first start of Wine is slow), then locks it down and checks it.
orvex_prefix_ready() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$HOME"
    orvex_wine wineboot -i >/dev/null 2>&1 || true
    orvex_wineserver -w || true
  fi
  orvex_prefix_lockdown
  orvex_prefix_check || return 1
  # Xvfb has no window manager, and Wine waits 2 s for one every time a managed top-level
  # window is hidden: every dialog would pay it. Unmanaged windows look the same here.
  if ! grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
    orvex_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || true
    orvex_wineserver -w || true
  fi
  orvex_prefix_check
}
