#!/usr/bin/env bash
# The parts of the smoke test's emulation set-up that decide what is used
# (tools/smoke32/emulation.sh): zlib1.dll made from the MinGW zlib with the
# builtin mark in its DOS stub only, and the stamps that tell a complete
# tree or prefix of this Wine from anything else.
set -uo pipefail
VT_ROOT=$(cd "$(dirname "$0")/../.." && pwd)
source "$VT_ROOT/tools/smoke32/emulation.sh"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
check() {  # check WHAT COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok      $what"; else echo "FAILED  $what"; failures=$((failures + 1)); fi
}
fails() { ! "$@"; }

# A DLL image as far as the maker reads it: MZ, the PE header's offset at
# byte 60, a DOS stub, then bytes standing for the rest of the image.
fake_dll() {  # fake_dll FILE PE_OFFSET
  { printf 'MZ'; head -c 58 /dev/zero; printf "\\x$(printf %02x "$2")\\x00\\x00\\x00"
    printf 'This program cannot be run in DOS mode.%-25s' ''; printf 'PE\0\0'
    seq 1 200 | tr -d '\n'; } >"$1"
}
tree=$scratch/tree
mkdir -p "$tree/usr/i686-w64-mingw32/lib" "$tree/usr/lib/i386-linux-gnu/wine/i386-windows"
in=$tree/usr/i686-w64-mingw32/lib/zlib1.dll
out=$tree/usr/lib/i386-linux-gnu/wine/i386-windows/zlib1.dll
fake_dll "$in" 128
check "zlib1.dll is made" s32_zlib_make "$tree"
check "same size as the MinGW zlib" test "$(stat -c %s "$out")" = "$(stat -c %s "$in")"
check "bytes 0-63 kept" cmp -n 64 "$in" "$out"
check "bytes 64-79 are the builtin mark" test "$(dd if="$out" bs=1 skip=64 count=16 status=none)" = "Wine builtin DLL"
check "bytes 80-95 are zero" cmp -n 16 <(dd if="$out" bs=1 skip=80 count=16 status=none) <(head -c 16 /dev/zero)
check "bytes from 96 kept" cmp <(tail -c +97 "$in") <(tail -c +97 "$out")
# A PE header inside bytes 64-95 would be overwritten: refused.
fake_dll "$in" 64
check "a PE header before byte 96 is refused" fails s32_zlib_make "$tree"

# Stamps: a folder is used only with the stamp of this layout, Wine and
# qemu, and the tree only in the folder it was made in.
folder=$scratch/prefix
mkdir -p "$folder"
check "no stamp: made again" fails s32_stamp_valid "$folder"
s32_stamp_header >"$folder/.stamp"
check "this set-up's stamp: used" s32_stamp_valid "$folder"
sed -i 's/ wine [^ ]*/ wine 0.0-other/' "$folder/.stamp"
check "another Wine's stamp: made again" fails s32_stamp_valid "$folder"
S32_TREE=$scratch/tree
mkdir -p "$S32_TREE/usr/lib/wine"
s32_stamp_header >"$S32_TREE/.stamp"
printf '#!/bin/sh\nexec qemu-i386-static -L %s "$@"\n' "$S32_TREE" >"$S32_TREE/usr/lib/wine/wine-preloader"
check "a tree whose preloader names its folder: used" s32_tree_valid
printf '#!/bin/sh\nexec qemu-i386-static -L %s "$@"\n' /elsewhere/tree >"$S32_TREE/usr/lib/wine/wine-preloader"
check "a tree moved from another folder: made again" fails s32_tree_valid

echo "$failures checks failed"
[ "$failures" -eq 0 ]
