#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian 12 (amd64, root): both
# mingw-w64 toolchains, Wine for both architectures, msitools (wixl) for the installer packages,
# and osslsigncode and openssl for signing them. The 32-bit loader is installed even where the
# kernel cannot run it; the test command asks it and skips the x86 suite there.
# Safe to run again: every step checks first or is idempotent.
set -euo pipefail

PACKAGES=(
  cmake make
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  mingw-w64-tools
  googletest
  wine wine64 wine32:i386 libwine-dev
  xvfb xauth x11-utils imagemagick
  coreutils python3 locales
  e2fsprogs util-linux mount
  wixl msitools
  osslsigncode openssl
)

# The double-byte code-page cases run under this locale: Wine takes its ANSI code page from it.
JAPANESE_LOCALE=ja_JP.UTF-8
have_japanese_locale() { locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; }

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
make_japanese_locale() { have_japanese_locale || $SUDO localedef -i ja_JP -f UTF-8 "$JAPANESE_LOCALE"; }

have_packages() {
  local target
  for target in i686-w64-mingw32 x86_64-w64-mingw32; do
    command -v $target-g++-posix >/dev/null && command -v $target-windres >/dev/null &&
      command -v $target-widl >/dev/null || return 1
  done
  [ -x /usr/lib/wine/wine64 ] && [ -x /usr/lib/wine/wine ] && command -v Xvfb >/dev/null &&
  command -v import >/dev/null && command -v cmake >/dev/null && command -v python3 >/dev/null &&
  command -v wixl >/dev/null && command -v msiinfo >/dev/null && command -v msibuild >/dev/null &&
  command -v osslsigncode >/dev/null && command -v openssl >/dev/null &&
  [ -x /sbin/mkfs.ext2 ] && [ -x /sbin/losetup ] && [ -x /bin/mountpoint ] &&
  [ -f /usr/share/i18n/locales/ja_JP ] &&
  [ -d /usr/src/googletest/googletest ] &&
  [ -f /usr/include/wine/wine/windows/oaidl.idl ] &&
  [ -f /usr/lib/i386-linux-gnu/wine/i386-windows/stdole2.tlb ] &&
  [ -f /usr/lib/x86_64-linux-gnu/wine/x86_64-windows/stdole2.tlb ]
}

if have_packages; then
  make_japanese_locale
  echo "setup: everything is installed"
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi

PIN=/etc/apt/preferences.d/orvexse-security-pin
install_packages() {
  # A half-synced mirror makes update fail for one index; what it did fetch is still usable.
  $SUDO apt-get update -q || echo "setup: apt-get update reported errors, going on"
  $SUDO apt-get install -y -q --no-install-recommends "${PACKAGES[@]}"
}

if ! install_packages; then
  # The i386 security index can lag behind the amd64 one; then multiarch packages
  # disagree on versions. Preferring the main suite gets a consistent pair.
  echo "setup: retrying with the security suite pinned below main"
  printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 400\n' | $SUDO tee "$PIN" >/dev/null
  install_packages
fi

make_japanese_locale
have_packages && have_japanese_locale || { echo "setup: something is still missing" >&2; exit 1; }
echo "setup: done"
