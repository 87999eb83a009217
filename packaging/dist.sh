#!/usr/bin/env bash
# Writes into dist/ everything a release page offers for the version in
# CMakeLists.txt, from programs already built (make dist builds them first):
# the source tarball, a tarball per Linux platform, the Debian packages, the
# Windows zip and installer, the web page's zip, and SHA256SUMS over all of them.
#
# Reproducible: dates come from SOURCE_DATE_EPOCH (the commit's time when
# unset); archive order, owners, modes and times are fixed, so two runs on
# the same commit give the same bytes wherever and whenever they run.
set -euo pipefail
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project(quorvast VERSION \([^ ]*\).*/\1/p' CMakeLists.txt)
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export TZ=UTC LC_ALL=C
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
rm -rf dist
mkdir dist

# A folder's files with the release's time and plain modes, as a tar.gz.
pack_tar() {  # pack_tar FOLDER-IN-STAGE ARCHIVE
  tar --sort=name --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner \
    --mode='u=rwX,go=rX' -C "$stage" -cf - "$1" | gzip -9n >"$2"
}

git archive --format=tar --prefix="quorvast-$version/" HEAD | gzip -9n >"dist/quorvast-$version.tar.gz"

for platform in release:x86_64 linux-aarch64:aarch64 linux-armhf:armhf linux-i686:i686; do
  build=build/${platform%%:*} name=quorvast-$version-linux-${platform#*:}
  mkdir -p "$stage/$name/resources" "$stage/$name/doc"
  cp "$build/quorvast" "$build/quorvast.1" "$build/README.md" LICENSE "$stage/$name/"
  cp resources/quorvast-16.png resources/quorvast-32.png resources/web-page.png "$stage/$name/resources/"
  cp doc/diameters.svg doc/development.md "$stage/$name/doc/"
  pack_tar "$name" "dist/$name.tar.gz"
  (cd "$build" && cpack >/dev/null)
  cp "$build"/package/quorvast_"$version"_*.deb dist/
done

# A folder as a zip: the release's time on every entry, entries in a fixed
# order, no extra attributes (-X).
pack_zip() {  # pack_zip FOLDER-IN-STAGE ARCHIVE
  find "$stage/$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  (cd "$stage" && find "$1" | sort | zip -X -9 -q -@ "$OLDPWD/$2")
}

# Windows: the text files with Windows line ends.
name=quorvast-$version-windows-x86_64
mkdir -p "$stage/$name"
cp build/windows/quorvast.exe "$stage/$name/"
sed 's/$/\r/' README.md >"$stage/$name/README.txt"
sed 's/$/\r/' LICENSE >"$stage/$name/LICENSE.txt"
pack_zip "$name" "dist/$name.zip"
packaging/windows_installer.sh build/windows/quorvast.exe "dist/$name.msi" "$version"

# The web page: a folder of static files for any web server.
name=quorvast-$version-web
cp -r build/web "$stage/$name"
chmod -R u=rwX,go=rX "$stage/$name"
pack_zip "$name" "dist/$name.zip"

(cd dist && sha256sum -- * >SHA256SUMS)
ls dist
