#!/usr/bin/env bash
# Writes into dist/ everything a release page offers, from programs already
# built (make dist builds them first): the source tarball, a tarball per
# Linux platform, the Debian packages, the Windows zip and installer, the
# web page's zip, and SHA256SUMS over all of them. The version and the
# project's identity come from build/release.env, the release's facts.
#
# One release from one commit: the source tarball is the commit, so a tree
# with changes git would not put in it (edits, new files) is refused, unless
# DIST_ALLOW_CHANGES=1; `dist.sh --check-sources` only checks that.
#
# Reproducible: dates come from SOURCE_DATE_EPOCH (the commit's time when
# unset); archive order, owners, modes and times are fixed, and the umask,
# locale and time zone are set here, so two runs on the same commit give the
# same bytes wherever, whenever and by whomever they run.
#
# Signed, for whoever holds the keys: with SIGN_CERT and SIGN_KEY (a
# code-signing certificate and its private key, PEM files), quorvast.exe and
# the .msi carry an Authenticode signature (osslsigncode), timestamped by
# SIGN_TIMESTAMP_URL where given; with GPG_KEY (a GnuPG key's id or
# address), SHA256SUMS.asc signs SHA256SUMS and quorvast-signing-key.asc is
# the key's public half. Without them the folder is the same bytes as ever.
set -euo pipefail
cd "$(dirname "$0")/.."
umask 022
export LC_ALL=C TZ=UTC

changes=$(git status --porcelain)
if [ -n "$changes" ]; then
  if [ "${DIST_ALLOW_CHANGES:-0}" != 1 ]; then
    echo "make dist: the tree has changes the source tarball would not hold ($(wc -l <<<"$changes") in git status): commit them, or set DIST_ALLOW_CHANGES=1" >&2
    exit 1
  fi
  echo "warning: DIST_ALLOW_CHANGES=1: the binaries hold changes that the source tarball does not" >&2
fi
[ "${1:-}" != --check-sources ] || exit 0

fact() { sed -n "s/^$1=//p" build/release.env; }
version=$(fact version)
if grep -q 'example\.org' build/release.env; then
  echo "warning: identity.conf still names placeholder addresses (example.org); set them before publishing" >&2
fi
sign() {  # sign FILE: signs FILE in place where a certificate is given
  [ -n "${SIGN_CERT:-}" ] || return 0
  osslsigncode sign -certs "$SIGN_CERT" -key "$SIGN_KEY" -n Quorvast -i "$(fact homepage)" -h sha256 \
    ${SIGN_TIMESTAMP_URL:+-ts "$SIGN_TIMESTAMP_URL"} -in "$1" -out "$1.signed" >/dev/null
  mv "$1.signed" "$1"
}
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
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
  # The key published beside the signature must be the one identity.conf
  # names, where it names one: a stranger compares it with the README.
  fingerprint=$(gpg --batch --with-colons --fingerprint "$GPG_KEY" | awk -F: '$1 == "fpr" { print $10; exit }')
  if [ -n "$(fact signing_key)" ] && [ "$fingerprint" != "$(fact signing_key)" ]; then
    echo "make dist: GPG_KEY is $fingerprint, not the signing_key that identity.conf publishes" >&2
    exit 1
  fi
  gpg --batch --yes --local-user "$fingerprint" --armor --detach-sign --output dist/SHA256SUMS.asc dist/SHA256SUMS
  gpg --batch --armor --export-options export-minimal --export "$fingerprint" >dist/quorvast-signing-key.asc
fi
ls dist
