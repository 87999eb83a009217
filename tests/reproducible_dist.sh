#!/usr/bin/env bash
# make dist and make site twice, from two fresh clones, as two accounts
# would (other paths, umasks, locales, time zones, home folders and times):
# the same bytes, or the first file that differs and how. Then, in the
# first: the sums, lintian on each package, the tarball's files, the Windows
# README.txt, the site's crawl (tests/browser/run_page.py --site) and
# Lighthouse. Then the release recipe with throwaway keys (make dist signed,
# make site) and a stranger's checks with only what the site publishes; a
# second make site, the same apt repository but for its signatures; the
# next release and apt in fresh Debian 12 and 13 roots
# (tests/fresh_machine.sh --apt); make site without dist/ and make dist in
# a changed tree each refusing in one line.
set -u
source=$(git -C "$(dirname "$0")/.." rev-parse --show-toplevel)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "$*"; exit 1; }
builder() {  # builder CLONE UMASK LOCALE TIME-ZONE: make dist and make site there, as that account
  git clone -q "$source" "$work/$1" && mkdir "$work/$1.home" &&
    (umask "$2" && cd "$work/$1" && HOME=$work/$1.home LC_ALL=$3 TZ=$4 make dist site) >"$work/$1.log" 2>&1 ||
    { cat "$work/$1.log"; exit 1; }
}
builder first 022 C UTC
sleep 2  # a later time for the second build
builder second-clone/somewhere/much/longer/quorvast 002 C.UTF-8 NZST-12NZDT
first=$work/first second=$work/second-clone/somewhere/much/longer/quorvast
a=$first/dist b=$second/dist
if ! cmp -s "$a/SHA256SUMS" "$b/SHA256SUMS"; then
  differing=$(diff <(sort "$a/SHA256SUMS") <(sort "$b/SHA256SUMS") | awk '/^[<>]/ { print $3 }' | sort -u)
  echo "not reproducible: $(head -n 1 <<<"$differing") differs first, of: $(echo $differing)"
  for file in $differing; do diffoscope --text - "$a/$file" "$b/$file" | head -n 60; done
  exit 1
fi
diff -r "$first/build/site" "$second/build/site" >/dev/null || fail "the two web sites differ"
echo "reproducible: $(wc -l <"$a/SHA256SUMS") files, SHA256SUMS identical, the web sites too"

(cd "$a" && sha256sum --quiet -c SHA256SUMS) || exit 1
for deb in "$a"/*.deb; do
  architecture=${deb##*_} architecture=${architecture%.deb}
  [ "$(dpkg-deb -f "$deb" Architecture)" = "$architecture" ] || fail "$deb: wrong Architecture"
  [ -z "$(lintian -I --pedantic "$deb" 2>/dev/null)" ] || { lintian -I --pedantic "$deb"; exit 1; }
done
version=$(sed -n 's/^version=//p' "$first/build/release.env")
diff <(tar -tzf "$a/quorvast-$version.tar.gz" | sed 's|^[^/]*/||' | grep -v -e '/$' -e '^$' | sort) \
  <(git -C "$first" ls-files | sort) || fail "the source tarball holds other files than git ls-files"
unzip -p "$a"/*-windows-x86_64.zip '*/README.txt' >"$work/zip-readme.txt"
(cd "$work" && msiextract -C msi "$a"/*.msi >/dev/null) && cp "$(find "$work/msi" -name README.txt)" "$work/msi-readme.txt"
for readme in "$work"/{zip,msi}-readme.txt; do
  ! grep -qE '<img|apt-get|\]\(' "$readme" && grep -q 'Start menu' "$readme" && [ "$(grep -c $'\r$' "$readme")" = "$(wc -l <"$readme")" ] ||
    fail "${readme##*/}: Markdown, Debian commands, no Start menu or not Windows line ends"
done
browser=$source/tests/browser
/usr/bin/python3 "$browser/run_page.py" "$first/build/site" --site --axe "$browser/node_modules/axe-core/axe.min.js" </dev/null ||
  fail "the web site's crawl, axe, home links, widths or download list"
for page in index download; do
  bash "$browser/lighthouse.sh" "$first/build/site/$page.html" 100 accessibility best-practices seo || exit 1
done

# The release recipe, signed with throwaway keys made here: make dist, then
# make site, which publishes that folder as it is.
keys=$work/keys
mkdir -m 700 "$keys" "$keys/gnupg" "$keys/stranger"
export GNUPGHOME=$keys/gnupg
trap 'gpgconf --kill all; GNUPGHOME=$keys/stranger gpgconf --kill all; rm -rf "$work"' EXIT  # the agents gpg started
openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=Quorvast test signer" -days 2 \
  -addext extendedKeyUsage=codeSigning -keyout "$keys/key.pem" -out "$keys/cert.pem" 2>/dev/null &&
  gpg --batch --quiet --passphrase '' --quick-gen-key "Quorvast test <test@quorvast.invalid>" ed25519 sign 1d &&
  make -C "$first" dist SIGN_CERT="$keys/cert.pem" SIGN_KEY="$keys/key.pem" GPG_KEY=test@quorvast.invalid \
    >"$work/signed.log" 2>&1 && make -C "$first" site GPG_KEY=test@quorvast.invalid >>"$work/signed.log" 2>&1 ||
  { cat "$work/signed.log"; exit 1; }
site=$first/build/site
[ -f "$site/download/SHA256SUMS.asc" ] || fail "make site after a signed make dist lost SHA256SUMS.asc"
cp -r "$site/apt" "$work/apt"
make -C "$first" site GPG_KEY=test@quorvast.invalid >>"$work/signed.log" 2>&1 &&
  diff -r -x InRelease -x Release.gpg "$work/apt" "$site/apt" >/dev/null || fail "two make site runs give other apt repositories"
# The next release, from the same commit with its version raised.
next=$work/next
git clone -q "$source" "$next" && perl -pi -e 's/^(project\(quorvast VERSION \d+\.\d+\.)(\d+)/$1 . ($2 + 1)/e' "$next/CMakeLists.txt" &&
  git -C "$next" -c user.name=check -c user.email=check@quorvast.invalid commit -qam "the next release" &&
  make -C "$next" dist site GPG_KEY=test@quorvast.invalid >"$work/next.log" 2>&1 || { cat "$work/next.log"; exit 1; }
for suite in bookworm trixie; do
  bash "$source/tests/fresh_machine.sh" "$suite" "$work/roots" --apt "$site" "$next/build/site" || exit 1
done
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

# What the recipe refuses, each in one line.
mv "$first/dist" "$work/dist"
refusal=$(make -C "$first" site 2>&1 >/dev/null | grep -m1 '^make site:')
mv "$work/dist" "$first/dist"
[[ $refusal == "make site: there is no release folder"* ]] || fail "make site without dist/ said: $refusal"
echo >>"$first/README.md"
refusal=$(make -C "$first" dist 2>&1 >/dev/null | grep -m1 '^make dist:')
[[ $refusal == "make dist: the tree has changes"* ]] || fail "make dist in a changed tree said: $refusal"
echo "refused: make site without a release folder, make dist in a changed tree"
