#!/usr/bin/env bash
# The program runs from its folder on any Windows: it may import only DLLs
# that every system has, plus Direct3D 9 and D3DX 9. A MinGW runtime DLL, a
# Lua DLL or a debug runtime here would make it fail to start elsewhere.
#
#     imports_test.sh <game.exe> [objdump]
set -euo pipefail
game="$1"
objdump="${2:-x86_64-w64-mingw32-objdump}"

allowed=" kernel32.dll user32.dll gdi32.dll advapi32.dll msvcrt.dll ucrtbase.dll d3d9.dll d3dx9_43.dll "
imports=$("$objdump" -p "$game" | awk '/DLL Name:/ { print tolower($3) }')
[ -n "$imports" ] || { echo "FAIL: no imports found in $game"; exit 1; }

status=0
for dll in $imports; do
  case "$allowed" in
    *" $dll "*) ;;
    api-ms-win-crt-*) ;;
    *) echo "FAIL: $game imports $dll"; status=1 ;;
  esac
done
for required in d3d9.dll d3dx9_43.dll; do
  grep -qx "$required" <<<"$imports" || { echo "FAIL: $required is not imported"; status=1; }
done
[ "$status" = 0 ] && echo "PASS: $(echo $imports)"
exit "$status"
