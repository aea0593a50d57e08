#!/usr/bin/env bash
# Benchmark of the overwrite engine (not a test). One pass (three sweeps) over a sandbox file
# of BENCH_MIB MiB (default 256), each way in its own process under Wine on a private Xvfb,
# the progress dialog on screen:
#   engine    CorruptFile
#   floor     the calls the engine must make per chunk and nothing else
#   nowindow  the floor without the per-chunk message step and InvalidateRect
#   zeros     plain WriteFile of zero chunks (the I/O limit)
#   shred     shred -n 3 on the host, on a file of the same size in the sandbox
# and the engine again on a quarter of the size, to show its peak working set does not grow.
# Usage: BUILD_DIR=... bash scripts/bench.sh [x86|x64]   (default: x86 where it runs, else x64)
set -euo pipefail
. "$(dirname "$0")/common.sh"
root=$orvex_root
arch=${1:-$(orvex_default_arch)}
orvex_runs "$arch" || { orvex_why_not "$arch" >&2; exit 2; }
mib=${BENCH_MIB:-256}
small=$((mib / 4))
rounds=${BENCH_ROUNDS:-2}

orvex_build "$arch" --target engine_bench >/dev/null
orvex_enter "$arch" || { echo "bench: the Wine prefix reaches outside the build tree; not running" >&2; exit 2; }
tree=$(orvex_tree "$arch")
echo "bench: $arch module, $(nproc) cores, $(uname -m)"

dir="$ORVEX_SANDBOX/bench"
file="$dir/overwrite.bin"
results=$(mktemp)
trap 'rm -rf "$dir" "$results"; orvex_stop_all' EXIT
mkdir -p "$dir"

fresh_file() { # size in MiB; written out so every way overwrites allocated blocks
  rm -f "$file"
  dd if=/dev/zero of="$file" bs=1M count="$1" status=none
  sync
}

run_way() { # way, size in MiB
  fresh_file "$2"
  "$root/scripts/wine-run.sh" "$tree/bin/engine_bench.exe" "$1" 'S:\bench\overwrite.bin' | tr -d '\r' | tee -a "$results"
}

run_way zeros "$mib"
run_way nowindow "$mib"
for _ in $(seq "$rounds"); do
  run_way floor "$mib"
  run_way engine "$mib"
done
run_way engine "$small" | sed 's/^way=engine/way=engine_small/' >> "$results"

fresh_file "$mib"
start=$(date +%s.%N)
shred -n 3 "$file"
sync
end=$(date +%s.%N)
awk -v s="$start" -v e="$end" -v m="$mib" \
  'BEGIN { t = e - s; printf "way=shred mib=%d seconds=%.3f mib_per_s=%.1f peak_ws_kib=0 ok=1\n", m, t, 3 * m / t }' |
  tee -a "$results"

# Best round of each way; ratios against the floor.
awk '
  { for (i = 1; i <= NF; ++i) { split($i, kv, "="); f[kv[1]] = kv[2] }
    w = f["way"]; if (w == "engine" && f["mib"] + 0 < '"$mib"') w = "engine_small"
    if (!(w in rate) || f["mib_per_s"] > rate[w]) { rate[w] = f["mib_per_s"]; ws[w] = f["peak_ws_kib"] } }
  END {
    printf "\n%-10s %10s %14s\n", "way", "MiB/s", "peak WS KiB"
    n = split("engine floor nowindow zeros shred engine_small", order, " ")
    for (i = 1; i <= n; ++i) if (order[i] in rate) printf "%-10s %10.1f %14s\n", order[i], rate[order[i]], ws[order[i]]
    printf "\nengine / floor          %.3f  (goal: at least 0.95)\n", rate["engine"] / rate["floor"]
    printf "floor / nowindow        %.3f  (share of the per-chunk message step and InvalidateRect: %.1f%%)\n", \
      rate["floor"] / rate["nowindow"], 100 * (1 - rate["floor"] / rate["nowindow"])
    printf "nowindow / zeros        %.3f  (share of rand per byte and Sleep(0): %.1f%%)\n", \
      rate["nowindow"] / rate["zeros"], 100 * (1 - rate["nowindow"] / rate["zeros"])
    printf "engine / shred -n 3     %.3f\n", rate["engine"] / rate["shred"]
    printf "peak working set, engine at '"$mib"' MiB vs '"$small"' MiB: %s KiB vs %s KiB\n", ws["engine"], ws["engine_small"]
  }' "$results"
