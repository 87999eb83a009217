#!/usr/bin/env bash
# Writes into dist/ everything a release page offers for the version in
# CMakeLists.txt, from programs already built (make dist builds them first):
# the source tarball, a tarball per Linux platform, the Debian packages, the
# Windows zip and installer, the web page's zip, and SHA256SUMS over all of them.
#
# Reproducible: dates come from SOURCE_DATE_EPOCH (the commit's time when
# unset); archive order, owners, modes and times are fixed, so two runs on
# the same commit give the same bytes wherever and whenever they run.
#
# Signed, for whoever holds the keys: with SIGN_CERT and SIGN_KEY (a
# code-signing certificate and its private key, PEM files), quorvast.exe and
# the .msi carry an Authenticode signature (osslsigncode); with GPG_KEY (a
# GnuPG key's id or address), SHA256SUMS.asc signs SHA256SUMS. Without them
# the folder is the same bytes as ever.
set -euo pipefail
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project(quorvast VERSION \([^ ]*\).*/\1/p' CMakeLists.txt)
if grep -q '^[a-z]* = .*example\.org' identity.conf; then
  echo "warning: identity.conf still names placeholder addresses (example.org); set them before publishing" >&2
fi
sign() {  # sign FILE: signs FILE in place where a certificate is given
  [ -n "${SIGN_CERT:-}" ] || return 0
  osslsigncode sign -certs "$SIGN_CERT" -key "$SIGN_KEY" -n Quorvast -i "$(sed -n 's/^homepage = //p' identity.conf)" \
    -in "$1" -out "$1.signed" >/dev/null
  mv "$1.signed" "$1"
}
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
  cp resources/quorvast-32.png "$stage/$name/resources/"
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
sign "$stage/$name/quorvast.exe"
sed 's/$/\r/' build/windows/README.txt >"$stage/$name/README.txt"
sed 's/$/\r/' LICENSE >"$stage/$name/LICENSE.txt"
packaging/windows_installer.sh "$stage/$name/quorvast.exe" "dist/$name.msi" "$version"
sign "dist/$name.msi"
pack_zip "$name" "dist/$name.zip"

# The web page: a folder of static files for any web server.
name=quorvast-$version-web
cp -r build/web "$stage/$name"
chmod -R u=rwX,go=rX "$stage/$name"
pack_zip "$name" "dist/$name.zip"

(cd dist && sha256sum -- * >SHA256SUMS)
if [ -n "${GPG_KEY:-}" ]; then
  gpg --batch --yes --local-user "$GPG_KEY" --armor --detach-sign --output dist/SHA256SUMS.asc dist/SHA256SUMS
fi
ls dist
