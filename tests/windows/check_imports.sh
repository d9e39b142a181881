#!/usr/bin/env bash
# Checks that a program is of the expected word size (PE32 or PE32+), of the graphical
# subsystem, and imports only DLLs that Windows always takes from its own folder, so it runs
# with nothing installed beside it and a DLL of the same name put beside it is never loaded
# in its place; and that its manifest names the matching processor architecture, which Windows
# (unlike Wine) checks before it starts the program.   check_imports.sh EXE OBJDUMP pe32|pe32+
set -euo pipefail
exe=$1 objdump=$2 format=$3
dump=$("$objdump" -p "$exe")
case $format in
  pe32) magic=010b arch=x86 ;;
  pe32+) magic=020b arch=amd64 ;;
  *) echo "unknown format $format"; exit 2 ;;
esac
grep -q "Magic.*$magic" <<<"$dump" || { echo "not a $format program"; exit 1; }
grep -q 'Subsystem.*00000002' <<<"$dump" || { echo "not a GUI program"; exit 1; }
archs=$(grep -a -o 'processorArchitecture="[^"]*"' "$exe" | sort -u)
[ "$archs" = "processorArchitecture=\"$arch\"" ] || { echo "manifest names: $archs, not $arch"; exit 1; }
# Allowed: KnownDLLs of Windows 7 and later (the system maps them from System32 whatever lies
# beside the program): kernel32, user32, gdi32, advapi32, shell32, ole32, oleaut32, msvcrt,
# shlwapi, comdlg32; and comctl32, which the manifest takes side by side from the system's
# store. Not dbghelp and the like: Windows would load a copy beside the program first.
allowed='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|msvcrt|shlwapi|comdlg32|comctl32)\.dll$'
status=0
for dll in $(awk '/DLL Name:/ {print tolower($3)}' <<<"$dump"); do
  if [[ ! $dll =~ $allowed ]]; then echo "imports $dll"; status=1; fi
done
[ $status -eq 0 ] && echo "imports: $format, GUI, system DLLs only"
exit $status
