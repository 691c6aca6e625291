#!/usr/bin/env bash
# The release archive as a user gets it: tools/release-pack packs the
# x86_64 build's distribution folder (the layout of the shipped win32
# archive; no 32-bit code runs here), the archive is unpacked into a fresh
# folder, and with the unpacked programs only, in a fresh Wine prefix, the
# editor's headless build makes the package of a sample project, which is
# installed silently and uninstalled with its entry's command.
#
#   archive_test.sh <x86_64 build folder> <sample COM module>
set -uo pipefail
VT_ROOT=$(cd "$(dirname "$0")/../.." && pwd)
VT_BUILD=$(dirname "$1")
source "$VT_ROOT/tools/lib.sh"
build=$1
module_built=$2
work=$build/release-archive
prefix=$work/prefix
export WINEPREFIX=$prefix

failures=0
check() {  # check WHAT COMMAND...: one line a check, failures counted
  local what=$1
  shift
  if "$@"; then echo "ok      $what"; return 0; fi
  echo "FAILED  $what"
  failures=$((failures + 1))
  return 1
}
fails() { ! "$@"; }
finish() {
  echo "$failures checks failed"
  [ "$failures" -eq 0 ] && exit 0
  exit 1
}
win() { printf 'Z:%s' "${1//\//\\}"; }
run() { LC_ALL=ja_JP.UTF-8 "$VT_WINE" "$@" </dev/null >>"$work/wine.log" 2>&1; }
reg_has() { run reg query "$@"; }
# The fresh prefix's own wineserver ends with the test.
server=
stop() { [ -n "$server" ] && wineserver -k </dev/null >/dev/null 2>&1; server=; }
trap stop EXIT

[ -d "$prefix" ] && wineserver -k </dev/null >/dev/null 2>&1
rm -rf "$work"
mkdir -p "$work"

# The archive and its listing.
"$VT_ROOT/tools/release-pack" "$build/dist" "$work/archive" | tee "$work/pack.log" ||
  { echo "FAILED  tools/release-pack"; exit 1; }
archive=$(sed -n 's/^archive  //p' "$work/pack.log")
version=$(tr -d '[:space:]' <"$VT_ROOT/VERSION")
check "named Vantorel-$version-win64.zip" test "$(basename "$archive")" = "Vantorel-$version-win64.zip"
LC_ALL=C.UTF-8 unzip -Z -l "$archive"
expected="Vantorel.exe Installer.exe instbase.ini はじめにお読みください.txt LICENSE SHA256SUMS"
[ -f "$build/dist/Vantorel.com" ] && expected=${expected/Vantorel.exe/Vantorel.exe Vantorel.com}
check "the entries, in their order" \
  test "$(LC_ALL=C.UTF-8 unzip -Z -1 "$archive" | tr '\n' ' ')" = "$expected "
# The stored name in code page 932 (what Japanese Windows reads), its
# Unicode name in the Info-ZIP field, one date, no flags.
check "stored names: the quick start's in code page 932, with its Unicode name" /usr/bin/python3 - "$archive" <<'EOF'
import sys, zipfile
infos = zipfile.ZipFile(sys.argv[1]).infolist()
quick = [i for i in infos if i.extra]
assert len(quick) == 1 and quick[0].extra[:2] == b"\x75\x70", [i.extra for i in infos]
assert quick[0].filename.encode("cp437").decode("cp932") == "はじめにお読みください.txt"
assert quick[0].extra[9:].decode("utf-8") == "はじめにお読みください.txt"
assert len({i.date_time for i in infos}) == 1 and all(i.flag_bits == 0 for i in infos)
EOF

unpacked=$work/Vantorel
mkdir -p "$unpacked"
(cd "$unpacked" && LC_ALL=C.UTF-8 unzip -q "$archive") || { echo "FAILED  unzip"; exit 1; }
check "SHA256SUMS holds every other file" \
  test "$(LC_ALL=C.UTF-8 sed 's/^[0-9a-f]\{64\}  //' "$unpacked/SHA256SUMS" | tr -d '\r' | tr '\n' ' ')" = \
       "${expected% SHA256SUMS} "
check "their sums agree" bash -c "cd '$unpacked' && sha256sum --quiet -c SHA256SUMS"
for f in ${expected% はじめに*}; do
  check "$f is the built one" cmp -s "$build/dist/$f" "$unpacked/$f"
