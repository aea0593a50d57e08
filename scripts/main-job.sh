#!/usr/bin/env bash
# Sets up the machine, builds the module, and runs a Secure Delete end to end in the sandbox:
# a sample folder tree is made on S:, the shell host puts the module's handler into a real
# context menu for part of it and invokes the item, answering the module's dialogs with OK.
# It runs the x86 module where this machine runs 32-bit programs, else the x64 one; ORVEX_ARCH
# chooses. Pictures of the confirmation and progress dialogs land in BUILD_DIR/main-job/.
set -euo pipefail
. "$(dirname "$0")/common.sh"
root=$orvex_root
bash "$root/scripts/setup.sh"
arch=${ORVEX_ARCH:-$(orvex_default_arch)}
orvex_runs "$arch" || { orvex_why_not "$arch" >&2; exit 2; }
echo "main job: the $arch module ($(orvex_tree "$arch")/bin/OrvexSE.dll)"
bash "$root/scripts/build.sh" "$arch"
orvex_enter "$arch" || { echo "main job: the Wine prefix reaches outside the build tree; not running" >&2; exit 2; }
tree=$(orvex_tree "$arch")

job="$ORVEX_SANDBOX/main-job"       # S:\main-job
shots="$ORVEX_SANDBOX2/main-job-shots" # T:\main-job-shots
out="$BUILD_DIR/main-job"
chmod -R u+w "$job" 2>/dev/null || true
rm -rf "$job" "$shots"
mkdir -p "$job/sample/nested/deeper" "$job/keep" "$shots" "$out"

# Files of several sizes, an empty one, a read-only one, a nested folder; one large file keeps
# the progress dialog up long enough to be seen.
printf 'meeting notes: nothing to see here\n%.0s' $(seq 30) >"$job/sample/notes.txt"
head -c 204800 /dev/urandom >"$job/sample/photo.jpg"
: >"$job/sample/empty.dat"
printf 'read-only secret\n' >"$job/sample/readonly.txt"
chmod a-w "$job/sample/readonly.txt"
head -c 51201 /dev/urandom >"$job/sample/nested/deeper/ledger.csv"
head -c 12582912 /dev/urandom >"$job/sample/nested/archive.bin"
printf 'loose file, selected on its own\n' >"$job/loose.txt"
printf 'not selected: must survive\n' >"$job/keep/neighbour.txt"

list_tree() {
  (cd "$ORVEX_SANDBOX" && find main-job -printf '%M %10s  %p\n' | sort -k3)
}

echo "== before (S:\\main-job) =="
list_tree | tee "$out/before.txt"
echo
echo "== Secure Delete of S:\\main-job\\sample and S:\\main-job\\loose.txt =="
status=0
"$root/scripts/wine-run.sh" "$tree/bin/shellhost.exe" --answer ok --answer-delay 400 \
  --register --capture 'T:\main-job-shots' 'S:\main-job\sample' 'S:\main-job\loose.txt' | tr -d '\r' || status=$?
echo
echo "== after =="
list_tree | tee "$out/after.txt"
echo
echo "== deleted =="
comm -23 <(awk '{print $3}' "$out/before.txt" | sort) <(awk '{print $3}' "$out/after.txt" | sort)

for picture in confirm progress message; do
  if [ -f "$shots/$picture.bmp" ]; then
    convert "$shots/$picture.bmp" "$out/$picture.png"
    echo "picture: $out/$picture.png"
  fi
done

# The run counts only if exactly the selection went.
if [ -e "$job/sample" ] || [ -e "$job/loose.txt" ]; then
  echo "main job: the selection was not deleted" >&2
  status=1
fi
if [ ! -f "$job/keep/neighbour.txt" ]; then
  echo "main job: a file outside the selection is gone" >&2
  status=1
fi
[ "$status" -eq 0 ] && echo "main job: done ($arch)"
exit "$status"
