#!/usr/bin/env bash
# The release recipe as a publisher runs it, with throwaway keys made here:
# identity.conf names the OpenPGP key (committed in a publisher's clone),
# one builder signs the Windows files with a key file and the other with
# the same key in a SoftHSM2 token, each from a fresh clone as another
# account would build (other paths, umasks, locales, time zones, home
# folders and times): the same bytes, or the first file that differs and
# how. Then, in the first: the sums, lintian on each package, the tarball's
# files, the Windows README.txt, the site's crawl (tests/browser/run_page.py
# --site) and Lighthouse; a stranger's checks with only what the site
# publishes; a second make site, the same apt repository but for its
# signatures; a timestamped signature from a local RFC 3161 server, and
# the release rebuilt from its source tarball alone (make rebuild-check),
# also across Debian 12 and 13, each built on one and checked on the other.
# The next release's site over the first keeps every file of it; a failing
# make site leaves the site whole; apt in fresh Debian 12 and 13 roots
# (tests/fresh_machine.sh --apt); what the recipe refuses, each in one line.
set -u
source=$(git -C "$(dirname "$0")/.." rev-parse --show-toplevel)
work=$(mktemp -d)
tsa=
trap 'kill $tsa 2>/dev/null; gpgconf --kill all; GNUPGHOME=$keys/stranger gpgconf --kill all; rm -rf "$work"' EXIT  # the agents gpg started
fail() { echo "$*"; exit 1; }
keys=$work/keys
mkdir -m 700 "$keys" "$keys/gnupg" "$keys/stranger" "$keys/tokens" "$keys/tsa"
export GNUPGHOME=$keys/gnupg SOFTHSM2_CONF=$keys/softhsm2.conf
echo "directories.tokendir = $keys/tokens" >"$SOFTHSM2_CONF"
{ openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=Quorvast test signer" -days 2 \
    -addext extendedKeyUsage=codeSigning -keyout "$keys/key.pem" -out "$keys/cert.pem" &&
  gpg --batch --quiet --passphrase '' --quick-gen-key "Quorvast test <test@quorvast.invalid>" ed25519 sign 1y &&
  softhsm2-util --init-token --free --label quorvast --pin 1234 --so-pin 5678 &&
  openssl pkcs8 -topk8 -nocrypt -in "$keys/key.pem" -out "$keys/key.p8" &&
  softhsm2-util --import "$keys/key.p8" --token quorvast --label signer --id 01 --pin 1234; } >"$work/keys.log" 2>&1 ||
  { cat "$work/keys.log"; fail "the throwaway keys"; }
fingerprint=$(gpg --with-colons --fingerprint | awk -F: '$1 == "fpr" { print $10; exit }')
python3 "$source/tests/release/timestamp_server.py" "$keys/tsa" >"$keys/tsa/url" &
tsa=$!
until [ -s "$keys/tsa/url" ]; do sleep 0.2; done
# The publisher's commit: identity.conf names their key, committed at the
# source's own time, so that every clone of it builds the same release.
publisher=$work/publisher
git clone -q "$source" "$publisher" && sed -i "s/^signing_key =.*/signing_key = $fingerprint/" "$publisher/identity.conf" &&
  GIT_COMMITTER_DATE=$(git -C "$source" log -1 --format=%cI) git -C "$publisher" -c user.name=publisher \
    -c user.email=publisher@quorvast.invalid commit -qam "the publisher's key" || fail "the publisher's commit"
file_key=(SIGN_CERT="$keys/cert.pem" SIGN_KEY="$keys/key.pem" GPG_KEY="$fingerprint")
token_key=(SIGN_CERT="$keys/cert.pem" SIGN_KEY="pkcs11:token=quorvast;object=signer?pin-value=1234"
  SIGN_PKCS11_MODULE=/usr/lib/softhsm/libsofthsm2.so GPG_KEY="$fingerprint")
