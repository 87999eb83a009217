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
# The release's record (its .buildinfo) names the Debian suite and the
# versions of the tools that built it. Where this machine's differ (or
# REBUILD_IN=root), the rebuild runs in a fresh root of that suite with
# those versions installed (packaging/debian_root.sh; needs root): so a
# release built on Debian 13 is confirmed on Debian 12, and the other way
# round. A version the archive no longer has is named, and installed as the
# archive has it; DEBIAN_MIRROR=a date of Debian's snapshot archive has all.
# REBUILD_ROOTS=DIR keeps the root in DIR/SUITE for the next check, which
# then installs only the versions that differ (a root takes gigabytes).
#
# usage: rebuild_check.sh DOWNLOADS [REBUILT]   (make rebuild-check
# DOWNLOADS=DIR); REBUILT, a release folder rebuilt already, skips the
# rebuild: the same comparison, for other downloads of one release.
set -euo pipefail
here=$(dirname "$(realpath "$0")")
downloads=$(realpath "${1:?usage: rebuild_check.sh DOWNLOADS (a folder with the release files and SHA256SUMS)}")
[ -f "$downloads/SHA256SUMS" ] || { echo "rebuild-check: no SHA256SUMS in $downloads" >&2; exit 2; }
(cd "$downloads" && sha256sum --quiet -c SHA256SUMS) || { echo "rebuild-check: the downloads do not match their SHA256SUMS" >&2; exit 1; }
tarball=$(grep -oE 'quorvast-[0-9.]+\.tar\.gz$' "$downloads/SHA256SUMS")
record=$downloads/${tarball%.tar.gz}.buildinfo
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "rebuild-check: $*" >&2; exit 1; }
recorded() { sed -n "s/^$1: //p" "$record"; }  # recorded FIELD: its value in the record
packages_of() { sed -n 's/^ //p' "$1" | LC_ALL=C sort; }  # packages_of RECORD: its "NAME VERSION" lines
# versions_unlike RECORDED HERE: "NAME: in the record VERSION, here
# VERSION" for each package whose version differs between two sorted
# "NAME VERSION" lists, or that only one of them has.
versions_unlike() {
  LC_ALL=C join -a 1 -a 2 -e none -o 0,1.2,2.2 "$1" "$2" | awk '$2 != $3 { print $1 ": in the record " $2 ", here " $3 }'
}
# The recorded tools this machine has otherwise, here meaning the version
# installed or, where none is, the one apt would install; and the suite.
unlike_here() {
  packages_of "$record" | cut -d' ' -f1 | xargs -r env LC_ALL=C apt-cache policy 2>/dev/null |
    awk '/^[^ ]/ { name = substr($1, 1, length($1) - 1) }
         $1 == "Installed:" { here[name] = $2 } $1 == "Candidate:" && here[name] == "(none)" { here[name] = $2 }
         END { for (name in here) print name, here[name] }' | LC_ALL=C sort >"$work/here"
  versions_unlike <(packages_of "$record") "$work/here"
  local suite
  suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-unknown}")
  [ "$(recorded Suite)" = "$suite" ] || echo "Debian: in the record $(recorded Suite), here $suite"
}
rebuild_here() {  # make dist in the unpacked tarball, with this machine's tools
  local tree=$work/${tarball%.tar.gz}
  tar -C "$work" -xzf "$downloads/$tarball"
  echo "rebuilding $tarball in $tree (log: make-dist.log there)"
  (cd "$tree" && env -u SOURCE_DATE_EPOCH make dist) >"$work/make-dist.log" 2>&1 ||
    { cat "$work/make-dist.log"; fail "make dist failed in the unpacked tarball"; }
  rebuilt=$tree/dist
}
# The record's packages as NAME=VERSION, or NAME alone where ROOT's archive
# lacks that version (and named, with where to find it).
pinned() {
  local root=$1 available
  available=$(in_root "$root" "apt-cache madison $(packages_of "$record" | cut -d' ' -f1 | tr '\n' ' ')" |
    awk -F'|' '{ gsub(/ /, ""); print $1 "=" $2 }')
  packages_of "$record" | tr ' ' '=' | while read -r package; do
    if grep -qxF "$package" <<<"$available"; then echo "$package"
    else echo "${package%%=*}"; echo "$package" >>"$work/gone"
    fi
  done
  [ ! -s "$work/gone" ] || echo "not in $debian_mirror, so installed as it has them: $(tr '\n' ' ' <"$work/gone")(Debian's" \
    "snapshot archive keeps every version: https://snapshot.debian.org/binary/NAME/, and DEBIAN_MIRROR takes its" \
    "archive of a date, https://snapshot.debian.org/archive/debian/YYYYMMDDTHHMMSSZ/)" >&2
}
rebuild_in_root() {  # make dist in a fresh root of the recorded suite, with the recorded versions
  local suite root tree=/root/${tarball%.tar.gz}
  suite=$(recorded Suite)
  [ -n "$suite" ] || fail "the record names no Debian suite; REBUILD_IN=host rebuilds with this machine's tools"
  root=$(realpath -m "${REBUILD_ROOTS:-$work}/$suite")
  [ "$(id -u)" = 0 ] || fail "a rebuild in a fresh Debian $suite root needs root (debootstrap, chroot);" \
    "REBUILD_IN=host rebuilds with this machine's tools, naming those that differ"
  source "$here/debian_root.sh"
  echo "rebuilding $tarball in a Debian $suite root, $root, with the record's $(grep -c '^ ' "$record") packages"
  debian_root "$suite" "$root" && in_root "$root" "apt-get update -q" >"$work/update.log" 2>&1 ||
    { cat "$work/update.log" 2>/dev/null; fail "the Debian $suite root"; }
  rm -rf "${root:?}$tree" && tar -C "$root/root" -xzf "$downloads/$tarball"
  pinned "$root" >"$work/pinned" || fail "the archive's versions"
  # setup/need says what it installs, and how much it downloads, before it does.
  in_root "$root" "cd $tree && setup/need --packages $(tr '\n' ' ' <"$work/pinned") && apt-get clean" || fail "the record's packages"
  in_root "$root" "cd $tree && env -u SOURCE_DATE_EPOCH make dist" >"$work/make-dist.log" 2>&1 ||
    { cat "$work/make-dist.log"; fail "make dist failed in the Debian $suite root"; }
  rebuilt=$root$tree/dist
}
if [ -n "${2:-}" ]; then rebuilt=$(realpath "$2")
else
  unlike=
  [ -n "${REBUILD_IN:-}" ] || [ ! -f "$record" ] || unlike=$(unlike_here)
  [ -z "$unlike" ] || awk '{ line[NR] = "  " $0 } END { print "this machine'"'"'s tools are not the release'"'"'s (differences: " NR \
    "):"; for (i = 1; i <= NR && i <= 5; i++) print line[i] }' <<<"$unlike"
  if [ "${REBUILD_IN:-}" = root ] || [ -n "$unlike" ]; then rebuild_in_root; else rebuild_here; fi
fi

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
  versions_unlike <(packages_of "$downloads/$record") <(packages_of "$rebuilt/$record")
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
