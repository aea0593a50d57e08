#!/usr/bin/env bash
# Lays out the install kit as a user gets it, in the tree's sandbox (S:\kit): the scripts, the
# tree's own module in <arch>\OrvexSE.dll and, for an x64 tree, the x86 module of the sibling tree
# where this machine runs 32-bit programs (else the kit is x64 only, as the script allows).
# Usage: make-install-kit.sh SOURCE_DIR TREE
set -euo pipefail
root=$1
. "$root/scripts/wine-env.sh" "$2"
orvex_arch_runs || exit 77
kit="$ORVEX_SANDBOX/kit"
rm -rf "$kit"
mkdir -p "$kit/$ORVEX_ARCH"
cp "$root/install/install.js" "$root/install/set-passes.js" "$kit/"
cp "$orvex_build_dir/bin/OrvexSE.dll" "$kit/$ORVEX_ARCH/"
sibling="$(dirname "$orvex_build_dir")/x86/bin/OrvexSE.dll"
if [ "$ORVEX_ARCH" = x64 ] && [ -f "$sibling" ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
  mkdir -p "$kit/x86"
  cp "$sibling" "$kit/x86/"
fi
