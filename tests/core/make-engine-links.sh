#!/usr/bin/env bash
# Host-side set-up for the link cases: Wine shows host symbolic links as the platform's links
# (folder links as reparse points). Everything is made inside the build tree's sandbox folder,
# and every link is relative and points inside it. Usage: make-engine-links.sh TREE
set -eu
. "$(dirname "$0")/../../scripts/wine-env.sh" "$1"
orvex_arch_runs || exit 77 # nothing of this tree runs here, so it needs no links
sandbox=$ORVEX_SANDBOX
root="$sandbox/engine_links"
rm -rf "$root"
mkdir -p "$root/target/sub" "$root/target/emptydir" "$root/victim/inner"
printf 'target bytes that must survive' > "$root/target/keep.txt"
printf 'deeper target bytes' > "$root/target/sub/inner.txt"
printf 'a target file' > "$root/target.txt"
chmod a-w "$root/target.txt" # read-only: a reset of the link's attributes must not reach it
printf 'plain victim' > "$root/victim/plain.txt"
printf 'inner victim' > "$root/victim/inner/file.txt"
ln -s ../target "$root/victim/dirlink"
ln -s ../../target/sub "$root/victim/inner/sublink"
ln -s ../target/emptydir "$root/victim/emptylink"
ln -s ../target.txt "$root/victim/filelink.txt"
ln -s target "$root/selected_dirlink"
ln -s target.txt "$root/selected_filelink.txt"
# Links beside their target under names that differ from its name in a way a comparison may
# pass over: a fullwidth "t" (UTF-8 EF BD 94), which the ANSI code page spells "t" only in best
# fit, and a soft hyphen (C2 AD), which a linguistic comparison ignores.
ln -s target.txt "$root/$(printf '\357\275\224')arget.txt"
ln -s target.txt "$root/tar$(printf '\302\255')get.txt"
# Names the path calls rewrite, beside the names they are rewritten to ("sub." and "sub", a
# trailing blank), also inside a selected folder; and one whose volume gives it no short name.
names="$root/names"
mkdir -p "$names/sub./inner." "$names/sub./inner" "$names/sub" "$names/h " "$names/h"
printf 'inside sub.' > "$names/sub./in.txt"
printf 'inside inner.' > "$names/sub./inner./x.txt"
printf 'inside inner' > "$names/sub./inner/y.txt"
printf 'the neighbour of sub.' > "$names/sub/in.txt"
printf 'inside h ' > "$names/h /in.txt"
printf 'the neighbour of h ' > "$names/h/in.txt"
printf 'no short name' > "$names/no-short."
printf 'the neighbour of no-short.' > "$names/no-short"
# A volume that cannot tell where a file resolves to (T:, in the tests): a folder link there.
ram="$ORVEX_SANDBOX2/ramdisk_links"
rm -rf "$ram"
mkdir -p "$ram/target"
printf 'behind a link' > "$ram/target/keep.txt"
ln -s target "$ram/dirlink"
