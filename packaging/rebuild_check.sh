#!/usr/bin/env bash
# Rebuilds a downloaded release from its source tarball alone and compares
# every file its SHA256SUMS lists with the rebuilt one: the strongest check
# of a download, as it trusts neither the publisher's machine nor their
# keys, only the source. The tarball is unpacked into a folder of its own,
# without git, and `make dist` runs there.
#
# A signed release differs from the unsigned rebuild by its Authenticode
# signatures (quorvast.exe, also inside the .zip and the .msi, and the .msi
# itself): those files are compared with the signatures removed
# (osslsigncode remove-signature), the .zip and .msi by what they hold: the
# files, and every table of the .msi (registry, shortcuts, links...).
#
# usage: rebuild_check.sh DOWNLOADS [REBUILT]   (make rebuild-check
# DOWNLOADS=DIR); REBUILT, a release folder rebuilt already, skips the
# rebuild: the same comparison, for other downloads of one release.
set -euo pipefail
downloads=$(realpath "${1:?usage: rebuild_check.sh DOWNLOADS (a folder with the release files and SHA256SUMS)}")
[ -f "$downloads/SHA256SUMS" ] || { echo "rebuild-check: no SHA256SUMS in $downloads" >&2; exit 2; }
(cd "$downloads" && sha256sum --quiet -c SHA256SUMS) || { echo "rebuild-check: the downloads do not match their SHA256SUMS" >&2; exit 1; }
tarball=$(grep -oE 'quorvast-[0-9.]+\.tar\.gz$' "$downloads/SHA256SUMS")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rebuild() {  # the release again, from its source tarball, in $rebuilt
  local tree=$work/${tarball%.tar.gz}
  tar -C "$work" -xzf "$downloads/$tarball"
  echo "rebuilding $tarball in $tree (log: make-dist.log there)"
  (cd "$tree" && env -u SOURCE_DATE_EPOCH make dist) >"$work/make-dist.log" 2>&1 ||
    { cat "$work/make-dist.log"; echo "rebuild-check: make dist failed in the unpacked tarball" >&2; exit 1; }
  rebuilt=$tree/dist
}
if [ -n "${2:-}" ]; then rebuilt=$(realpath "$2"); else rebuild; fi

unsigned() {  # unsigned FILE COPY: COPY is FILE without its Authenticode signature (or FILE, unsigned)
  osslsigncode remove-signature -in "$1" -out "$2" >/dev/null 2>&1 || cp "$1" "$2"
}
contents() {  # contents ARCHIVE FOLDER: what the .zip or .msi holds, every .exe unsigned
  mkdir -p "$2"
  case $1 in
    *.zip) unzip -q -d "$2" "$1" ;;
    *.msi) msiextract -C "$2" "$1" >/dev/null && msi_tables "$1" "$2/.msi-tables" ;;
  esac
  find "$2" -name '*.exe' -print0 | while IFS= read -r -d '' exe; do unsigned "$exe" "$exe.u" && mv "$exe.u" "$exe"; done
}
# msi_tables MSI FOLDER: each table as text, and the summary. A signed
# quorvast.exe inside is larger and hashes otherwise than the unsigned one a
# rebuild makes, and the product and package codes are made from the files'
# contents: so the File table's sizes and the MsiFileHash rows of .exe
# files, the ProductCode and the package code are left out. The files
# themselves are compared unsigned.
msi_tables() {  # (msiinfo writes a table's binary streams into a folder of the table's name, here)
  mkdir "$2" && msiinfo suminfo "$1" | grep -v '^Revision number' >"$2/summary" || return 1
  for table in $(msiinfo tables "$1"); do
    (cd "$2" && msiinfo export "$1" "$table") | case $table in
      File) awk -F'\t' -v OFS='\t' 'NR > 3 && $3 ~ /\.exe$/ { $4 = "" } 1' ;;
      MsiFileHash) awk -F'\t' 'NR <= 3 || $1 !~ /\.exe$/' ;;
      Property) grep -v '^ProductCode' ;;
      _SummaryInformation) awk -F'\t' '$1 != 9' ;;  # 9: the package code
      *) cat ;;
    esac >"$2/$table.idt" || return 1
  done
}
verdict() {  # verdict NAME: how the download compares with the rebuilt file
  local ours=$downloads/$1 theirs=$rebuilt/$1
  if [ ! -f "$theirs" ]; then echo "not rebuilt"
  elif cmp -s "$ours" "$theirs"; then echo "identical"
  elif [[ $1 == *.zip || $1 == *.msi ]] && contents "$ours" "$work/a/$1" && contents "$theirs" "$work/b/$1" &&
       diff -r "$work/a/$1" "$work/b/$1" >/dev/null; then echo "the same files, once signatures are removed"
  else echo "DIFFERS"
  fi
}
# The tools of the release (its .buildinfo) against those that rebuilt it:
# one line per package whose version differs, or that only one side has.
drift() {
  local record=${tarball%.tar.gz}.buildinfo
  [ -f "$downloads/$record" ] && [ -f "$rebuilt/$record" ] || return 0
  LC_ALL=C join -a 1 -a 2 -e none -o 0,1.2,2.2 <(sed -n 's/^ //p' "$downloads/$record") <(sed -n 's/^ //p' "$rebuilt/$record") |
    awk '$2 != $3 { print $1 ": in the record " $2 ", here " $3 }'
  diff <(grep -v '^ ' "$downloads/$record") <(grep -v '^ ' "$rebuilt/$record") | sed -n 's/^< /the record: /p; s/^> /here: /p' ||
    true  # diff's status 1 says only that they differ
}
tools=$(drift)
failed=0
while read -r _ name; do
  result=$(verdict "$name")
  if [[ $name == *.buildinfo ]]; then  # the record itself: the tools, not a file to match
    [ -z "$tools" ] && result="identical" || result="other tools here (below)"
  elif [ "$result" = DIFFERS ]; then
    failed=1
    [ -z "$tools" ] && result="DIFFERS, built with the release's own tools: not what its source builds" ||
      result="differs, built here with other tools than the release's (below)"
  fi
  [ "$result" != "not rebuilt" ] || failed=1
  echo "$name: $result"
done <"$downloads/SHA256SUMS"
[ -z "$tools" ] || printf 'the tools that differ from the record:\n%s\n' "$tools"
if [ $failed = 0 ]; then
  echo "rebuild-check: every file matches the release rebuilt from $tarball"
elif [ -n "$tools" ]; then
  echo "rebuild-check: some files differ, and this machine's tools are not those the release was built with, which" \
    "says nothing of tampering: rebuild where the versions above match (Debian's snapshot archive," \
    "https://snapshot.debian.org/, keeps every version)" >&2
  exit 1
else
  echo "rebuild-check: some files differ from the release rebuilt with its own tools" >&2
  exit 1
fi
