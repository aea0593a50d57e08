#!/usr/bin/env bash
# Benchmark of the module (not a test), each way in its own process under Wine on a private Xvfb,
# the progress dialog on screen. One pass (three sweeps) over a sandbox file of BENCH_MIB MiB
# (default 256):
#   engine    CorruptFile
#   blitbar   the calls the engine must make per chunk against a window of the bar's size whose
#             paint is one BitBlt: the floor (a') the engine is held to
#   floor     the same calls against the module's own bar
#   nowindow  the calls without the per-chunk message step and InvalidateRect
#   zeros     plain WriteFile of zero chunks (the I/O limit)
#   shred     shred -n 3 on the host, on a file of the same size in the sandbox
# and the engine again on a quarter of the size, to show its peak working set does not grow.
# Then a folder of BENCH_FILES files of 1 KiB (default 2,000): the module through ClearRaw (one
# pass, every file overwritten and deleted, the folder removed) against shred -n 3 -u on the host.
# Usage: BUILD_DIR=... bash scripts/bench.sh [x86|x64]   (default: x86 where it runs, else x64)
set -euo pipefail
. "$(dirname "$0")/common.sh"
root=$orvex_root
arch=${1:-$(orvex_default_arch)}
orvex_runs "$arch" || { orvex_why_not "$arch" >&2; exit 2; }
mib=${BENCH_MIB:-256}
small=$((mib / 4))
rounds=${BENCH_ROUNDS:-2}
files=${BENCH_FILES:-2000}

orvex_build "$arch" --target engine_bench >/dev/null
orvex_enter "$arch" || { echo "bench: the Wine prefix reaches outside the build tree; not running" >&2; exit 2; }
tree=$(orvex_tree "$arch")
echo "bench: $arch module, $(nproc) cores, $(uname -m), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"

dir="$ORVEX_SANDBOX/bench"
file="$dir/overwrite.bin"
folder="$dir/files"
results=$(mktemp)
trap 'rm -rf "$dir" "$results"; orvex_stop_all' EXIT
mkdir -p "$dir"

fresh_file() { # size in MiB; written out so every way overwrites allocated blocks
  rm -f "$file"
  dd if=/dev/zero of="$file" bs=1M count="$1" status=none
  sync
}

fresh_folder() { # the folder of small files, each with bytes of its own
  rm -rf "$folder"
  mkdir -p "$folder"
  python3 -c 'import os, sys
for i in range(int(sys.argv[2])):
    with open(os.path.join(sys.argv[1], "f%05d.bin" % i), "wb") as f:
        f.write(os.urandom(1024))' "$folder" "$files"
  sync
}

run_way() { # way, size in MiB
  fresh_file "$2"
  "$root/scripts/wine-run.sh" "$tree/bin/engine_bench.exe" "$1" 'S:\bench\overwrite.bin' | tr -d '\r' | tee -a "$results"
}

timed() { # command...: prints the seconds it took, the data synced
  local start end
  start=$(date +%s.%N)
  "$@"
  sync
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" 'BEGIN { print e - s }'
}

run_way zeros "$mib"
run_way nowindow "$mib"
for _ in $(seq "$rounds"); do
  run_way blitbar "$mib"
  run_way floor "$mib"
  run_way engine "$mib"
done
run_way engine "$small" | sed 's/^way=engine/way=engine_small/' >> "$results"

fresh_file "$mib"
seconds=$(timed shred -n 3 "$file")
awk -v t="$seconds" -v m="$mib" \
  'BEGIN { printf "way=shred mib=%d seconds=%.3f mib_per_s=%.1f peak_ws_kib=0 ok=1\n", m, t, 3 * m / t }' |
  tee -a "$results"

for _ in $(seq "$rounds"); do
  fresh_folder
  "$root/scripts/wine-run.sh" "$tree/bin/engine_bench.exe" files 'S:\bench\files' | tr -d '\r' | tee -a "$results"
  fresh_folder
  seconds=$(timed shred -n 3 -u "$folder"/*)
  left=$(find "$folder" -type f | wc -l)
  awk -v t="$seconds" -v n="$files" -v left="$left" \
    'BEGIN { printf "way=shred_files files=%d seconds=%.3f files_per_s=%.1f peak_ws_kib=0 ok=%d\n", n, t, n / t, left == 0 }' |
    tee -a "$results"
done

# Best round of each way; ratios against the floors and shred.
awk '
  { for (i = 1; i <= NF; ++i) { split($i, kv, "="); f[kv[1]] = kv[2] }
    w = f["way"]; if (w == "engine" && f["mib"] + 0 < '"$mib"') w = "engine_small"
    if (f["ok"] != 1) bad[w] = 1
    r = (w ~ /files/) ? f["files_per_s"] : f["mib_per_s"]
    if (!(w in rate) || r > rate[w]) { rate[w] = r; ws[w] = f["peak_ws_kib"] } }
  END {
    printf "\n%-12s %10s %14s\n", "way", "MiB/s", "peak WS KiB"
    n = split("engine blitbar floor nowindow zeros shred engine_small", order, " ")
    for (i = 1; i <= n; ++i) if (order[i] in rate) printf "%-12s %10.1f %14s\n", order[i], rate[order[i]], ws[order[i]]
    printf "\n%-12s %10s %14s\n", "way", "files/s", "peak WS KiB"
    n = split("files shred_files", order, " ")
    for (i = 1; i <= n; ++i) if (order[i] in rate) printf "%-12s %10.1f %14s\n", order[i], rate[order[i]], ws[order[i]]
    printf "\nengine time / (a'"'"') time  %.3f  (goal: at most 1.25; (a'"'"') = blitbar)\n", rate["blitbar"] / rate["engine"]
    printf "engine / floor            %.3f  (the module'"'"'s bar against the one-BitBlt window)\n", rate["engine"] / rate["floor"]
    printf "floor / nowindow          %.3f  (share of the per-chunk message step and InvalidateRect: %.1f%%)\n", \
      rate["floor"] / rate["nowindow"], 100 * (1 - rate["floor"] / rate["nowindow"])
    printf "nowindow / zeros          %.3f  (share of rand per byte and Sleep(0): %.1f%%)\n", \
      rate["nowindow"] / rate["zeros"], 100 * (1 - rate["nowindow"] / rate["zeros"])
    printf "engine / shred -n 3       %.3f  (one '"$mib"' MiB file)\n", rate["engine"] / rate["shred"]
    printf "module / shred -n 3 -u    %.3f  ('"$files"' files of 1 KiB, files per second; goal: at least 1)\n", \
      rate["files"] / rate["shred_files"]
    printf "peak working set, engine at '"$mib"' MiB vs '"$small"' MiB: %s KiB vs %s KiB\n", ws["engine"], ws["engine_small"]
    for (w in bad) { printf "bench: way %s did not finish its work\n", w; status = 1 }
    exit status
  }' "$results"
