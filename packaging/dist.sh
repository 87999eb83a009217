#!/usr/bin/env bash
# Writes into dist/ everything a release page offers, from programs already
# built (make dist builds them first): the source tarball, a tarball per
# Linux platform, the Debian packages, the Windows zip and installer, the
# web page's zip, and SHA256SUMS over all of them. The version and the
# project's identity come from build/release.env, the release's facts.
#
# One release from one commit: the source tarball is the commit, so a tree
# with changes (edits, new files) is refused, unless DIST_ALLOW_CHANGES=1,
# and so is one that holds a private key, always. `dist.sh --check` checks
# only that and what signing needs (a timestamp server that answers), so
# that make dist stops before it builds anything.
#
# Reproducible: dates come from the commit's time (SOURCE_DATE_EPOCH, when
# set, overrides it); archive order, owners, modes and times are fixed, and
# the umask, locale and time zone are set here, so two runs on the same
# commit give the same bytes wherever, whenever and by whomever they run,
# in a git clone or in the unpacked source tarball (packaging/source_facts.sh).
#
# Signed, for whoever holds the keys: with SIGN_CERT (the code-signing
# certificate, PEM) and SIGN_KEY (its private key: a PEM file outside the
# tree, or a PKCS#11 URI with SIGN_PKCS11_MODULE naming the token's module),
# quorvast.exe and the .msi carry an Authenticode signature (osslsigncode)
# made at the release's time, so that signing twice gives the same bytes;
# timestamped by SIGN_TIMESTAMP_URL where given (the server's token carries
# its own time, so such a release is signed once). With GPG_KEY (a GnuPG
# key's id or address), SHA256SUMS.asc signs SHA256SUMS and
# quorvast-signing-key.asc is the key's public half. Without them the folder
# is the same bytes as ever.
set -euo pipefail
cd "$(dirname "$0")/.."
umask 022
export LC_ALL=C TZ=UTC
source packaging/source_facts.sh
source packaging/platforms.sh
refuse() { echo "make dist: $*" >&2; exit 1; }

changes=$(source_changes .)
if [ -n "$changes" ]; then
  [ "${DIST_ALLOW_CHANGES:-0}" = 1 ] ||
    refuse "the tree has changes the source tarball would not hold ($(wc -l <<<"$changes") in git status): commit them, or set DIST_ALLOW_CHANGES=1"
  echo "warning: DIST_ALLOW_CHANGES=1: the release holds changes that no commit does" >&2
fi
private_keys() {  # the files in the tree, shipped or not, that hold a private key
  { if [ "$(source_kind .)" = git ]; then git ls-files -z --cached --others --exclude-standard
    else find . -path ./build -prune -o -path ./dist -prune -o -type f -printf '%P\0'; fi; } |
    xargs -0 -r grep -lsIE -e '-----BEGIN [A-Z0-9 ]*PRIVATE KEY( BLOCK)?-----' -- || true
}
keys=$(private_keys)
[ -z "$keys" ] || refuse "$(head -n 1 <<<"$keys") holds a private key: keep keys outside the tree"
if [ -n "${SIGN_CERT:-}${SIGN_KEY:-}" ]; then
  [ -f "${SIGN_CERT:-}" ] && [ -n "${SIGN_KEY:-}" ] || refuse "signing needs SIGN_CERT, a certificate file, and SIGN_KEY"
  if [[ $SIGN_KEY == pkcs11:* ]]; then
    [ -f "${SIGN_PKCS11_MODULE:-}" ] || refuse "SIGN_KEY is a PKCS#11 URI: SIGN_PKCS11_MODULE must name the token's module"
  else
    [ -f "$SIGN_KEY" ] || refuse "SIGN_KEY: no such file: $SIGN_KEY"
    case $(realpath "$SIGN_KEY") in "$(pwd -P)"/*) refuse "SIGN_KEY is inside the tree: keep keys outside it" ;; esac
  fi
fi
if [ -n "${SIGN_TIMESTAMP_URL:-}" ]; then
  answer=$(python3 packaging/timestamp_probe.py "$SIGN_TIMESTAMP_URL" 2>&1) ||
    refuse "the timestamp server $SIGN_TIMESTAMP_URL does not answer: $answer"
fi
[ "${1:-}" != --check ] || exit 0

source build/release.env  # version, homepage, signing_key, ...
head -n 1 doc/changelog | grep -qF "quorvast ($version) " ||
  refuse "doc/changelog's top entry is not $version: add this release's entry first"
if grep -q 'example\.org' build/release.env; then
  echo "warning: identity.conf still names placeholder addresses (example.org); set them before publishing" >&2
fi
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(source_fact . source_date)}
sign() {  # sign FILE: signs FILE in place, keeping its mode, where a certificate is given
  [ -n "${SIGN_CERT:-}" ] || return 0
  local key=(-key "$SIGN_KEY")
  [[ $SIGN_KEY != pkcs11:* ]] || key+=(-pkcs11module "$SIGN_PKCS11_MODULE")
  osslsigncode sign -certs "$SIGN_CERT" "${key[@]}" -n Quorvast -i "$homepage" -h sha256 \
    -time "$SOURCE_DATE_EPOCH" ${SIGN_TIMESTAMP_URL:+-ts "$SIGN_TIMESTAMP_URL"} -in "$1" -out "$1.signed" >"$1.log" 2>&1 ||
    refuse "osslsigncode could not sign ${1##*/}: $(grep -v '^$' "$1.log" | tail -n 1)"
  cat "$1.signed" >"$1"
  rm "$1.signed" "$1.log"
}
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
rm -rf dist
mkdir dist

