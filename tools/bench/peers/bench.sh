#!/usr/bin/env bash
# Side-by-side benchmark of our package against the same installer made
# with NSIS 3 (64-bit Unicode stubs, no compression), for modules of 13 KB,
# 4 MiB and 64 MiB. Three variants of each installer:
#
#   ours      a project file built with "Vantorel.exe /build"; the package
#             registers the module by starting regsvr32
#   regsvr32  an NSIS script: silent, the module into $SYSDIR, registered
#             with ExecWait regsvr32 /s, an uninstall entry and an
#             uninstaller whose section runs regsvr32 /u /s and deletes the
#             module and the entry
#   RegDLL    the same script with NSIS's in-process RegDLL / UnRegDLL
#
# The modules are the test COM module (its DllRegisterServer records it
# under HKLM\Software\VantorelTest\Registered); the larger ones are built
# here from its source with the bulk in an RCDATA resource of random bytes,
# as real controls carry theirs in the resource section.
#
# Each round builds, installs and uninstalls every variant in turn (ours,
# regsvr32, RegDLL), seven rounds each: package size, build time (makensis
# runs natively, the headless build under Wine), the wall time of a silent
# install and uninstall with Wine's desktop process kept running (a
# background notepad), and the peak resident set (/usr/bin/time %M) of the
# process started (that of a regsvr32 it starts does not show in it); our
# package is run a second time over its own module in place (a reinstall
# of the identical module, which writes nothing). Then
# the cold case, three rounds of an install and an uninstall of each: the
# desktop process is ended and gone before each run. Every run is checked:
# after the install the module in the system folder is byte-identical,
# registered and has its uninstall entry; after the uninstall all three are
# gone. A failed check is printed and makes the exit code non-zero.
#
# The table gives the median with min-max, and the ratios of our median to
# each NSIS variant's (below 1: ours is smaller or faster).
#
#   tools/bench/peers/bench.sh     (builds what is missing first)
#
# VT_PEERS_ROUNDS and VT_PEERS_COLD_ROUNDS change the number of rounds
# (7 and 3).
set -uo pipefail
VT_ROOT=$(cd "$(dirname "$0")/../../.." && pwd)
source "$VT_ROOT/tools/lib.sh"
VT_PACKAGES+=(time nsis)

rounds=${VT_PEERS_ROUNDS:-7}
cold_rounds=${VT_PEERS_COLD_ROUNDS:-3}

vt_install_packages || exit 1
vt_build_all || exit 1

bin=$VT_BUILD/x86_64
testcom=$bin/tests/installer/testcom.dll
for f in "$bin/dist/Vantorel.exe" "$bin/dist/Installer.exe" "$bin/dist/instbase.ini" "$testcom"; do
  [ -f "$f" ] || { echo "missing $f"; exit 1; }
done

work=$VT_BUILD/bench-peers
rm -rf "$work"
mkdir -p "$work/editor" "$work/modules" "$work/src" "$work/nsis" "$work/data"
cp "$bin/dist/Vantorel.exe" "$bin/dist/Installer.exe" "$bin/dist/instbase.ini" "$work/editor/"
win() { printf 'Z:%s' "${1//\//\\}"; }

sizes=(13K 4M 64M)
variants=(ours regsvr32 regdll)
declare -A target_bytes=([4M]=$((4 * 1048576)) [64M]=$((64 * 1048576)))
declare -A variant_title=([ours]=ours [regsvr32]=NSIS-regsvr32 [regdll]=NSIS-RegDLL)

