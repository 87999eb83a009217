#!/usr/bin/env bash
# Builds the Windows installer (.msi) from packaging/quorvast.wxs with
# Debian's wixl: quorvast.exe, README.txt and LICENSE.txt (Windows line ends)
# under Program Files\Quorvast, a Start-menu shortcut and an Apps entry with
# the project's addresses (build/release.env, the release's facts).
#
# The package code, and the product code with it, are name-based UUIDs of
# what the package holds: the files it installs, the .wxs and the values
# given to it. The same sources give the same codes and bytes; any change
# gives new ones, which Windows Installer needs to install the package over
# the one before it (a major upgrade, even at the same version).
# Reproducible: the files carry SOURCE_DATE_EPOCH (the commit's time when
# unset, from git or the source tarball: packaging/source_facts.sh) into the
# cabinet, and wixl and msibuild run with the clock held still at that
# time, so the summary information holds no build time.
#
# usage: windows_installer.sh QUORVAST.EXE OUTPUT.msi [VERSION [README]]
# (VERSION, by default the release's, raised by the checks to try an
# upgrade; README, by default the one the Windows build filled in, is
# shipped as README.txt)
set -euo pipefail
source=$(cd "$(dirname "$0")/.." && pwd)
source "$source/build/release.env"  # version, homepage, contact, bugs
exe=$(realpath "$1") out=$(realpath -m "$2")
version=${3:-$version}
source "$source/packaging/source_facts.sh"
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(source_fact "$source" source_date)}
# The codes hash a listing of files: its order must not follow the locale.
export TZ=UTC LC_ALL=C
umask 022
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

readme=${4:-$source/build/windows/README.txt}
cp "$exe" "$stage/quorvast.exe"
cp "$source/resources/quorvast.ico" "$source/packaging/quorvast.wxs" "$stage/"
sed 's/$/\r/' "$readme" >"$stage/README.txt"
sed 's/$/\r/' "$source/LICENSE" >"$stage/LICENSE.txt"
touch -d "@$SOURCE_DATE_EPOCH" "$stage"/*

values=(-D Version="$version" -D Homepage="$homepage" -D Contact="$contact" -D Bugs="$bugs")
contents=$(cd "$stage" && sha256sum -- * && printf '%s\n' "${values[@]}")
code() {  # code KIND: the same UUID for the same kind and contents, every time
  python3 -c 'import sys, uuid; print(str(uuid.uuid5(uuid.NAMESPACE_URL, sys.argv[1])).upper())' "quorvast:$1:$contents"
}
package=$(code package)
# wixl and msibuild stamp the .msi with the time: the source's, through
# libfaketime. Preloaded, not through the faketime program, whose
# semaphore in /dev/shm is named by its process id and collides with one
# that an earlier process of that id left behind ("sem_open: File exists").
clock=$(date -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S')
libfaketime=$(find /usr/lib -path '*/faketime/libfaketime.so.1' | head -n 1)
[ -n "$libfaketime" ] || { echo "windows_installer.sh: no libfaketime.so.1 (Debian's faketime package)" >&2; exit 1; }
frozen() { LD_PRELOAD=$libfaketime FAKETIME=$clock "$@"; }
cd "$stage"
frozen wixl --arch x64 "${values[@]}" -D ProductCode="$(code product)" -D PackageCode="$package" \
  -o quorvast.msi quorvast.wxs
# What wixl cannot say: the program's version in the File table, and an
# upgrade that also replaces a package of the same version (its upper bound
# inclusive, 0x200, as WiX's AllowSameVersionUpgrades makes it). Attributes
# is part of the Upgrade table's key, so the row is written anew.
upgrade_code=$(sed -n 's/.*UpgradeCode="\([^"]*\)".*/\1/p' quorvast.wxs | tr a-f A-F)
frozen msibuild quorvast.msi -q "UPDATE \`File\` SET \`Version\` = '$version.0' WHERE \`File\` = 'quorvast.exe'" \
  -q "DELETE FROM \`Upgrade\` WHERE \`ActionProperty\` = 'WIX_UPGRADE_DETECTED'" \
  -q "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`) $(
      )VALUES ('{$upgrade_code}', '$version', 513, 'WIX_UPGRADE_DETECTED')"
frozen msibuild quorvast.msi -s "Quorvast $version" "The Quorvast authors" "x64;1033" "{$package}"
cp quorvast.msi "$out"