# A folder's files with the release's time and plain modes, as a tar.gz.
pack_tar() {  # pack_tar FOLDER-IN-STAGE ARCHIVE
  tar --sort=name --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner \
    --mode='u=rwX,go=rX' -C "$stage" -cf - "$1" | gzip -9n >"$2"
}

# The source: the commit's files, with its id and time and their sums, so
# that the unpacked tarball alone builds this release again, byte for byte.
name=quorvast-$version
mkdir -p "$stage/$name"
source_files . >"$stage/files"
tr '\n' '\0' <"$stage/files" | xargs -0 cp --parents -t "$stage/$name" --
printf 'commit=%s\nsource_date=%s\n' "$(source_fact . commit)" "$SOURCE_DATE_EPOCH" >"$stage/$name/.release-source"
(cd "$stage/$name" && tr '\n' '\0' <"$stage/files" | xargs -0 sha256sum --) >"$stage/$name/.release-files"
pack_tar "$name" "dist/$name.tar.gz"
rm -rf "${stage:?}/$name"

# Each Linux platform of platforms.conf: its tarball and its .deb, which
# must be of the row's Debian architecture.
while IFS=$'\t' read -r -u 3 platform triple debian _; do
  build=build/linux-$platform name=quorvast-$version-linux-$platform
  [ "$triple" != - ] || build=build/release
  mkdir -p "$stage/$name/resources" "$stage/$name/doc"
  cp "$build/quorvast" "$build/quorvast.1" "$build/README.md" LICENSE "$stage/$name/"
  cp resources/quorvast-32.png "$stage/$name/resources/"
  cp doc/diameters.svg doc/development.md "$stage/$name/doc/"
  pack_tar "$name" "dist/$name.tar.gz"
  rm -f "$build"/package/*.deb  # an earlier build's must not stand in for this one's
  (cd "$build" && cpack >/dev/null)
  deb=quorvast_${version}_$debian.deb
  [ -f "$build/package/$deb" ] && [ "$(dpkg-deb -f "$build/package/$deb" Architecture)" = "$debian" ] ||
    refuse "$build made no $deb: its package is of another architecture than platforms.conf's $debian"
  cp "$build/package/$deb" dist/
done 3< <(platform_rows)

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
  if [ -n "$signing_key" ] && [ "$fingerprint" != "$signing_key" ]; then
    echo "make dist: GPG_KEY is $fingerprint, not the signing_key that identity.conf publishes" >&2
    exit 1
  fi
  gpg --batch --yes --local-user "$fingerprint" --armor --detach-sign --output dist/SHA256SUMS.asc dist/SHA256SUMS
  gpg --batch --armor --export-options export-minimal --export "$fingerprint" >dist/quorvast-signing-key.asc
fi
ls dist
