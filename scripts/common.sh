# Sourced by the project's scripts: the build tree of each architecture and what runs it.
# BUILD_DIR (default build/) holds one CMake tree per architecture: BUILD_DIR/x86, BUILD_DIR/x64.
orvex_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
export BUILD_DIR=${BUILD_DIR:-$orvex_root/build}
mkdir -p "$BUILD_DIR"
BUILD_DIR=$(cd "$BUILD_DIR" && pwd -P)
ORVEX_ALL_ARCHS="x64 x86"

orvex_loader() { # ARCH: the Wine loader that runs that architecture's programs
  case "$1" in
    x64) echo /usr/lib/wine/wine64 ;;
    *) echo /usr/lib/wine/wine ;;
  esac
}

# True when this machine runs ARCH's programs. Some kernels refuse 32-bit programs
# ("Exec format error"), so only the loader itself can tell.
orvex_runs() { "$(orvex_loader "$1")" --version >/dev/null 2>&1; }

orvex_why_not() { # ARCH: one line saying why it cannot run here
  local loader why
  loader=$(orvex_loader "$1")
  why=$("$loader" --version 2>&1 >/dev/null | tail -n 1) || true
  echo "$1: $loader cannot run on this machine (${why:-no reason given})"
}

# The architecture a single run uses unless told: x86 where it runs (the 32-bit shells), else x64.
orvex_default_arch() {
  if orvex_runs x86; then echo x86; else echo x64; fi
}

orvex_tree() { echo "$BUILD_DIR/$1"; }

orvex_build() { # ARCH [cmake --build arguments...]
  local arch=$1
  shift
  cmake -S "$orvex_root" -B "$(orvex_tree "$arch")" \
    -DCMAKE_TOOLCHAIN_FILE="$orvex_root/cmake/toolchain-$arch-mingw.cmake" >/dev/null
  cmake --build "$(orvex_tree "$arch")" -j"$(nproc)" "$@"
}

# Enters ARCH's prefix (Wine environment, private display, lock-down and check); fails when the
# prefix reaches outside its build tree.
orvex_enter() {
  . "$orvex_root/scripts/wine-env.sh" "$(orvex_tree "$1")"
  . "$orvex_root/scripts/xvfb.sh"
  [ -n "${ORVEX_XVFB_PID:-}" ] || orvex_start_xvfb
  ORVEX_ENTERED_PREFIXES="${ORVEX_ENTERED_PREFIXES:-} $WINEPREFIX"
  orvex_prefix_ready
}

# The write-back volume a test loop-mounts inside TREE and maps as W: (tests/core/writeback-proof.sh):
# the drive letter goes first, then the mount. Safe to call when nothing is mounted.
orvex_writeback_release() { # TREE
  local mount="$1/wbvol"
  rm -f "$1/wineprefix/dosdevices/w:"
  mountpoint -q "$mount" 2>/dev/null || return 0
  umount "$mount" 2>/dev/null || { sleep 2; umount "$mount"; } || umount -l "$mount"
}
