#!/usr/bin/env bash
# Builds the Windows installer (.msi) from packaging/quorvast.wxs with
# Debian's wixl: quorvast.exe, README.txt and LICENSE.txt (Windows line ends)
# under Program Files\Quorvast, a Start-menu shortcut and an Apps entry.
#
# Reproducible: the product and package codes are name-based UUIDs of the
# version; the files carry SOURCE_DATE_EPOCH (the commit's time when unset)
# into the cabinet, and wixl and msibuild run with the clock held still at
# that time, so the summary information holds no build time.
#
# usage: windows_installer.sh QUORVAST.EXE OUTPUT.msi VERSION
# (the checks build a raised VERSION to try an upgrade)
set -euo pipefail
source=$(cd "$(dirname "$0")/.." && pwd)
exe=$(realpath "$1") out=$(realpath -m "$2")
version=$3
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$source" log -1 --format=%ct)}
export TZ=UTC
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

cp "$exe" "$stage/quorvast.exe"
cp "$source/resources/quorvast.ico" "$source/packaging/quorvast.wxs" "$stage/"
sed 's/$/\r/' "$source/README.md" >"$stage/README.txt"
sed 's/$/\r/' "$source/LICENSE" >"$stage/LICENSE.txt"
touch -d "@$SOURCE_DATE_EPOCH" "$stage"/*

code() {  # code KIND: the same UUID for the same kind and version, every time
  python3 -c 'import sys, uuid; print(str(uuid.uuid5(uuid.NAMESPACE_URL, sys.argv[1])).upper())' "quorvast:$1:$version"
}
package=$(code package)
clock=$(date -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S')
cd "$stage"
faketime -f "$clock" wixl --arch x64 -D Version="$version" -D ProductCode="$(code product)" -D PackageCode="$package" \
  -o quorvast.msi quorvast.wxs
faketime -f "$clock" msibuild quorvast.msi -s "Quorvast $version" "The Quorvast authors" "x64;1033" "{$package}"
cp quorvast.msi "$out"