builder() {  # builder CLONE UMASK LOCALE TIME-ZONE SIGNING...: make dist and make site there, as that account
  local clone=$1 mask=$2 locale=$3 zone=$4
  shift 4
  git clone -q "$publisher" "$work/$clone" && mkdir "$work/$clone.home" &&
    (umask "$mask" && cd "$work/$clone" && HOME=$work/$clone.home LC_ALL=$locale TZ=$zone make dist "$@" &&
      HOME=$work/$clone.home make site GPG_KEY="$fingerprint" PREVIOUS_SITE=none) >"$work/$clone.log" 2>&1 ||
    { cat "$work/$clone.log"; exit 1; }
}
builder first 022 C UTC "${file_key[@]}"
sleep 2  # a later time for the second build
builder second-clone/somewhere/much/longer/quorvast 002 C.UTF-8 NZST-12NZDT "${token_key[@]}"
first=$work/first second=$work/second-clone/somewhere/much/longer/quorvast
a=$first/dist b=$second/dist
if ! cmp -s "$a/SHA256SUMS" "$b/SHA256SUMS"; then
  differing=$(diff <(sort "$a/SHA256SUMS") <(sort "$b/SHA256SUMS") | awk '/^[<>]/ { print $3 }' | sort -u)
  echo "not reproducible: $(head -n 1 <<<"$differing") differs first, of: $(echo $differing)"
  for file in $differing; do diffoscope --text - "$a/$file" "$b/$file" | head -n 60; done
  exit 1
fi
# OpenPGP signatures carry the time they were made: all else is the same.
diff -r -x SHA256SUMS.asc -x InRelease -x Release.gpg "$first/build/site" "$second/build/site" >/dev/null ||
  fail "the two web sites differ"
echo "reproducible: $(wc -l <"$a/SHA256SUMS") files, signed from a key file and from a token, SHA256SUMS identical, the web sites too"

(cd "$a" && sha256sum --quiet -c SHA256SUMS) || exit 1
source "$source/packaging/platforms.sh"
[ "$(ls "$a"/*.deb | sed 's/.*_//; s/\.deb$//' | sort)" = "$(platform_rows | cut -f3 | sort)" ] ||
  fail "the .debs are not one for each row of platforms.conf"
for deb in "$a"/*.deb; do
  architecture=${deb##*_} architecture=${architecture%.deb}
  [ "$(dpkg-deb -f "$deb" Architecture)" = "$architecture" ] || fail "$deb: wrong Architecture"
  [ -z "$(lintian -I --pedantic "$deb" 2>/dev/null)" ] || { lintian -I --pedantic "$deb"; exit 1; }
done
version=$(source "$first/build/release.env" && echo "$version")
diff <(tar -tzf "$a/quorvast-$version.tar.gz" | sed 's|^[^/]*/||' | grep -v -e '/$' -e '^$' | sort) \
  <({ git -C "$first" ls-files; echo .release-files; echo .release-source; } | sort) ||
  fail "the source tarball holds other files than git ls-files and its two release files"
unzip -p "$a"/*-windows-x86_64.zip '*/README.txt' >"$work/zip-readme.txt"
(cd "$work" && msiextract -C msi "$a"/*.msi >/dev/null) && cp "$(find "$work/msi" -name README.txt)" "$work/msi-readme.txt"
for readme in "$work"/{zip,msi}-readme.txt; do
  ! grep -qE '<img|apt-get|\]\(' "$readme" && grep -q 'Start menu' "$readme" && grep -q "${fingerprint:0:4} ${fingerprint:4:4}" "$readme" && [ "$(grep -c $'\r$' "$readme")" = "$(wc -l <"$readme")" ] ||
    fail "${readme##*/}: Markdown, Debian commands, no Start menu or fingerprint, or not Windows line ends"
done
browser=$source/tests/browser
/usr/bin/python3 "$browser/run_page.py" "$first/build/site" --site --axe "$browser/node_modules/axe-core/axe.min.js" </dev/null ||
  fail "the web site's crawl, axe, home links, widths or download list"