done
quick=$unpacked/はじめにお読みください.txt
check "the quick start: UTF-8 with BOM" test "$(head -c 3 "$quick" | od -An -tx1 | tr -d ' ')" = efbbbf
check "the quick start: CRLF line ends only" test "$(grep -c $'\r$' "$quick")" = "$(wc -l <"$quick")"
# The editor's about box carries the version: "1.00" for 1.0.0.
IFS=. read -r major minor patch <<<"$version"
about=$major.$minor$patch
[ "$minor" -lt 10 ] && [ "$patch" -lt 10 ] || about=$version
check "the about box says Version $about" /usr/bin/python3 -c \
  'import sys; sys.exit((sys.argv[2] + "\0").encode("utf-16-le") not in open(sys.argv[1], "rb").read())' \
  "$unpacked/Vantorel.exe" "Vantorel Install Editor Version $about"

vt_log "a fresh Wine prefix"
wineserver -p </dev/null >/dev/null 2>&1
server=1
WINEDLLOVERRIDES="mscoree,mshtml=" run wineboot -i
check "the prefix is made" test -d "$prefix/drive_c/windows/system32"
run reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f

guid='{5B2D7C1E-3A4F-4B60-9C7D-8E9FA0B1C2D3}'
module_name=vtarchive.ocx
setup_name=VantorelArchive
mkdir -p "$work/modules" "$work/out"
cp "$module_built" "$work/modules/$module_name"
vt_project_write "$work/sample.sip" "Archive Sample" "$(win "$work")" "$guid" \
  "$(win "$work/modules/$module_name")" "サンプル グリッド" "$setup_name" "$(win "$work/out")"

vt_log "the unpacked editor's headless build"
LC_ALL=ja_JP.UTF-8 "$VT_WINE" "$unpacked/Vantorel.exe" /build "$(win "$work/sample.sip")" \
  </dev/null >"$work/build.log" 2>&1
status=$?
iconv -f CP932 -t UTF-8 -c "$work/build.log" | tr -d '\r'
check "Vantorel.exe /build ends with 0 ($status)" test "$status" -eq 0
package=$work/out/$setup_name.exe
check "the package is written" test -f "$package" || finish
check "the project folder is made beside the unpacked editor" test -f "$unpacked/InstallList/$guid/instbase.ini"
# The package keeps the template's version, its fourth part 0 (no
# silent.dat): the version resource is read from the image before the
# payload block.
check "the package's file version is $version.0" /usr/bin/python3 - "$package" "$module_built" "$version.0" <<'EOF'
import os, struct, sys
data = open(sys.argv[1], "rb").read()
image = data[:len(data) - 4 - os.path.getsize(sys.argv[2])]
key = "VS_VERSION_INFO\0".encode("utf-16-le")
at = image.find(struct.pack("<I", 0xFEEF04BD), image.rfind(key))
ms, ls = struct.unpack_from("<II", image, at + 8)
assert "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF) == sys.argv[3]
EOF

vt_log "installing silently"
system32=$prefix/drive_c/windows/system32
uninstall_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$guid"
registered_key='HKLM\Software\VantorelTest\Registered'
run reg add "HKCU\\Software\\Wine\\AppDefaults\\$setup_name.exe" /v Version /t REG_SZ /d win7 /f
run "$package"
status=$?
check "the package ends with 0 ($status)" test "$status" -eq 0
check "the module is in the system folder" cmp -s "$work/modules/$module_name" "$system32/$module_name"
check "the module is registered" reg_has "$registered_key" /v "$module_name"
uninstall_string=$(LC_ALL=ja_JP.UTF-8 "$VT_WINE" reg query "$uninstall_key" /v UninstallString </dev/null 2>/dev/null |
  sed -n 's/^ *UninstallString *REG_SZ *//p' | tr -d '\r')
check "the uninstall entry is written" test -n "$uninstall_string"

vt_log "uninstalling: $uninstall_string"
program=$(sed -n 's/^"\([^"]*\)".*/\1/p' <<<"$uninstall_string")
arguments=$(sed -n 's/^"[^"]*" *//p' <<<"$uninstall_string")
run "$program" $arguments
status=$?
check "the uninstaller ends with 0 ($status)" test "$status" -eq 0
check "the module is gone" test ! -e "$system32/$module_name"
check "its registration is gone" fails reg_has "$registered_key" /v "$module_name"
check "the uninstall entry is gone" fails reg_has "$uninstall_key"

stop
[ "$failures" -eq 0 ] && rm -rf "$prefix"
finish
