#!/usr/bin/env bash
# Builds the PE images the PE walk's fuzzer starts from, with the MinGW-w64
# cross compilers (the native configuration cannot make Windows images):
# module.c and module.rc as a DLL for x86-64 (PE32+, the processor the
# fuzzer judges modules for) and for i386 (PE32). Stripped and without a
# run-time library: 4 KB each. Run it again after changing the sources and
# commit the images it writes into ../seeds/pe_image.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$here/../seeds/pe_image
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
for arch in x86_64 i686; do
  cc=$arch-w64-mingw32-gcc
  entry=DllMainCRTStartup
  [ "$arch" = i686 ] && entry=_DllMainCRTStartup@12
  "$arch-w64-mingw32-windres" -c 65001 "$here/module.rc" -O coff -o "$work/module.$arch.res"
  # --kill-at: the undecorated names an in-process server exports on i386 too.
  # No time stamp: the same sources give the same bytes.
  "$cc" -Os -s -shared -nostdlib -fno-asynchronous-unwind-tables \
    -Wl,--kill-at -Wl,--entry="$entry" -Wl,--no-insert-timestamp \
    -o "$out/module_$arch.dll" "$here/module.c" "$work/module.$arch.res"
  echo "$out/module_$arch.dll: $(stat -c %s "$out/module_$arch.dll") bytes"
done