for page in index download; do
  bash "$browser/lighthouse.sh" "$first/build/site/$page.html" 100 accessibility best-practices seo || exit 1
done

site=$first/build/site
[ -f "$site/download/SHA256SUMS.asc" ] || fail "make site after a signed make dist lost SHA256SUMS.asc"
published=$work/published  # the site as the host serves it
cp -r "$site" "$published"
make -C "$first" site GPG_KEY="$fingerprint" PREVIOUS_SITE="$published" >"$work/signed.log" 2>&1 &&
  diff -r -x InRelease -x Release.gpg "$published/apt" "$site/apt" >/dev/null ||
  fail "make site of a published release again does not give the same apt repository"
# A stranger: a GnuPG home of their own with only the site's key file in it,
# the signature first, then the sums of every file the download page lists.
export GNUPGHOME=$keys/stranger
gpg --batch --quiet --import "$site/download/quorvast-signing-key.asc" 2>/dev/null &&
  gpg --batch --quiet --verify "$site/download/SHA256SUMS.asc" "$site/download/SHA256SUMS" 2>/dev/null ||
  fail "a stranger cannot verify SHA256SUMS.asc with the site's key file"
fingerprint=$(gpg --with-colons --fingerprint | awk -F: '$1 == "fpr" { print $10; exit }')
grep -q "$(sed 's/..../& /g; s/ $//' <<<"$fingerprint")" "$site/download.html" || fail "the download page lacks the key's fingerprint"
listed=$(grep -o 'href="download/[^"]*"' "$site/download.html" | cut -d/ -f2 | tr -d '"' | sort -u)
awk 'NR == FNR { listed[$0]; next } $2 in listed' <(echo "$listed") "$site/download/SHA256SUMS" >"$work/listed"
(cd "$site/download" && sha256sum --quiet -c "$work/listed") &&
  [ "$(wc -l <"$work/listed")" = "$(grep -cv -e '^SHA256SUMS' -e '\.asc$' <<<"$listed")" ] ||
  fail "the download page's files do not check against SHA256SUMS"
