#!/usr/bin/env bash
# Checks that a program is 32-bit, of the graphical subsystem, and imports only DLLs that
# every Windows has, so it runs with nothing installed beside it.
set -euo pipefail
exe=$1
dump=$(i686-w64-mingw32-objdump -p "$exe")
grep -q 'Magic.*010b' <<<"$dump" || { echo "not a 32-bit program"; exit 1; }
grep -q 'Subsystem.*00000002' <<<"$dump" || { echo "not a GUI program"; exit 1; }
allowed='^(kernel32|user32|gdi32|comctl32|shlwapi|dbghelp|msvcrt|advapi32|shell32|ole32)\.dll$'
status=0
for dll in $(awk '/DLL Name:/ {print tolower($3)}' <<<"$dump"); do
  if [[ ! $dll =~ $allowed ]]; then echo "imports $dll"; status=1; fi
done
[ $status -eq 0 ] && echo "imports: system DLLs only"
exit $status
