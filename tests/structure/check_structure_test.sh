#!/usr/bin/env bash
# tools/check-structure on a copy of the checkout: clean as it stands, and
# failing for each kind of violation planted where it reads.
set -uo pipefail
VT_ROOT=$(cd "$(dirname "$0")/../.." && pwd)
check=$VT_ROOT/tools/check-structure
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0

fresh() {  # a copy of the product's folders and the README
  rm -rf "$scratch/tree" && mkdir "$scratch/tree"
  cp -r "$VT_ROOT"/{common,package,installer,editor,README.md} "$scratch/tree/"
}
expect() {  # expect WHAT STATUS PATTERN: the check's status and a line of its output
  local what=$1 status=$2 pattern=$3 output rc
  output=$("$check" "$scratch/tree" 2>&1); rc=$?
  if [ "$rc" = "$status" ] && grep -qE -- "$pattern" <<<"$output"; then
    echo "ok      $what"
  else
    echo "FAILED  $what (status $rc, expected $status and /$pattern/)"; echo "$output" | sed 's/^/    /'
    failures=$((failures + 1))
  fi
}

fresh
expect "the checkout as it stands" 0 ': none$'

fresh
printf '\nstatic DWORD Probe(const wchar_t* p) { return GetFileAttributesW(p); }\n' >>"$scratch/tree/installer/checks.cpp"
expect "a direct GetFileAttributesW outside common/" 1 '^installer/checks.cpp:[0-9]+: GetFileAttributesW'

fresh
printf '\nstatic void Probe() { SetFilePointer(0, 0, 0, 0); }\n' >>"$scratch/tree/package/payload.cpp"
expect "a direct SetFilePointer in the package" 1 '^package/payload.cpp:[0-9]+: SetFilePointer:'

fresh
cat >>"$scratch/tree/editor/commands.cpp" <<'CODE'
// CreateProcessW in a comment and "MoveFileExW(" in a string are not calls.
static const char* kProbe = "MoveFileExW(a, b, 0)";
static void Later(const wchar_t* a) { MoveFileExW(a, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT); }
static void Now(const wchar_t* a, const wchar_t* b) {
  MoveFileExW(a, b,
              MOVEFILE_REPLACE_EXISTING);
}
CODE
expect "a replacing MoveFileExW over two lines, not the comment, string or restart" 1 \
  '^editor/commands.cpp:[0-9]+: MoveFileExW'
n=$("$check" "$scratch/tree" | grep -c MoveFileExW)
[ "$n" = 1 ] && echo "ok      only the replacing call is reported" ||
  { echo "FAILED  $n MoveFileExW reports, expected 1"; failures=$((failures + 1)); }

fresh
sed -i '0,/#include/s//#include "editor_state.h"\n#include/' "$scratch/tree/editor/project/project_list.cpp"
expect "the data layer including a header of the program" 1 \
  '^editor/project/project_list.cpp:[0-9]+: includes "editor_state.h"'

fresh
echo '// new' >"$scratch/tree/installer/unlisted.cpp"
expect "a product file the table of concerns does not name" 1 'does not name installer/unlisted.cpp'

exit $((failures > 0))
