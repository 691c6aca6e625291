#!/usr/bin/env bash
# Checks that each Installer image given imports, at load time, only from
# libraries that the system loads from its own folder whatever the search
# order (its known DLLs): an elevated program started from a download
# folder must not pull in a library planted beside it at load time. And
# only from kernel32, advapi32 and msvcrt: the window system and COM are
# delay-loaded, so that a silent run never loads them.
#   imports_check.sh OBJDUMP IMAGE...
# An IMAGE written "?PATH" is checked when it exists (the i686 build is
# made by tools/test, not by this configuration).
set -uo pipefail
objdump=$1
shift
allowed=' kernel32.dll advapi32.dll msvcrt.dll '
status=0
for image in "$@"; do
  if [ "${image#\?}" != "$image" ]; then
    image=${image#\?}
    [ -f "$image" ] || continue
  fi
  [ -f "$image" ] || { echo "missing: $image"; status=1; continue; }
  dlls=$("$objdump" -p "$image" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
  [ -n "$dlls" ] || { echo "$image: no import table found"; status=1; continue; }
  for dll in $dlls; do
    case "$allowed" in
      *" $dll "*) ;;
      *) echo "$image imports $dll at load time"; status=1 ;;
    esac
  done
  echo "$image imports:" $dlls
done
exit $status
