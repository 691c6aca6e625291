#!/usr/bin/env bash
# Two releases of the checked-out commit, each a clean tree built in a
# folder of its own (tools/release), give byte-identical archives; and
# nothing of the folders they were built in, or of this checkout's, is in
# the programs.
#
#   reproducible_test.sh <scratch folder>
#
# Skipped (77) where the checkout is no git checkout: a release is made
# from a commit.
set -uo pipefail
VT_ROOT=$(cd "$(dirname "$0")/../.." && pwd)
work=$(realpath -m "$1")

git -C "$VT_ROOT" rev-parse --verify HEAD >/dev/null 2>&1 ||
  { echo "skipped: $VT_ROOT is no git checkout"; exit 77; }
rm -rf "$work"
mkdir -p "$work"
for run in first second; do
  echo "== release $run"
  VT_RELEASE_WORK=$work/$run/work "$VT_ROOT/tools/release" "$work/$run/out" >"$work/$run.log" 2>&1
  status=$?
  grep -E '^(==|archive|size|sha256)' "$work/$run.log"
  [ $status -eq 0 ] || { tail -n 40 "$work/$run.log"; echo "FAILED  tools/release ended with $status"; exit 1; }
done

first=$(ls "$work"/first/out/Vantorel-*-win32.zip)
second=$(ls "$work"/second/out/Vantorel-*-win32.zip)
failures=0
if cmp "$first" "$second"; then
  echo "ok      the two archives are byte-identical ($(stat -c %s "$first") bytes)"
else
  echo "FAILED  the two archives differ; the entries that differ:"
  failures=1
  for run in first second; do
    mkdir -p "$work/$run/unpacked"
    (cd "$work/$run/unpacked" && LC_ALL=C.UTF-8 unzip -q "$work/$run/out/"*.zip)
  done
  diff -r "$work/first/unpacked" "$work/second/unpacked"
  cmp -l "$work/first/work/build/i686/dist/Vantorel.exe" "$work/second/work/build/i686/dist/Vantorel.exe" | head
fi

# The programs as shipped, searched for the build folders and this
# checkout, as narrow and as UTF-16 text.
mkdir -p "$work/shipped"
mapfile -t programs < <(LC_ALL=C.UTF-8 unzip -Z -1 "$first" | grep -E '\.(exe|com)$')
(cd "$work/shipped" && LC_ALL=C.UTF-8 unzip -q "$first" "${programs[@]}")
if /usr/bin/python3 - "$work" "$VT_ROOT" "$work/shipped"/* <<'EOF'
import sys
folders = sys.argv[1:3]
found = False
for program in sys.argv[3:]:
    data = open(program, "rb").read()
    for folder in folders:
        for text in (folder.encode(), folder.encode("utf-16-le")):
            if text in data:
                print("%s holds %s" % (program, folder))
                found = True
sys.exit(found)
EOF
then
  echo "ok      no build folder or checkout path in the programs"
else
  echo "FAILED  a path of the build is in the programs"
  failures=$((failures + 1))
fi
[ "$failures" -eq 0 ] && rm -rf "$work"
exit "$failures"
