#!/usr/bin/env bash
# Sets up the machine, builds both architectures, and runs every test under Wine on a private Xvfb
# display: the x64 suite everywhere, the x86 suite where this machine runs 32-bit programs (where
# it cannot, ctest reports each x86 test as not run). Extra arguments go to ctest (e.g. -R engine);
# ORVEX_ARCHS=x64 limits the run to one architecture.
set -euo pipefail
. "$(dirname "$0")/common.sh"
bash "$orvex_root/scripts/setup.sh"
# Every run builds signed, with a throwaway certificate made here (the "signatures" test checks
# against it); a release's own certificate is given the same way.
throwaway_certificate() {
  local folder="$BUILD_DIR/signing"
  mkdir -p "$folder"
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=OrvexSE throwaway test certificate" \
    -addext extendedKeyUsage=codeSigning -keyout "$folder/key.pem" -out "$folder/certificate.pem" 2>/dev/null
  export ORVEX_SIGN_PASSWORD=throwaway ORVEX_SIGN_PKCS12="$folder/throwaway.p12"
  unset ORVEX_SIGN_TIMESTAMP
  openssl pkcs12 -export -inkey "$folder/key.pem" -in "$folder/certificate.pem" -out "$ORVEX_SIGN_PKCS12" \
    -passout env:ORVEX_SIGN_PASSWORD
}
throwaway_certificate
archs=${ORVEX_ARCHS:-$ORVEX_ALL_ARCHS}
bash "$orvex_root/scripts/build.sh" $archs
count() { # WHAT LOG: how many tests of a ctest log ended so
  local pattern
  case "$1" in
    Passed) pattern=' Passed ' ;;
    Skipped) pattern='\*\*\*Skipped' ;;
    Failed) pattern='\*\*\*\(Failed\|Timeout\|Exception\|Not Run\)' ;;
  esac
  grep -c "^ *[0-9]*/[0-9]* Test .*$pattern" "$2" || true
}
# Architectures this machine cannot run go first, so that the run's last ctest report is one
# that executed its tests.
ordered=()
for arch in $archs; do orvex_runs "$arch" || ordered+=("$arch"); done
for arch in $archs; do orvex_runs "$arch" && ordered+=("$arch"); done
status=0
passed=0
summary=()
for arch in "${ordered[@]}"; do
  tree=$(orvex_tree "$arch")
  log="$tree/ctest.log"
  if orvex_runs "$arch"; then
    orvex_enter "$arch" || { echo "test: the $arch prefix reaches outside its build tree; not running" >&2; exit 2; }
  else
    orvex_why_not "$arch"
    . "$orvex_root/scripts/wine-env.sh" "$tree"
  fi
  echo "== $arch tests =="
  set +e
  ctest --test-dir "$tree" --output-on-failure --timeout 600 "$@" 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  set -e
  if orvex_runs "$arch"; then
    orvex_prefix_check || status=2
  fi
  passed=$((passed + $(count Passed "$log")))
  summary+=("$arch: $(count Passed "$log") passed, $(count Skipped "$log") not run (skipped), $(count Failed "$log") failed")
done
echo
printf 'test: %s\n' "${summary[@]}"
if [ "$passed" -eq 0 ]; then
  echo "test: no test ran on this machine" >&2
  [ "$status" -ne 0 ] || status=1
fi
exit $status
