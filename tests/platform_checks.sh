#!/usr/bin/env bash
# Checks a cross-built program on this machine through its runner: wine for
# Windows, qemu-user for the other Linux architectures, node for the
# WebAssembly console program, and chromium driven through the web page
# (tests/browser/run_page.py). Every transcript and random sessions run as
# for the native program, with the runner as the command prefix; then what
# the platform's file must be (static for its architecture; for Windows, the
# icon and no DLLs beyond Windows' own). With the Windows installer, the
# transcripts run from the program it installs, and an upgrade and an
# uninstall follow; the page adds its own modes, load failures, axe-core and
# Lighthouse.
#
# usage: platform_checks.sh PLATFORM PATH/TO/PROGRAM [PATH/TO/INSTALLER.msi]
# PLATFORM: windows, linux-aarch64, linux-armhf, linux-i686, node, or web
# (where PROGRAM is the page's folder)
set -u
platform=$1
exe=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
passed=0 failed=0
check() {  # check NAME COMMAND...: runs one check and counts it
  if "${@:2}"; then passed=$((passed + 1)); else echo "FAILED: $1"; failed=$((failed + 1)); fi
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sessions=300

is_static() {  # is_static ARCHITECTURE-AS-FILE-NAMES-IT
  file -L "$exe" | grep -q "$1.*statically linked"
}
icon_is_registered() {
  wrestool -l "$exe" | grep -q -- "--type=14 --name='MYRESOURCE1'" &&
    wrestool -x -t 14 -n MYRESOURCE1 "$exe" >"$work/group.ico" &&
    icotool -l "$work/group.ico" >"$work/icons" &&
    grep -q -- '--width=16 --height=16 --bit-depth=8' "$work/icons" &&
    grep -q -- '--width=32 --height=32 --bit-depth=8' "$work/icons"
}
# In a terminal, wine gives the program a console of its own, as a shortcut
# does on Windows: after a complaint the window is held until Enter.
held_until_enter() {
  local tmux=(tmux -L "quorvast-check-$$") shows
  shows() { for _ in $(seq 60); do "${tmux[@]}" capture-pane -p | grep -qF "$1" && return 0; sleep 0.25; done; return 1; }
  "${tmux[@]}" new-session -d -x 80 -y 40 "$(printf '%q ' "${runner[@]}" "$exe"); echo \"exit status \$?\"; sleep 60"
  shows "Type name" && "${tmux[@]}" send-keys Vesta Enter abc Enter && shows "Press Enter to close this window." &&
    sleep 1 && ! "${tmux[@]}" capture-pane -p | grep -q "exit status" && "${tmux[@]}" send-keys Enter && shows "exit status 1"
  local held=$?
  "${tmux[@]}" kill-session
  return $held
}
only_system_dlls() {
  x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ { print tolower($3) }' >"$work/dlls"
  ! grep -vxE 'kernel32\.dll|msvcrt\.dll|user32\.dll|advapi32\.dll|ntdll\.dll|api-ms-win-.*\.dll' "$work/dlls"
}

case $platform in
  windows)
    export WINEDEBUG=-all
    # A prefix and server of the build's own: no dependence on HOME or on an
    # earlier prefix, and no other wine server touched. The server needs the
    # prefix folder; the first run fills it, and a warm server keeps each
    # later run well under a second.
    export WINEPREFIX=$(dirname "$exe")/wine-prefix
    mkdir -p "$WINEPREFIX"
    trap 'rm -rf "$work"; wineserver -k 2>/dev/null' EXIT  # -k reaches only this prefix's server
    wineserver -p
    runner=("$(command -v wine || command -v wine64)")
    "${runner[@]}" "$exe" </dev/null >/dev/null 2>&1
    export QUORVAST_CRLF=1
    check "group icon MYRESOURCE1 with 16x16 and 32x32 8-bit images" icon_is_registered
    check "no DLLs beyond Windows' own" only_system_dlls
    if [ $# -ge 3 ]; then  # the installer: the transcripts run from the installed program
      msi=$(realpath "$3") built=$exe exe="$WINEPREFIX/drive_c/Program Files/Quorvast/quorvast.exe"
      "${runner[@]}" msiexec /x "$msi" /qn  # what a run cut short may have left
      check "the installer installs" "${runner[@]}" msiexec /i "$msi" /qn
      check "README.txt and LICENSE.txt beside quorvast.exe" test -f "${exe%/*}/README.txt" -a -f "${exe%/*}/LICENSE.txt"
      check "a Start-menu shortcut to it" bash -c "find '$WINEPREFIX/drive_c' -name Quorvast.lnk -path '*Start Menu*' |
        grep -q . && strings \"\$(find '$WINEPREFIX/drive_c' -name Quorvast.lnk)\" | grep -qxF 'C:\\Program Files\\Quorvast\\quorvast.exe'"
      check "a complaint in a console of its own waits for Enter" held_until_enter
    fi ;;
  linux-aarch64) runner=(qemu-aarch64); check "static for aarch64" is_static "ARM aarch64" ;;
  linux-armhf) runner=(qemu-arm); check "static for 32-bit ARM, hard float" is_static "ARM, EABI5" ;;
  linux-i686) runner=(qemu-i386); check "static for i386" is_static "Intel 80386" ;;
  node) runner=(node) ;;
  # Typed by a user into the page: random sessions are mostly bytes nobody
  # can type, so only the transcripts run, those a person can type.
  web) runner=(/usr/bin/python3 "$here/browser/run_page.py") sessions=0
    check "the page loads nothing from another host" bash -c "! grep -lE '(src=|<link[^>]*href=)\"(https?:)?//' '$exe/index.html'"
    # The page's own modes over a whole session, and its sentence for each
    # way it can fail to load the program.
    for mode in --slow --offline "--axe $here/browser/node_modules/axe-core/axe.min.js" "--widths $exe/../page-widths"; do
      check "page $mode" bash "$here/run_transcript.sh" "$here/transcripts" vesta "${runner[@]}" "$exe" $mode
    done
    while IFS=: read -r kind words; do
      check "page $kind: $words" bash -c '"${@:3}" --break "$1" | grep -qF "$2"' _ "$kind" "$words" "${runner[@]}" "$exe"
    done <<<$'no-wasm:answered 404\nbad-wasm:damaged\nno-network:check the connection\nno-webassembly:cannot run WebAssembly\nfile:make web-serve'
    check "lighthouse" bash "$here/browser/lighthouse.sh" "$exe" 100 accessibility best-practices seo ;;
  *) echo "unknown platform $platform"; exit 2 ;;