# The modules. The larger ones: the test module's source and an RCDATA
# resource sized (in a second pass) so that the DLL has the target size.
module_build() {  # SIZE OUT
  local size=$1 out=$2 dir=$work/src/$1 target=${target_bytes[$1]} bulk have
  mkdir -p "$dir"
  bulk=$((target - 16384))
  head -c "$bulk" /dev/urandom >"$dir/bulk.bin"
  printf '1 RCDATA "bulk.bin"\n' >"$dir/bulk.rc"
  local pass
  for pass in 1 2; do
    (cd "$dir" && x86_64-w64-mingw32-windres -i bulk.rc -o bulk.o &&
      x86_64-w64-mingw32-g++ -O2 -shared -s -static-libgcc -o "$out" \
        "$VT_ROOT/tests/installer/modules/testcom.cpp" bulk.o) || return 1
    have=$(stat -c %s "$out")
    [ "$have" -eq "$target" ] && break
    [ "$have" -lt "$target" ] && head -c $((target - have)) /dev/urandom >>"$dir/bulk.bin"
    [ "$have" -gt "$target" ] && truncate -s $((bulk - (have - target))) "$dir/bulk.bin"
    bulk=$(stat -c %s "$dir/bulk.bin")
  done
  rm -f "$dir/bulk.o"
}

declare -A module_name module_path
vt_log "making the modules"
for size in "${sizes[@]}"; do
  name=vtpeer$(tr 'A-Z' 'a-z' <<<"$size").ocx
  module_name[$size]=$name
  module_path[$size]=$work/modules/$name
  if [ "$size" = 13K ]; then
    cp "$testcom" "${module_path[$size]}"
  else
    module_build "$size" "${module_path[$size]}" || { echo "the $size module failed to build"; exit 1; }
  fi
  printf '  %-4s %s %10d bytes\n' "$size" "$name" "$(stat -c %s "${module_path[$size]}")"
done

# The NSIS script of both NSIS variants (REGDLL defined: RegDLL/UnRegDLL).
# A 64-bit installer sees the 64-bit system folder and registry as they
# are; a 32-bit build of the same script turns the redirection off.
cat >"$work/nsis/peer.nsi" <<'EOF'
Unicode true
Target amd64-unicode
SetCompress off
SilentInstall silent
SilentUnInstall silent
RequestExecutionLevel admin
!include x64.nsh
Name "Peer ${MODNAME}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\VantorelPeer\${GUID}"
!define UNKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${GUID}"

!macro PeerView
  !if ${NSIS_PTR_SIZE} > 4
    SetRegView 64
  !else
    ${If} ${RunningX64}
      ${DisableX64FSRedirection}
      SetRegView 64
    ${EndIf}
  !endif
!macroend
Function .onInit
  !insertmacro PeerView
FunctionEnd
Function un.onInit
  !insertmacro PeerView
FunctionEnd

Section
  SetOutPath "$SYSDIR"
  File "/oname=${MODNAME}" "${MODPATH}"
!ifdef REGDLL
  RegDLL "$SYSDIR\${MODNAME}"
!else
  ExecWait '"$SYSDIR\regsvr32.exe" /s "$SYSDIR\${MODNAME}"'
!endif
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninst.exe"
  WriteRegStr HKLM "${UNKEY}" "DisplayName" "Peer ${MODNAME}"
  WriteRegStr HKLM "${UNKEY}" "DisplayVersion" "1.0.1"
  WriteRegStr HKLM "${UNKEY}" "Publisher" "Vantorel bench"
  WriteRegStr HKLM "${UNKEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNKEY}" "UninstallString" '"$INSTDIR\uninst.exe" /S'
SectionEnd

Section "Uninstall"
!ifdef REGDLL
  UnRegDLL "$SYSDIR\${MODNAME}"
!else
  ExecWait '"$SYSDIR\regsvr32.exe" /u /s "$SYSDIR\${MODNAME}"'
!endif
  Delete "$SYSDIR\${MODNAME}"
  DeleteRegKey HKLM "${UNKEY}"
SectionEnd
EOF

