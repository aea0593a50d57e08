#!/usr/bin/env bash
# Copies the packages into the tree's sandbox (S:\package), from where the tests install them:
# nothing is ever installed from outside the sandbox.
# Usage: make-package-kit.sh SOURCE_DIR TREE PACKAGE...
set -euo pipefail
root=$1
. "$root/scripts/wine-env.sh" "$2"
shift 2
orvex_arch_runs || exit 77
kit="$ORVEX_SANDBOX/package"
rm -rf "$kit"
mkdir -p "$kit"
cp "$@" "$kit/"