esac

skipped=0
while IFS=$'\t' read -r case _ output _; do
  if [ "$platform" = web ]; then
    reason=$([ "$output" = stdout ] || echo "a page has no standard output to close, fill or cut off")
    reason=${reason:-$(/usr/bin/python3 "$here/browser/run_page.py" --typeable <"$here/transcripts/$case.in")}
    if [ -n "$reason" ]; then echo "skipped: transcript $case: $reason"; skipped=$((skipped + 1)); continue; fi
  fi
  check "transcript $case" bash "$here/run_transcript.sh" "$here/transcripts" "$case" "${runner[@]}" "$exe"
done <"$here/transcripts/cases.tsv"
[ "$sessions" = 0 ] || check "random sessions" python3 "$here/differential/random_sessions.py" "$sessions" 7 "${runner[@]}" "$exe"

if [ -n "${msi:-}" ]; then  # a newer version replaces the installed one; uninstalling leaves nothing
  apps() {  # the versions of Quorvast in Apps, one a line
    "${runner[@]}" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
      grep -A1 -E 'DisplayName +REG_SZ +Quorvast.$' | sed -n 's/.*DisplayVersion *REG_SZ *\([0-9.]*\).*/\1/p'
  }
  version=${msi##*/quorvast-} version=${version%%-*}
  next=${version%.*}.$((${version##*.} + 1))
  bash "$here/../packaging/windows_installer.sh" "$built" "$work/next.msi" "$next"
  check "installing $next replaces the installed version" "${runner[@]}" msiexec /i "$work/next.msi" /qn
  check "one product in Apps, version $next" test "$(apps)" = "$next"
  check "uninstalling removes it" "${runner[@]}" msiexec /x "$work/next.msi" /qn
  check "nothing left: files, folder, shortcut, Apps entry" bash -c "! find '$WINEPREFIX/drive_c' -iname '*quorvast*' | grep . &&
    ! \"\$@\" reg query 'HKLM\\Software\\Quorvast' >/dev/null 2>&1" _ "${runner[@]}"
  check "nor in Apps" test -z "$(apps)"
fi

echo "$platform checks: $passed passed, $failed failed, $skipped skipped"
[ "$failed" = 0 ]