desktop_pids() {  # Wine's desktop process(es) of this prefix
  local f p
  for f in $(grep -las 'explorer\.exe' /proc/[0-9]*/cmdline); do
    p=${f%/cmdline}
    tr '\0' '\n' 2>/dev/null <"$p/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "${p#/proc/}"
  done
}

notepad=
warm_start() {
  LC_ALL=ja_JP.UTF-8 "$VT_WINE" notepad </dev/null >/dev/null 2>&1 &
  notepad=$!
  local i
  for i in $(seq 100); do [ -n "$(desktop_pids)" ] && break; sleep 0.1; done
  sleep 0.5
}
warm_stop() {
  [ -n "$notepad" ] || return 0
  kill "$notepad" 2>/dev/null
  wait "$notepad" 2>/dev/null
  notepad=
}
# Waits until no desktop process is left (it lingers after its last window).
cold_wait() {
  local i
  for i in $(seq 300); do [ -z "$(desktop_pids)" ] && return 0; sleep 0.05; done
  echo "  the desktop process did not end"
  return 1
}

cleanup() {
  warm_stop
  vt_wine_session_stop
}
trap cleanup EXIT
fresh_prefix=
[ -f "$VT_WINEPREFIX/.vantorel-ready" ] || fresh_prefix=1
vt_wine_session_start
if [ -n "$fresh_prefix" ]; then
  # In the wineserver session that created the prefix, every start of
  # Wine's desktop process waits 10 s for the RPC service and fails
  # (measured): the cold runs need a server of their own.
  vt_wine_session_stop
  wineserver -w </dev/null >/dev/null 2>&1
  vt_wine_session_start
fi

system32=$WINEPREFIX/drive_c/windows/system32
registered_key='HKLM\Software\VantorelTest\Registered'
# Wine reports Windows 10 unless told otherwise; the project allows
# Windows 2003 to 2008 R2.
for size in "${sizes[@]}"; do
  vt_wine reg add "HKCU\\Software\\Wine\\AppDefaults\\PeerOurs_$size.exe" /v Version /t REG_SZ /d win7 /f >/dev/null
done
vt_wine reg add 'HKCU\Software\Wine\AppDefaults\hvuninst.exe' /v Version /t REG_SZ /d win7 /f >/dev/null


# Per size and variant: the GUID, the package, how it is built, installed
# and uninstalled.
declare -A guid package build_cmd uninstaller uninstall_cmd
for s in "${!sizes[@]}"; do
  size=${sizes[$s]}
  for v in "${!variants[@]}"; do
    variant=${variants[$v]}
    key=$size.$variant
    guid[$key]=$(printf '{7E3A%04X-%04X-4000-8000-000000000000}' "$s" "$v")
    case $variant in
      ours)
        setup=PeerOurs_$size
        mkdir -p "$work/out-$size"
        project=$work/peer_$size.sip
        vt_project_write "$project" "Peer $size" "$(win "$work")" "${guid[$key]}" \
          "$(win "${module_path[$size]}")" "Peer" "$setup" "$(win "$work/out-$size")"
        package[$key]=$work/out-$size/$setup.exe
        build_cmd[$key]="$VT_WINE|$work/editor/Vantorel.exe|/build|$(win "$project")"
        uninstaller[$key]="Program Files/HV-Vanto/${guid[$key]}/hvuninst.exe"
        uninstall_cmd[$key]="$VT_WINE|C:\\Program Files\\HV-Vanto\\${guid[$key]}\\hvuninst.exe|-UnInstall/${guid[$key]}"
        ;;
      regsvr32 | regdll)
        package[$key]=$work/nsis/Peer_${size}_$variant.exe
        defines="-DMODNAME=${module_name[$size]}|-DMODPATH=${module_path[$size]}|-DOUTFILE=${package[$key]}|-DGUID=${guid[$key]}"
        [ "$variant" = regdll ] && defines+="|-DREGDLL"
        build_cmd[$key]="makensis|-V1|$defines|$work/nsis/peer.nsi"
        uninstaller[$key]="Program Files/VantorelPeer/${guid[$key]}/uninst.exe"
        # "_?=" runs the uninstaller in place, so that its process is the
        # one that does the work (otherwise it starts a copy of itself and
        # ends). It takes the rest of the command line unquoted, and Wine
        # quotes an argument with a space: two arguments, split at the
        # space, give the command line "_?=C:\Program Files\...".
        uninstall_cmd[$key]="$VT_WINE|C:\\Program Files\\VantorelPeer\\${guid[$key]}\\uninst.exe|/S|_?=C:\\Program|Files\\VantorelPeer\\${guid[$key]}"
        ;;
    esac
  done
