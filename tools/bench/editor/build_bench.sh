#!/usr/bin/env bash
# Benchmark of the headless build, "Vantorel.exe /build": the wall time and
# peak memory of building the package of one project for modules of 13 KB,
# 4 MiB and 64 MiB (the bulk of the larger ones appended to the test
# module), against a bare start of the same program ("/build" without a
# project, which ends at once). The build and the bare start run in turn,
# fifteen times each; the figures are medians in milliseconds, and the time
# above the bare start is the median of the pairs' differences, which holds
# when the machine's speed drifts.
#
# Targets: under 25 ms above the bare start for the small module, under
# 300 ms above it for 64 MiB, and the peak memory flat in the module size
# (the module is copied and checked in fixed blocks).
#
#   tools/bench/editor/build_bench.sh     (builds what is missing first)
set -uo pipefail
VT_ROOT=$(cd "$(dirname "$0")/../../.." && pwd)
source "$VT_ROOT/tools/lib.sh"
VT_PACKAGES+=(time)

vt_install_packages || exit 1
vt_build_all || exit 1

bin=$VT_BUILD/x86_64
trap vt_wine_session_stop EXIT
vt_wine_session_start

work=$VT_BUILD/bench-build
rm -rf "$work"
mkdir -p "$work/editor" "$work/out"
cp "$bin/dist/Vantorel.exe" "$bin/dist/Installer.exe" "$bin/dist/instbase.ini" "$work/editor/"
win() { printf 'Z:%s' "${1//\//\\}"; }
runs=15

# One run: "milliseconds peak-KiB exit-code".
measure() {
  local out=$work/time.txt start end rc
  start=$(date +%s%N)
  LC_ALL=ja_JP.UTF-8 /usr/bin/time -o "$out" -f '%M' "$VT_WINE" "$@" </dev/null >/dev/null 2>&1
  rc=$?
  end=$(date +%s%N)
  printf '%d %s %d\n' $(((end - start) / 1000000)) "$(tail -n 1 "$out")" "$rc"
}

# Fifteen pairs of a bare start and a run of the command given; prints the
# medians "milliseconds peak-KiB above-bare-ms highest-exit-code".
median_of() { sort -n | sed -n "$(((runs + 1) / 2))p"; }
paired() {
  local i
  : >"$work/pairs.txt"
  for i in $(seq $runs); do
    read -r bare_ms _ _ < <(measure "$work/editor/Vantorel.exe" /build)
    read -r ms peak rc < <(measure "$@")
    echo "$ms $peak $((ms - bare_ms)) $rc" >>"$work/pairs.txt"
  done
  printf '%s %s %s %s\n' "$(cut -d' ' -f1 "$work/pairs.txt" | median_of)" \
    "$(cut -d' ' -f2 "$work/pairs.txt" | median_of)" \
    "$(cut -d' ' -f3 "$work/pairs.txt" | median_of)" \
    "$(cut -d' ' -f4 "$work/pairs.txt" | sort -n | tail -n 1)"
}

measure "$work/editor/Vantorel.exe" /build >/dev/null  # Wine's first start
for i in $(seq $runs); do measure "$work/editor/Vantorel.exe" /build; done >"$work/bare.txt"
bare=$(cut -d' ' -f1 "$work/bare.txt" | median_of)
bare_peak=$(cut -d' ' -f2 "$work/bare.txt" | median_of)
printf '%-22s %8s ms %10s KiB\n' "bare start" "$bare" "$bare_peak"

status=0
small=0 large=0 peaks=()
for size in 13K 4M 64M; do
  module=$work/module_$size.ocx
  cp "$bin/tests/installer/testcom.dll" "$module"
  case $size in
    4M) head -c $((4 * 1048576 - $(stat -c %s "$module"))) /dev/urandom >>"$module" ;;
    64M) head -c $((64 * 1048576 - $(stat -c %s "$module"))) /dev/urandom >>"$module" ;;
  esac
  project=$work/bench_$size.sip
  vt_project_write "$project" "Bench $size" "$(win "$work")" \
    "$(printf '{%08X-0000-4000-8000-000000000000}' "${#size}")" "$(win "$module")" "Bench" \
    "Bench_$size" "$(win "$work/out")"
  read -r ms peak above rc < <(paired "$work/editor/Vantorel.exe" /build "$(win "$project")")
  [ "$rc" -eq 0 ] || { echo "the build of $size ended with $rc"; status=1; }
  printf '%-22s %8s ms %10s KiB   (%+d ms above the bare start)\n' "build, $size module" \
    "$ms" "$peak" "$above"
  peaks+=("$peak")
  case $size in 13K) small=$above ;; 64M) large=$above ;; esac
done

verdict() { if [ "$1" -eq 1 ]; then echo ok; else echo MISSED; fi; }
echo
echo "targets:"
echo "  small module under 25 ms above the bare start: $small ms, $(verdict $((small < 25)))"
echo "  64 MiB module under 300 ms above the bare start: $large ms, $(verdict $((large < 300)))"
spread=$((peaks[2] - peaks[0]))
echo "  peak memory flat in module size (64 MiB less 13 KB): $spread KiB, $(verdict $((spread < 4096)))"
exit $status
