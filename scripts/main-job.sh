#!/usr/bin/env bash
# Sets up the machine, builds the module, and runs a Secure Delete end to end in the sandbox.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd -P)
export BUILD_DIR=${BUILD_DIR:-$root/build}
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
echo "main job: the module is built at $BUILD_DIR/bin/OrvexSE.dll; the Secure Delete command is not there yet."