unzip -q -d "$keys" "$site"/download/quorvast-*-windows-x86_64.zip
for file in "$keys"/*/quorvast.exe "$site"/download/*.msi; do
  osslsigncode verify -CAfile "$keys/cert.pem" -in "$file" >/dev/null || fail "$file: no valid signature"
done
echo "signed: a stranger verifies SHA256SUMS.asc with the site's key file, then every listed file; quorvast.exe and the .msi with osslsigncode"

export GNUPGHOME=$keys/gnupg  # the publisher's again
# Timestamped by the local authority: osslsigncode shows its time. Then
# that release rebuilt from its source tarball alone, signatures removed.
make -C "$first" dist "${token_key[@]}" SIGN_TIMESTAMP_URL="$(cat "$keys/tsa/url")" >"$work/stamped.log" 2>&1 ||
  { cat "$work/stamped.log"; fail "make dist with a timestamp server"; }
unzip -q -o -d "$work/stamped" "$a"/*-windows-x86_64.zip
for file in "$work"/stamped/*/quorvast.exe "$a"/*.msi; do
  osslsigncode verify -CAfile "$keys/cert.pem" -TSA-CAfile "$keys/tsa/tsa.pem" -in "$file" 2>&1 | grep -q '^	Timestamp time:' ||
    fail "$file: no timestamp"
done
make -C "$first" rebuild-check DOWNLOADS="$a" >"$work/rebuild.log" 2>&1 || { cat "$work/rebuild.log"; fail "make rebuild-check"; }
[ "$(grep -c ": identical$" "$work/rebuild.log")" = $(($(wc -l <"$a/SHA256SUMS") - 2)) ] ||
  { cat "$work/rebuild.log"; fail "make rebuild-check: not every file identical but the .zip and .msi, which match unsigned"; }
echo "timestamped by a local RFC 3161 server; $(grep '^rebuild-check:' "$work/rebuild.log")"
# Across Debian releases: a release made in a fresh Debian 13 root is
# confirmed here (Debian 12) by make rebuild-check, in a Debian 13 root of
# its own; this one, by a stranger in that Debian 13 root, in a Debian 12 one.
source "$source/packaging/debian_root.sh"
trixie=$work/roots/builder/trixie
{ debian_root trixie "$trixie" && git clone -q "$publisher" "$trixie/root/quorvast" && cp -r "$a" "$trixie/root/downloads" &&
  in_root "$trixie" "cd /root/quorvast && make dist && make rebuild-check DOWNLOADS=/root/downloads"; } >"$work/on-13.log" 2>&1 &&
  cp -r "$trixie/root/quorvast/dist" "$work/made-on-13" && rm -rf "${trixie:?}" &&  # a root takes gigabytes
  make -C "$first" rebuild-check DOWNLOADS="$work/made-on-13" >"$work/from-13.log" 2>&1 ||
  { cat "$work/on-13.log" "$work/from-13.log" 2>/dev/null; fail "a release made on Debian 13 checked on 12, or the other way round"; }
for log in on-13 from-13; do
  grep -q '^rebuilding .* in a Debian [a-z]* root' "$work/$log.log" && grep -q '^rebuild-check: every file matches' "$work/$log.log" ||
    { cat "$work/$log.log"; fail "make rebuild-check across Debian releases ($log): not rebuilt in a root, or not every file matching"; }
done
echo "across Debian releases: a release made on Debian 13 and one made on 12 each confirmed by a stranger on the other"

# The next release, from the publisher's commit with its version raised and
# the key extended, published over the first: every file of the first
# stays with its sum, its winget manifest's installer with it; a site build
# that fails (no secret key to sign with) leaves that site whole.
gpg --batch --quiet --quick-set-expire "$fingerprint" 2y
next=$work/next
git clone -q "$publisher" "$next" && "$source/packaging/raise_version.sh" "$next" &&
  perl -0pi -e "s/^## /## $(sed -n 's/^project(quorvast VERSION \([0-9.]*\).*/\1/p' "$next/CMakeLists.txt") (2026-12-08)\n\n- The next release.\n\n## /m" "$next/CHANGELOG.md" &&
  git -C "$next" -c user.name=check -c user.email=check@quorvast.invalid commit -qam "the next release" &&
  make -C "$next" dist site "${token_key[@]}" PREVIOUS_SITE="$published" >"$work/next.log" 2>&1 || { cat "$work/next.log"; exit 1; }
