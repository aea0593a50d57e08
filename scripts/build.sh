#!/usr/bin/env bash
# Configures and builds the module, the tests, the tools and the Windows Installer package, one tree
# per architecture: BUILD_DIR/x64 and BUILD_DIR/x86 (BUILD_DIR defaults to build/). Name one to
# build just it:
#   bash scripts/build.sh x64
set -euo pipefail
. "$(dirname "$0")/common.sh"
archs=${*:-$ORVEX_ALL_ARCHS}
for arch in $archs; do
  case " $ORVEX_ALL_ARCHS " in
    *" $arch "*) ;;
    *) echo "build: unknown architecture '$arch' (one of: $ORVEX_ALL_ARCHS)" >&2; exit 1 ;;
  esac
done
# Signed where a certificate is given (install/signing.py names the variables).
if [ -n "${ORVEX_SIGN_PKCS12:-}" ]; then
  echo "build: signing the modules and packages with $ORVEX_SIGN_PKCS12"
else
  echo "build: no signing certificate given (ORVEX_SIGN_PKCS12): the modules and packages are unsigned"
fi
# The x64 packages carry x86 modules too: those come first, even for an x64-only build.
case " $archs " in
  *" x64 "*) echo "build: the x86 modules for the x64 packages"; orvex_build x86 --target OrvexSE OrvexSE_older ;;
esac
for arch in $archs; do
  echo "build: $arch in $(orvex_tree "$arch")"
  orvex_build "$arch"
done

# The packages as they go to Windows, side by side.
packages="$BUILD_DIR/packages"
mkdir -p "$packages"
for arch in $archs; do
  tree=$(orvex_tree "$arch")
  version=$(sed -n 's/^ORVEX_VERSION:[A-Z]*=//p' "$tree/CMakeCache.txt")
  rm -f "$packages"/OrvexSE-*-"$arch".msi
  cp "$tree/package/OrvexSE-$version-$arch.msi" "$packages/"
done
echo "build: packages in $packages"
