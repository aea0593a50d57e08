#!/bin/sh
# Host-side set-up for the link cases: Wine shows host symbolic links as the platform's links
# (folder links as reparse points). Everything is made inside the given sandbox folder, and
# every link is relative and points inside it.
set -eu
sandbox=$1
case "$sandbox" in
  */sandbox) ;;
  *) echo "make-engine-links: $sandbox is not a sandbox folder" >&2; exit 2 ;;
esac
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
