# Sourced: starts a private Xvfb display and stops it (and the wineserver of every prefix entered) on
# exit, when it also unmounts any write-back volume a test left in those prefixes' trees.
orvex_start_xvfb() {
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  ORVEX_XVFB_PID=$!
  read -r -t 30 display <"$fifo" || { echo "Xvfb did not start" >&2; rm -f "$fifo"; return 1; }
  rm -f "$fifo"
  export DISPLAY=":$display"
  trap orvex_stop_all EXIT
}

orvex_stop_all() {
  local prefix
  for prefix in ${ORVEX_ENTERED_PREFIXES:-}; do
    WINEPREFIX=$prefix "$WINESERVER" -k >/dev/null 2>&1 || true
    orvex_writeback_release "$(dirname "$prefix")" || true # left mounted by a test that was killed
  done
  if [ -n "${ORVEX_XVFB_PID:-}" ]; then
    kill "$ORVEX_XVFB_PID" >/dev/null 2>&1 || true
    wait "$ORVEX_XVFB_PID" 2>/dev/null || true
  fi
}