(cd "$next/build/site/download" && sha256sum --quiet -c "$published/download/SHA256SUMS") || fail "the next site lost a file of the first"
installer=$(sed -n "s|^  InstallerUrl: $(source "$first/build/release.env" && echo "$homepage")||p" "$published"/winget/*/*.installer.yaml)
cmp -s "$published/$installer" "$next/build/site/$installer" && ls "$next"/build/site/winget/*/*.installer.yaml | wc -l | grep -qx 2 ||
  fail "the next site lost the first's winget manifest or its installer"
cp -r "$next/build/site" "$work/next-site"
GNUPGHOME=$keys/stranger make -C "$next" site GPG_KEY="$fingerprint" PREVIOUS_SITE="$published" >"$work/failed.log" 2>&1 &&
  fail "make site without the secret key succeeded"
grep -q '^make site: gpg failed: .*[Nn]o secret key' "$work/failed.log" && diff -r "$work/next-site" "$next/build/site" >/dev/null ||
  { cat "$work/failed.log"; fail "a failed make site did not say gpg's reason, or changed the site"; }
echo "the next release's site keeps every file of the first and its winget installer; a failed make site left it whole"
for suite in bookworm trixie; do
  bash "$source/tests/fresh_machine.sh" "$suite" "$work/roots" --apt "$site" "$next/build/site" || exit 1
done

# An .msi with a table changed (its help link) and signed again differs
# from the rebuilt release, though its files are the same.
tampered=$work/tampered
cp -r "$a" "$tampered" && msi=$(ls "$tampered"/*.msi) &&
  msibuild "$msi" -q "UPDATE Property SET Value='https://quorvast.invalid/' WHERE Property='ARPHELPLINK'" &&
  osslsigncode remove-signature -in "$msi" -out "$msi.u" >/dev/null && rm "$msi" && osslsigncode sign \
    -certs "$keys/cert.pem" -key "$keys/key.pem" -h sha256 -in "$msi.u" -out "$msi" >/dev/null && rm "$msi.u" &&
  (cd "$tampered" && sed -i "s/^[0-9a-f]*  ${msi##*/}\$/$(sha256sum "${msi##*/}" | sed 's/ .*//')  ${msi##*/}/" SHA256SUMS) ||
  fail "the tampered .msi"
bash "$source/packaging/rebuild_check.sh" "$tampered" "$a" | grep -q "^${msi##*/}: DIFFERS, built with the release's own" ||
  fail "make rebuild-check took an .msi whose help link was changed"
# A recorded tool's version changed: named as the tools' drift, not as a file that differs.
record=$(ls "$tampered"/*.buildinfo) && tool=$(sed -n 's/^ \([^ ]*\) .*/\1/p' "$record" | head -n 1) &&
  sed -i "s/^ $tool .*/ $tool 0-drifted/" "$record" &&
  (cd "$tampered" && sed -i "s/^[0-9a-f]*  ${record##*/}\$/$(sha256sum "${record##*/}" | cut -c1-64)  ${record##*/}/" SHA256SUMS) &&
  bash "$source/packaging/rebuild_check.sh" "$tampered" "$a" 2>&1 | grep -q "^$tool: in the record 0-drifted, here " ||
  fail "make rebuild-check did not name $tool, whose recorded version was changed"

# What the recipe refuses: each slip made on a copy, refused with one line
# that names it, leaving dist/ and build/site as they were.
v1=$(source "$first/build/release.env" && echo "$version") v2=$(source "$next/build/release.env" && echo "$version")
snapshot() { (cd "$1" && find dist build/site -type f -print0 2>/dev/null | sort -z | xargs -0 sha256sum); }
copy() {  # copy SITE NAME EDIT: a copy of SITE as $work/NAME, with the shell command EDIT run in it
  rm -rf "${work:?}/$2" && cp -r "$1" "$work/$2" && (cd "$work/$2" && eval "$3") || fail "the copy $2"
}
refused() {  # refused TREE EXPECTED COMMAND...: COMMAND, run in TREE, fails saying EXPECTED (a pattern) in its last line
  local tree=$1 expected=$2 said
  shift 2
  snapshot "$tree" >"$work/before"
  said=$(cd "$tree" && "$@" 2>&1 >/dev/null) && fail "$* succeeded"
  said=$(grep -E '^make (site|dist): ' <<<"$said" | tail -n 1)
  [[ $said == $expected* ]] || fail "$* said: '${said:-nothing}', not '$expected'"
  snapshot "$tree" | cmp -s - "$work/before" || fail "$* changed dist/ or build/site"
}
copy "$work/next-site" no-download "rm -r download/$v1"
copy "$published" no-winget "rm -r winget"
copy "$published" swapped "cp $next/dist/quorvast_${v2}_amd64.deb download/quorvast_${v1}_amd64.deb &&
  sed -i \"s/^[0-9a-f]*\\(  quorvast_${v1}_amd64.deb\\)\$/\$(sha256sum download/quorvast_${v1}_amd64.deb | cut -c1-64)\\1/\" download/SHA256SUMS &&
  cp download/SHA256SUMS download/$v1/SHA256SUMS"
copy "$published" cut-signature "head -c 150 download/$v1/SHA256SUMS.asc >cut && mv cut download/$v1/SHA256SUMS.asc"
site_with=(make site GPG_KEY="$fingerprint")
refused "$next" "make site: PREVIOUS_SITE is not set" "${site_with[@]}"
refused "$next" "make site: PREVIOUS_SITE/apt/pool/main/quorvast_${v1}_" "${site_with[@]}" PREVIOUS_SITE="$work/no-download"
refused "$next" "make site: PREVIOUS_SITE/winget/$v1/ is missing" "${site_with[@]}" PREVIOUS_SITE="$work/no-winget"
refused "$next" "make site: *$v1/SHA256SUMS.asc: BAD signature" "${site_with[@]}" PREVIOUS_SITE="$work/swapped"
refused "$next" "make site: *$v1/SHA256SUMS.asc: " "${site_with[@]}" PREVIOUS_SITE="$work/cut-signature"
refused "$first" "make site: $v1 is published already, with another" "${site_with[@]}" PREVIOUS_SITE="$published"
refused "$first" "make site: $v1 is older than $v2" "${site_with[@]}" PREVIOUS_SITE="$work/next-site"
refused "$next" "make site: the signing key expires on" faketime -f +600d "${site_with[@]}" PREVIOUS_SITE="$published"
mkdir "$work/aside" && mv "$first"/dist/*.asc "$work/aside/"
refused "$first" "make site: PREVIOUS_SITE is signed and dist/ is not" make site PREVIOUS_SITE="$published"
mv "$work"/aside/* "$first/dist/"
mv "$first/dist" "$work/dist"
refused "$first" "make site: there is no release folder" make site PREVIOUS_SITE=none
mv "$work/dist" "$first/dist"
refused "$first" "make site: dist/ is signed but GPG_KEY is not set" make site PREVIOUS_SITE=none
echo "refused: make site without PREVIOUS_SITE, over a copy without download/$v1/ or winget/, over a .deb swapped and a cut signature, over a published $v1 with other files or a newer release, with a key expiring soon, unsigned over signed, without dist/ or GPG_KEY"
start=$SECONDS
refused "$first" "make dist: the timestamp server*does not answer" make dist SIGN_TIMESTAMP_URL=http://127.0.0.1:9/
refused "$first" "make dist: SIGN_KEY cannot sign: *PIN" make dist "${token_key[@]/pin-value=1234/pin-value=9999}"
refused "$first" "make dist: GPG_KEY cannot sign: *[Nn]o secret key" env GNUPGHOME="$keys/stranger" make dist GPG_KEY="$fingerprint"
[ $((SECONDS - start)) -lt 60 ] || fail "make dist took $((SECONDS - start)) s to refuse a server and two keys: it built first"
openssl pkcs12 -export -inkey "$keys/key.pem" -in "$keys/cert.pem" -passout pass:x -out "$keys/signer.p12" &&
  openssl pkey -in "$keys/key.pem" -outform DER -out "$keys/signer.der" &&
  gpg --batch --export-secret-keys "$fingerprint" >"$keys/secret.gpg" && mkdir "$keys/home" &&
  cp -r "$keys/gnupg/private-keys-v1.d" "$keys/home/" || fail "the keys to hide in the tree"
for key in key.pem signer.p12 signer.der secret.gpg home; do
  cp -r "$keys/$key" "$first/doc/$key"
  refused "$first" "make dist: doc/$key* holds" make dist DIST_ALLOW_CHANGES=1
  rm -r "${first:?}/doc/$key"
done
echo >>"$first/README.md"
refused "$first" "make dist: the tree has changes" make dist
git -C "$first" checkout -q README.md
leftovers=$(ls -d "$first"/build/.site-* "$first"/build/.dist-* "$next"/build/.site-* 2>/dev/null)
[ -z "$leftovers" ] || fail "temporary folders left behind: $leftovers"
make -C "$first" clean >/dev/null && [ -f "$first/dist/SHA256SUMS" ] || fail "make clean removed dist/"
echo "refused: make dist with an unreachable timestamp server, a wrong PIN or no secret key, before building; a private key in the tree as PEM, PKCS#12, DER, OpenPGP or a GnuPG home; a changed tree. No temporary folder left; make clean keeps dist/"
