#!/usr/bin/env bash
# Writes into dist/ everything a release page offers, from programs already
# built (make dist builds them first): the source tarball, a tarball per
# Linux platform, the Debian packages, the Windows zip and installer, the
# web page's zip, the record of the build environment
# (packaging/build_record.sh), and SHA256SUMS over all of them. The version and the
# project's identity come from build/release.env, the release's facts.
#
# One release from one commit: the source tarball is the commit, so a tree
# with changes (edits, new files) is refused, unless DIST_ALLOW_CHANGES=1,
# and so is one that holds a private key, always. `dist.sh --check` checks
# only that and what signing needs (a timestamp server that answers, a
# test signature with each key given), so that make dist stops before it
# builds anything. The release is built in a folder of its own and becomes
# dist/ only once it is whole: a failure or an interruption leaves the last
# dist/ as it was, and no temporary folder.
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
private_keys() {  # the files in the tree, shipped or not, that hold a private key, in any format
  { if [ "$(source_kind .)" = git ]; then git ls-files -z --cached --others --exclude-standard
    else find . -path ./build -prune -o -path ./dist -prune -o -type f -printf '%P\0'; fi; } |
    python3 packaging/private_keys.py || true
}
keys=$(private_keys)
[ -z "$keys" ] || refuse "$(head -n 1 <<<"$keys"): keep keys outside the tree"
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
stage=$(mktemp -d)
out=
trap 'rm -rf "$stage" ${out:+"$out"}' EXIT
trap 'exit 130' INT TERM

# Every secret is tried on a small file before anything is built: a wrong
# PIN or a missing passphrase is found at once, in the tool's own words,
# and a real token counts one failed login, not one per build.
reason() {  # reason LOG: the line of a tool's log that says why it failed, OpenSSL's codes cut
  { grep -iE -m1 'PIN (incorrect|invalid|locked|expired)|passphrase|secret key' "$1" ||
    grep -iE -m1 'error|fail|unable|cannot|no such' "$1" || grep -v '^$' "$1" | tail -n 1; } |
    sed -E 's/^[0-9A-F]+:error:[0-9A-F]+:([^:]*):[^:]*:([^:]*):.*/\1: \2/'
}
sign_test_file() {  # signs a small .msi made here, as sign will sign the release's
  msibuild "$stage/probe.msi" -s Probe Quorvast Probe '{00000000-0000-0000-0000-000000000000}' >"$stage/probe.log" 2>&1 &&
    osslsigncode sign -certs "$SIGN_CERT" -key "$SIGN_KEY" ${SIGN_PKCS11_MODULE:+-pkcs11module "$SIGN_PKCS11_MODULE"} \
      -h sha256 -in "$stage/probe.msi" -out "$stage/probe.signed.msi" >"$stage/probe.log" 2>&1 ||
    refuse "SIGN_KEY cannot sign: $(reason "$stage/probe.log")"
}
gpg_test_signature() {  # GPG_KEY is the key identity.conf publishes, and it signs
  cmake --preset release >/dev/null  # build/release.env: the facts, as identity.conf has them now
  local signing_key fingerprint
  signing_key=$(source build/release.env && echo "$signing_key")
  [ -n "$signing_key" ] ||
    refuse "identity.conf names no signing_key: publish the key's fingerprint there first, so that every README carries it"
  fingerprint=$(gpg --batch --with-colons --fingerprint "$GPG_KEY" 2>/dev/null | awk -F: '$1 == "fpr" { print $10; exit }')
  [ "$fingerprint" = "$signing_key" ] ||
    refuse "GPG_KEY is ${fingerprint:-no key gpg knows}, not the signing_key that identity.conf publishes"
  echo probe | gpg --batch --local-user "$GPG_KEY" --detach-sign --output "$stage/probe.sig" >"$stage/probe.log" 2>&1 ||
    refuse "GPG_KEY cannot sign: $(reason "$stage/probe.log")"
}
if [ "${1:-}" = --check ]; then
  [ -z "${SIGN_CERT:-}" ] || sign_test_file
  [ -z "${GPG_KEY:-}" ] || gpg_test_signature
  exit 0
fi

source build/release.env  # version, homepage, signing_key, ...
grep -m 1 '^## ' CHANGELOG.md | grep -qF "## $version (" ||
  refuse "CHANGELOG.md's newest release is not $version: add this release's entry first"
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
    refuse "osslsigncode could not sign ${1##*/}: $(reason "$1.log")"
  cat "$1.signed" >"$1"
  rm "$1.signed" "$1.log"
}
# The release is built in a fresh folder, which becomes dist/ only once
# every file is there and signed: a failure leaves the last dist/ whole.
mkdir -p build
out=$(mktemp -d build/.dist-XXXXXX)
chmod 755 "$out"

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
pack_tar "$name" "$out/$name.tar.gz"
rm -rf "${stage:?}/$name"

# Each Linux platform of platforms.conf: its tarball and its .deb, which
# must be of the row's Debian architecture.
while IFS=$'\t' read -r -u 3 platform triple debian _; do
  build=build/linux-$platform name=quorvast-$version-linux-$platform
  [ "$triple" != - ] || build=build/release
  mkdir -p "$stage/$name/resources" "$stage/$name/doc"
  cp "$build/quorvast" "$build/quorvast.1" LICENSE "$stage/$name/"
  cp "$build/installed/README.md" "$stage/$name/"  # its links to files the tarball lacks go to the site
  cp resources/quorvast-32.png "$stage/$name/resources/"
  cp doc/diameters.svg doc/development.md "$stage/$name/doc/"
  pack_tar "$name" "$out/$name.tar.gz"
  rm -f "$build"/package/*.deb  # an earlier build's must not stand in for this one's
  (cd "$build" && cpack >/dev/null)
  deb=quorvast_${version}_$debian.deb
  [ -f "$build/package/$deb" ] && [ "$(dpkg-deb -f "$build/package/$deb" Architecture)" = "$debian" ] ||
    refuse "$build made no $deb: its package is of another architecture than platforms.conf's $debian"
  cp "$build/package/$deb" "$out/"
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
packaging/windows_installer.sh "$stage/$name/quorvast.exe" "$out/$name.msi" "$version"
sign "$out/$name.msi"
pack_zip "$name" "$out/$name.zip"

# The web page: a folder of static files for any web server.
name=quorvast-$version-web
cp -r build/web "$stage/$name"
chmod -R u=rwX,go=rX "$stage/$name"
pack_zip "$name" "$out/$name.zip"

# How it was built: the Debian release and the tools' versions, which a
# rebuilder compares with their own.
bash packaging/build_record.sh "$version" >"$out/quorvast-$version.buildinfo"
(cd "$out" && sha256sum -- * >SHA256SUMS)
if [ -n "${GPG_KEY:-}" ]; then
  # The key identity.conf publishes, which make dist --check found to be
  # GPG_KEY: a stranger compares it with the README and the repository.
  fingerprint=${signing_key:?identity.conf names no signing_key}
  gpg --batch --yes --local-user "$fingerprint" --armor --detach-sign --output "$out/SHA256SUMS.asc" "$out/SHA256SUMS"
  gpg --batch --armor --export-options export-minimal --export "$fingerprint" >"$out/quorvast-signing-key.asc"
fi
rm -rf build/dist.old
[ ! -e dist ] || mv dist build/dist.old
mv "$out" dist
rm -rf build/dist.old
ls dist