done


# One run of a command given as "a|b|c": prints "milliseconds peak-KiB exit-code".
measure() {
  local cmd start end rc
  IFS='|' read -r -a cmd <<<"$1"
  start=$(date +%s%N)
  LC_ALL=ja_JP.UTF-8 /usr/bin/time -o "$work/time.txt" -f '%M' "${cmd[@]}" </dev/null >"$work/run.log" 2>&1
  rc=$?
  end=$(date +%s%N)
  printf '%d %s %d\n' $(((end - start) / 1000000)) "$(tail -n 1 "$work/time.txt")" "$rc"
}

failures=0
fail() { echo "  FAILED  $*"; failures=$((failures + 1)); }
reg_has() { vt_wine reg query "$@" >/dev/null 2>&1; }

# The state after an install (want=in) or an uninstall (want=out).
verify() {  # KEY WANT WHAT
  local key=$1 want=$2 what=$3 size=${1%%.*}
  local name=${module_name[$size]} un_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\${guid[$1]}"
  if [ "$want" = in ]; then
    cmp -s "${module_path[$size]}" "$system32/$name" || fail "$what: the module in the system folder is missing or differs"
    reg_has "$registered_key" /v "$name" || fail "$what: the module is not registered"
    reg_has "$un_key" /v UninstallString || fail "$what: no uninstall entry"
    [ -f "$WINEPREFIX/drive_c/${uninstaller[$1]}" ] || fail "$what: no uninstaller"
  else
    [ ! -e "$system32/$name" ] || fail "$what: the module is still in the system folder"
    ! reg_has "$registered_key" /v "$name" || fail "$what: the module is still registered"
    ! reg_has "$un_key" || fail "$what: the uninstall entry is still there"
  fi
}
# Leaves nothing of a module behind after a failed run, so that the next
# run starts from a clean system.
scrub() {
  local size=${1%%.*}
  rm -f "$system32/${module_name[$size]}"
  vt_wine reg delete "$registered_key" /v "${module_name[$size]}" /f >/dev/null 2>&1
  vt_wine reg delete "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\${guid[$1]}" /f >/dev/null 2>&1
}

record() { echo "$3" >>"$work/data/$1.$2"; }  # KEY MEASURE VALUE

# One build, install and uninstall of a variant; COLD: end the desktop
# process before each of the install and the uninstall.
cycle() {  # KEY cold|warm
  local key=$1 mode=$2 ms peak rc before=$failures
  local title="${key%%.*} ${variant_title[${key#*.}]}"
  if [ "$mode" = warm ]; then
    read -r ms peak rc < <(measure "${build_cmd[$key]}")
    [ "$rc" -eq 0 ] || { fail "$title: the build ended with $rc"; sed 's/^/    /' "$work/run.log"; return; }
    record "$key" build_ms "$ms"
    record "$key" build_kib "$peak"
    record "$key" package "$(stat -c %s "${package[$key]}")"
  fi

  [ "$mode" = cold ] && { cold_wait || failures=$((failures + 1)); }
  read -r ms peak rc < <(measure "$VT_WINE|$(win "${package[$key]}")")
  [ "$rc" -eq 0 ] || fail "$title: the install ended with $rc"
  record "$key" "install_${mode}_ms" "$ms"
  record "$key" "install_${mode}_kib" "$peak"
  verify "$key" in "$title install ($mode)"
  [ "$mode" = warm ] && record "$key" uninstaller "$(stat -c %s "$WINEPREFIX/drive_c/${uninstaller[$key]}" 2>/dev/null || echo 0)"
  if [ "$mode" = warm ] && [ "${key#*.}" = ours ]; then
    read -r ms peak rc < <(measure "$VT_WINE|$(win "${package[$key]}")")
    [ "$rc" -eq 0 ] || fail "$title: the reinstall ended with $rc"
    record "$key" reinstall_warm_ms "$ms"
    verify "$key" in "$title reinstall"
  fi

  [ "$mode" = cold ] && { cold_wait || failures=$((failures + 1)); }
  read -r ms peak rc < <(measure "${uninstall_cmd[$key]}")
  [ "$rc" -eq 0 ] || fail "$title: the uninstall ended with $rc"
  record "$key" "uninstall_${mode}_ms" "$ms"
  record "$key" "uninstall_${mode}_kib" "$peak"
  verify "$key" out "$title uninstall ($mode)"
  [ "$failures" -eq "$before" ] || scrub "$key"
}

