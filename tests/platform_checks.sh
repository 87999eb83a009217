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
# PLATFORM: windows, linux-NAME (a cross-built row of platforms.conf), node,
# or web
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
    for image in 16:8 32:8 16:32 24:32 32:32 48:32 256:32; do
      grep -q -- "--width=${image%:*} --height=${image%:*} --bit-depth=${image#*:}" "$work/icons" || return 1
    done
}
source "$here/../build/release.env"  # version, bugs, ...
names_version() {  # the version resource's strings: file and product version, and the rest
  wrestool -x --raw -t 16 "$exe" | strings -el >"$work/version" &&
    [ "$(grep -cx "$version" "$work/version")" = 2 ] && grep -qx 'OriginalFilename' "$work/version"
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
refuses_to_run() {  # refuses_to_run CPU: under that processor, only the line saying what it lacks
  printf 'x\n10\nq\n' | QEMU_CPU=$1 "$qemu" "$exe" >"$work/out" 2>"$work/err"
  [ $? = 1 ] && [ ! -s "$work/out" ] && [ "$(wc -l <"$work/err")" = 1 ] && grep -q '^quorvast: this program needs' "$work/err"
}
only_system_dlls() {
  x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ { print tolower($3) }' >"$work/dlls"
  ! grep -vxE 'kernel32\.dll|msvcrt\.dll|user32\.dll|advapi32\.dll|ntdll\.dll|api-ms-win-.*\.dll' "$work/dlls"
}

case $platform in
  windows)
    # No menu entries or file associations in the home folder for what the
    # checks install: wine's menu builder stays off.
    export WINEDEBUG=-all WINEDLLOVERRIDES=winemenubuilder.exe=d
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
    check "group icon MYRESOURCE1: 16 and 32 px in 256 colours, 16 to 256 px in 32 bits" icon_is_registered
    check "a version resource naming $version" names_version
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
  # A row of platforms.conf, under each processor it names in turn (qemu
  # reads QEMU_CPU).
  linux-*)
    source "$here/../packaging/platforms.sh"
    row=$(platform_row "${platform#linux-}") || exit 2
    IFS=$'\t' read -r name _ _ _ qemu cpus file _ refuses _ <<<"$row"
    if [ -z "${QEMU_CPU:-}" ] && [ "$cpus" != - ]; then
      for cpu in ${cpus//,/ }; do QEMU_CPU=$cpu bash "$0" "$@" || exit 1; done
      exit 0
    fi
    runner=("$qemu")
    [ -z "${QEMU_CPU:-}" ] || platform="$platform ($QEMU_CPU)"
    check "static for $name" is_static "$file"
    for cpu in ${refuses//[,-]/ }; do check "on $cpu: one line, status 1, no output" refuses_to_run "$cpu"; done ;;
  node) runner=(node) ;;
  # Typed by a user into the page: random sessions are mostly bytes nobody
  # can type, so only the transcripts run, those a person can type.
  web) runner=(/usr/bin/python3 "$here/browser/run_page.py") sessions=0
    check "the page loads nothing from another host" bash -c "! grep -lE '(src=|<link[^>]*href=)\"(https?:)?//' '$exe/index.html'"
    # The page's own modes over a whole session, and its sentence for each
    # way it can fail to load the program.
    for mode in "vesta --slow" "vesta --offline" "vesta --axe $here/browser/node_modules/axe-core/axe.min.js" \
                "vesta --widths $exe/../page-widths" "vesta --kept 502" "vesta --kept 404-wasm" "vesta --paste" \
                "end-at-h-prompt --end-button"; do
      check "page $mode" bash "$here/run_transcript.sh" "$here/transcripts" ${mode%% *} "${runner[@]}" "$exe" ${mode#* }
    done
    check "page --no-javascript" "${runner[@]}" "$exe" --no-javascript </dev/null
    check "page --long-lines" "${runner[@]}" "$exe" --long-lines </dev/null
    while IFS=: read -r kind words; do
      check "page $kind: $words" bash -c '"${@:3}" --break "$1" | grep -qF "$2"' _ "$kind" "$words" "${runner[@]}" "$exe"
    done <<<$'no-wasm:from the server just now\nbad-wasm:arrived damaged\nno-network:check the connection\nno-webassembly:needs WebAssembly\nfile:opened from a web address\ntrap:stopped with an internal error'
    check "lighthouse" bash "$here/browser/lighthouse.sh" "$exe" 100 accessibility best-practices seo
    # The next release: this tree copied, its version raised and a banner
    # line changed, built; a returning visitor must get it whole.
    next_release() {
      mkdir "$work/next" && (cd "$here/.." && git ls-files -z --cached --others --exclude-standard |
        tar --null -T - -cf -) | tar -C "$work/next" -xf - && cd "$work/next" &&
        packaging/raise_version.sh . &&
        perl -pi -e 's/Asteroid size estimates from/Asteroid size estimated from/' src/dialogue/console_dialogue.cpp &&
        { cmake --preset wasm && cmake --build --preset wasm; } >"$work/next.log" 2>&1 &&
        "${runner[@]}" "$exe" --release "$work/next/build/wasm/page" </dev/null
    }
    check "page --release: the next release by the second load, whole, never mixed, beside another copy" next_release ;;
  *) echo "unknown platform $platform"; exit 2 ;;
esac

skipped=0
while IFS=$'\t' read -r case _ output _; do
  if [ "$platform" = node ] && [ "$output" = closed ]; then
    echo "skipped: transcript $case: node opens /dev/null for a closed standard output before the program starts"
    skipped=$((skipped + 1)); continue
  fi
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
  check "the Apps entry: a help link, no Modify" bash -c '"${@:3}" reg query "HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall" /s |
    tr -d "\r" >"$1/entry" && grep -qE "HelpLink +REG_SZ +$2\$" "$1/entry" && grep -qE "NoModify +REG_DWORD +0x1\$" "$1/entry"' \
    _ "$work" "$bugs" "${runner[@]}"
  check "the File table names quorvast.exe's version" bash -c "msiinfo export '$msi' File | grep -qP '^quorvast.exe\t.*\t$version.0\t'"
  # The package code follows what the package holds: the same sources give
  # the same bytes, one byte more in the README a new package, which
  # installs over the first and replaces the README.
  bash "$here/../packaging/windows_installer.sh" "$built" "$work/same.msi" "$version"
  check "rebuilt unchanged, the same bytes" cmp -s "$msi" "$work/same.msi"
  sed '0,/Quorvast/s//QuorvasT/' "$(dirname "$built")/README.txt" >"$work/README.txt"
  bash "$here/../packaging/windows_installer.sh" "$built" "$work/changed.msi" "$version" "$work/README.txt"
  revision() { msiinfo suminfo "$1" | grep 'Revision number'; }
  check "a changed README, a new package code" test "$(revision "$msi")" != "$(revision "$work/changed.msi")"
  check "the changed package installs over the first" "${runner[@]}" msiexec /i "$work/changed.msi" /qn
  check "and replaces the README" grep -q QuorvasT "${exe%/*}/README.txt"
  check "one product in Apps, version $version" test "$(apps)" = "$version"
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
