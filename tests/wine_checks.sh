#!/usr/bin/env bash
# Checks the cross-built Windows executable from Linux: the icon resource,
# no DLLs beyond Windows' own, and every transcript plus random sessions
# under wine, with Windows line ends.
#
# usage: wine_checks.sh PATH/TO/quorvast.exe
set -u
exe=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
export WINEDEBUG=-all
# A prefix of the build's own: no dependence on HOME or on an earlier prefix.
export WINEPREFIX=${WINEPREFIX:-$(dirname "$exe")/wine-prefix}
wine=$(command -v wine || command -v wine64)
passed=0 failed=0
check() {  # check NAME COMMAND...: runs one check and counts it
  if "${@:2}"; then passed=$((passed + 1)); else echo "FAILED: $1"; failed=$((failed + 1)); fi
}

work=$(mktemp -d)
trap 'rm -rf "$work"; wineserver -k 2>/dev/null' EXIT

icon_is_registered() {
  wrestool -l "$exe" | grep -q -- "--type=14 --name='MYRESOURCE1'" &&
    wrestool -x -t 14 -n MYRESOURCE1 "$exe" >"$work/group.ico" &&
    icotool -l "$work/group.ico" >"$work/icons" &&
    grep -q -- '--width=16 --height=16 --bit-depth=8' "$work/icons" &&
    grep -q -- '--width=32 --height=32 --bit-depth=8' "$work/icons"
}
only_system_dlls() {
  x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ { print tolower($3) }' >"$work/dlls"
  ! grep -vxE 'kernel32\.dll|msvcrt\.dll|user32\.dll|advapi32\.dll|ntdll\.dll|api-ms-win-.*\.dll' "$work/dlls"
}
check "group icon MYRESOURCE1 with 16x16 and 32x32 8-bit images" icon_is_registered
check "no DLLs beyond Windows' own" only_system_dlls

# One persistent wine server and a warm prefix keep each run well under a
# second. The server needs the prefix folder; the first run fills it.
mkdir -p "$WINEPREFIX"
wineserver -p
"$wine" "$exe" </dev/null >/dev/null 2>&1

export QUORVAST_CRLF=1
while IFS=$'\t' read -r case _; do
  check "transcript $case" bash "$here/run_transcript.sh" "$here/transcripts" "$case" "$wine" "$exe"
done <"$here/transcripts/cases.tsv"
check "random sessions" python3 "$here/differential/random_sessions.py" 300 7 "$wine" "$exe"

echo "wine checks: $passed passed, $failed failed"
[ "$failed" = 0 ]
