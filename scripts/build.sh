#!/usr/bin/env bash
# Configures and builds the module, the tests and the tools, one tree per architecture:
# BUILD_DIR/x64 and BUILD_DIR/x86 (BUILD_DIR defaults to build/). Name one to build just it:
#   bash scripts/build.sh x64
set -euo pipefail
. "$(dirname "$0")/common.sh"
for arch in ${*:-$ORVEX_ALL_ARCHS}; do
  case " $ORVEX_ALL_ARCHS " in
    *" $arch "*) ;;
    *) echo "build: unknown architecture '$arch' (one of: $ORVEX_ALL_ARCHS)" >&2; exit 1 ;;
  esac
  echo "build: $arch in $(orvex_tree "$arch")"
  orvex_build "$arch"
done

# The install kit as it goes to Windows: the scripts and each module built so far in its own folder.
kit="$BUILD_DIR/kit"
mkdir -p "$kit"
cp "$orvex_root/install/install.js" "$orvex_root/install/set-passes.js" "$kit/"
for arch in $ORVEX_ALL_ARCHS; do
  module="$(orvex_tree "$arch")/bin/OrvexSE.dll"
  [ -f "$module" ] && mkdir -p "$kit/$arch" && cp "$module" "$kit/$arch/"
done
echo "build: install kit in $kit"