warm_start
# What every run pays, for reading the table: a bare start of a program
# (the editor's "/build" without a project ends at once) and a run of
# regsvr32 on the small module, registering and unregistering in turn.
measure "$VT_WINE|$work/editor/Vantorel.exe|/build" >/dev/null  # Wine's first start
small_module=$(win "${module_path[13K]}")
for round in $(seq "$rounds"); do
  read -r ms _ < <(measure "$VT_WINE|$work/editor/Vantorel.exe|/build")
  record context bare "$ms"
  read -r ms _ rc < <(measure "$VT_WINE|regsvr32|/s|$small_module")
  [ "$rc" -eq 0 ] || fail "regsvr32 /s of the small module ended with $rc"
  record context regsvr32 "$ms"
  read -r ms _ rc < <(measure "$VT_WINE|regsvr32|/u|/s|$small_module")
  [ "$rc" -eq 0 ] || fail "regsvr32 /u /s of the small module ended with $rc"
done
! reg_has "$registered_key" /v "${module_name[13K]}" || fail "regsvr32 /u left the small module registered"
# A first, unrecorded pass of the small module loads what every run reads.
for variant in "${variants[@]}"; do
  key=13K.$variant
  measure "${build_cmd[$key]}" >/dev/null
  measure "$VT_WINE|$(win "${package[$key]}")" >/dev/null
  measure "${uninstall_cmd[$key]}" >/dev/null
  verify "$key" out "13K ${variant_title[$variant]} warm-up" || true
done
[ "$failures" -eq 0 ] || { echo "the warm-up failed"; exit 1; }

vt_log "$rounds rounds, warm"
started=$(date +%s)
for round in $(seq "$rounds"); do
  for size in "${sizes[@]}"; do
    for variant in "${variants[@]}"; do cycle "$size.$variant" warm; done
  done
  echo "  round $round done ($(($(date +%s) - started)) s)"
done
warm_stop
vt_log "$cold_rounds round(s), cold"
for round in $(seq "$cold_rounds"); do
  for size in "${sizes[@]}"; do
    for variant in "${variants[@]}"; do cycle "$size.$variant" cold; done
  done
done

for size in "${sizes[@]}"; do
  vt_wine reg delete "HKCU\\Software\\Wine\\AppDefaults\\PeerOurs_$size.exe" /f >/dev/null 2>&1
done
vt_wine reg delete 'HKCU\Software\Wine\AppDefaults\hvuninst.exe' /f >/dev/null 2>&1

# "median min max" of a measure's values.
stats() {
  local f=$work/data/$1.$2 n
  [ -s "$f" ] || { echo "- - -"; return; }
  n=$(wc -l <"$f")
  sort -n "$f" | awk -v n="$n" '{v[NR]=$1} END {
    m = (n % 2) ? v[(n+1)/2] : (v[n/2] + v[n/2+1]) / 2
    printf "%d %d %d\n", m, v[1], v[n] }'
}
cell() {  # median (min-max), or the value alone when all are equal
  if [ "$1" = - ]; then echo -; elif [ "$2" = "$3" ]; then echo "$1"; else echo "$1 ($2-$3)"; fi
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "-" || b == "-" || b == 0) print "-"; else printf "%.2f\n", a / b }'; }

