#!/usr/bin/env bash
# Benchmark of the Installer: the image size of Installer.exe for i686 (the
# shipped build, the overhead of every package: target under 64 KiB, budget
# 98,304 bytes) and
# x86_64, then the wall time and peak memory of a silent install and its
# uninstall under Wine for modules of 1 MiB and 64 MiB. The payload is
# copied in fixed blocks, so the peak memory must not grow with the module.
#
#   tools/bench/installer/bench.sh     (builds what is missing first)
#
# Figures are of the x86_64 build under Wine; the peak memory is the
# resident set of the Wine process, most of which is Wine itself, so the
# difference between the two sizes is what tells.
set -uo pipefail
VT_ROOT=$(cd "$(dirname "$0")/../../.." && pwd)
source "$VT_ROOT/tools/lib.sh"
VT_PACKAGES+=(time)

vt_install_packages || exit 1
vt_build_all || exit 1

budget=98304
target=65536
status=0
echo "Installer image size"
for config in i686 x86_64; do
  image=$VT_BUILD/$config/installer/Installer.exe
  size=$(stat -c %s "$image")
  verdict=
  if [ "$config" = i686 ]; then
    if [ "$size" -lt "$target" ]; then verdict="(under 64 KiB"; else verdict="(64 KiB or more"; fi
    if [ "$size" -le "$budget" ]; then verdict+="; budget $budget: ok)"; else verdict+="; budget $budget: OVER)"; status=1; fi
  fi
  printf '  %-7s %8d bytes %s\n' "$config" "$size" "$verdict"
done

bin=$VT_BUILD/x86_64
trap vt_wine_session_stop EXIT
vt_wine_session_start

work=$VT_BUILD/bench-installer
rm -rf "$work"
mkdir -p "$work"
system32=$WINEPREFIX/drive_c/windows/system32
win() { printf 'Z:%s' "$1"; }

# Runs a Windows program and prints "seconds peak-KiB exit-code".
measure() {
  local out=$work/time.txt
  LC_ALL=ja_JP.UTF-8 /usr/bin/time -o "$out" -f '%e %M' "$VT_WINE" "$@" </dev/null >/dev/null 2>&1
  local rc=$?
  printf '%s %s\n' "$(tr '\n' ' ' <"$out" | awk '{print $(NF-1), $NF}')" "$rc"
}

# Keeps Wine's desktop process running, so that no run pays its start.
LC_ALL=ja_JP.UTF-8 "$VT_WINE" notepad </dev/null >/dev/null 2>&1 &
notepad=$!
sleep 2
echo "no-op start (wine64 cmd /c exit): $(measure cmd /c exit | cut -d' ' -f1) s"

echo
printf '%-8s %-10s %8s %12s %5s\n' module run seconds 'peak KiB' exit
for mib in 1 64; do
  guid=$(printf '{%08X-0000-4000-8000-%012d}' "$mib" "$mib")
  name=vtbench$mib.ocx
  module=$work/$name
  cp "$bin/tests/installer/testcom.dll" "$module"
  # Pad the module to its size; a DLL loads with data after its image.
  head -c $((mib * 1048576 - $(stat -c %s "$module"))) /dev/urandom >>"$module"
  package=$work/bench$mib.exe
  vt_wine "$bin/tools/vtpack.exe" "$(win "$bin/installer/Installer.exe")" \
    "$(win "$VT_ROOT/editor/instbase.ini")" "$(win "$module")" "$(win "$package")" \
    "Vantorel-Init.InstallGUID=$guid" "Vantorel-Init.InstOsVer=000-000-011-110" \
    "Vantorel-Init.InstallType=1" "Vantorel-UnInstall.UnInstallType=1" >/dev/null ||
    { echo "vtpack failed"; exit 1; }
  vt_wine reg add "HKCU\\Software\\Wine\\AppDefaults\\bench$mib.exe" /v Version /d win7 /f >/dev/null
  read -r seconds peak rc < <(measure "$(win "$package")")
  printf '%-8s %-10s %8s %12s %5s\n' "${mib} MiB" install "$seconds" "$peak" "$rc"
  cmp -s "$module" "$system32/$name" || { echo "  installed module differs"; status=1; }
  uninstaller="C:\\Program Files\\HV-Vanto\\$guid\\hvuninst.exe"
  read -r seconds peak rc < <(measure "$uninstaller" "-UnInstall/$guid")
  printf '%-8s %-10s %8s %12s %5s\n' "${mib} MiB" uninstall "$seconds" "$peak" "$rc"
  [ -e "$system32/$name" ] && { echo "  module not removed"; status=1; }
  vt_wine reg delete "HKCU\\Software\\Wine\\AppDefaults\\bench$mib.exe" /f >/dev/null
done
kill "$notepad" 2>/dev/null
wait "$notepad" 2>/dev/null
exit $status