echo
echo "Vantorel against NSIS $(makensis -VERSION 2>/dev/null), $("$VT_WINE" --version 2>/dev/null); $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "$(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)"
echo "medians of $rounds warm rounds with (min-max), cold: $cold_rounds round(s); times in ms, sizes in bytes,"
echo "memory: peak resident set of the process started, KiB"
read -r bare bmin bmax < <(stats context bare)
read -r r32 rmin rmax < <(stats context regsvr32)
echo "for reference, under Wine: a bare program start $(cell "$bare" "$bmin" "$bmax") ms, regsvr32 /s of the 13K module $(cell "$r32" "$rmin" "$rmax") ms"
echo
measures=(package uninstaller build_ms build_kib install_warm_ms install_warm_kib
  reinstall_warm_ms uninstall_warm_ms uninstall_warm_kib install_cold_ms uninstall_cold_ms)
declare -A measure_title=([package]="package bytes" [uninstaller]="uninstaller bytes"
  [build_ms]="build ms" [build_kib]="build KiB" [install_warm_ms]="install ms"
  [install_warm_kib]="install KiB" [reinstall_warm_ms]="reinstall ms"
  [uninstall_warm_ms]="uninstall ms"
  [uninstall_warm_kib]="uninstall KiB" [install_cold_ms]="install cold ms"
  [uninstall_cold_ms]="uninstall cold ms")
format='%-4s %-18s %-26s %-26s %-26s %9s %9s\n'
printf "$format" module measure ours NSIS-regsvr32 NSIS-RegDLL ours/r32 ours/Reg
for size in "${sizes[@]}"; do
  for m in "${measures[@]}"; do
    read -r om omin omax < <(stats "$size.ours" "$m")
    read -r rm rmin rmax < <(stats "$size.regsvr32" "$m")
    read -r dm dmin dmax < <(stats "$size.regdll" "$m")
    printf "$format" "$size" "${measure_title[$m]}" "$(cell "$om" "$omin" "$omax")" \
      "$(cell "$rm" "$rmin" "$rmax")" "$(cell "$dm" "$dmin" "$dmax")" \
      "$(ratio "$om" "$rm")" "$(ratio "$om" "$dm")"
  done
  echo
done

# The targets: a silent install at most 0.8 times NSIS's regsvr32 variant
# at every size and 0.65 times at 64 MiB; the reinstall of the identical
# module at least twice as fast as a first install. Each ratio of the
# medians, and of the fastest runs, which the noise of a shared machine can
# only make slower.
verdict() { awk -v r="$1" -v l="$2" -v d="$3" 'BEGIN { if (r == "-") print "-"; else if (d == "max") print (r <= l) ? "met" : "MISSED"; else print (r >= l) ? "met" : "MISSED" }'; }
echo "targets (ratio of medians; of the fastest runs):"
for size in "${sizes[@]}"; do
  read -r om omin _ < <(stats "$size.ours" install_warm_ms)
  read -r rm rmin _ < <(stats "$size.regsvr32" install_warm_ms)
  read -r am amin _ < <(stats "$size.ours" reinstall_warm_ms)
  limit=0.80
  [ "$size" = 64M ] && limit=0.65
  a=$(ratio "$om" "$rm") b=$(ratio "$omin" "$rmin") c=$(ratio "$om" "$am") d=$(ratio "$omin" "$amin")
  printf '  %-4s install / NSIS regsvr32 %s; %s (at most %s: %s, %s)\n' "$size" "$a" "$b" "$limit" \
    "$(verdict "$a" "$limit" max)" "$(verdict "$b" "$limit" max)"
  printf '  %-4s first install / reinstall %s; %s (at least 2: %s, %s)\n' "$size" "$c" "$d" \
    "$(verdict "$c" 2 min)" "$(verdict "$d" 2 min)"
done
echo

if [ "$failures" -ne 0 ]; then
  vt_log "peers: $failures failed checks"
  exit 1
fi
vt_log "peers: every run installed, registered and removed its module"
