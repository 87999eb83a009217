#!/usr/bin/env bash
# Builds the release folder twice, from two fresh clones of the current
# commit in different folders and at different times, and checks that
# SHA256SUMS agree (where they do not, diffoscope shows what differs), that
# they hold for the files, and that lintian -I --pedantic has nothing to say
# about any of the Debian packages, each of its own architecture; that the
# source tarball holds exactly the tracked files, and the Windows README.txt
# is plain text for Windows. The web site built beside each is the same
# bytes too: a crawl finds nothing broken, axe nothing amiss, and every
# release file listed with its sum; Lighthouse scores its landing and
# download pages. Then the first folder again, signed with a throwaway
# certificate and GnuPG key: the signatures verify.
set -u
source=$(git -C "$(dirname "$0")/.." rev-parse --show-toplevel)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for clone in first/quorvast second-clone/elsewhere/quorvast; do
  git clone -q "$source" "$work/$clone"
  make -C "$work/$clone" site >"$work/${clone%%/*}.log" 2>&1 || { cat "$work/${clone%%/*}.log"; exit 1; }
  sleep 2  # a later time for the second build
done
a=$work/first/quorvast/dist b=$work/second-clone/elsewhere/quorvast/dist
(cd "$a" && sha256sum --quiet -c SHA256SUMS) || exit 1
for deb in "$a"/*.deb; do
  architecture=${deb##*_} architecture=${architecture%.deb}
  [ "$(dpkg-deb -f "$deb" Architecture)" = "$architecture" ] || { echo "$deb: wrong Architecture"; exit 1; }
  [ -z "$(lintian -I --pedantic "$deb" 2>/dev/null)" ] || { lintian -I --pedantic "$deb"; exit 1; }
done
fail() { echo "$*"; exit 1; }
version=$(sed -n 's/^project(quorvast VERSION \([^ ]*\).*/\1/p' "$source/CMakeLists.txt")
diff <(tar -tzf "$a/quorvast-$version.tar.gz" | sed 's|^[^/]*/||' | grep -v -e '/$' -e '^$' | sort) \
  <(git -C "$work/first/quorvast" ls-files | sort) || fail "the source tarball holds other files than git ls-files"
unzip -p "$a"/*-windows-x86_64.zip '*/README.txt' >"$work/zip-readme.txt"
(cd "$work" && msiextract -C msi "$a"/*.msi >/dev/null) && cp "$(find "$work/msi" -name README.txt)" "$work/msi-readme.txt"
for readme in "$work"/{zip,msi}-readme.txt; do
  ! grep -qE '<img|apt-get|\]\(' "$readme" && grep -q 'Start menu' "$readme" && [ "$(grep -c $'\r$' "$readme")" = "$(wc -l <"$readme")" ] ||
    fail "${readme##*/}: Markdown, Debian commands, no Start menu or not Windows line ends"
done
diff -r "$work/first/quorvast/build/site" "$work/second-clone/elsewhere/quorvast/build/site" >/dev/null ||
  fail "the two web sites differ"
browser=$source/tests/browser
/usr/bin/python3 "$browser/run_page.py" "$work/first/quorvast/build/site" --site --axe "$browser/node_modules/axe-core/axe.min.js" </dev/null ||
  fail "the web site's crawl, axe or download list"
for page in index download; do
  bash "$browser/lighthouse.sh" "$work/first/quorvast/build/site/$page.html" 100 accessibility best-practices seo || exit 1
done
signed() {
  local keys=$work/keys
  mkdir -m 700 "$keys" "$keys/gnupg"
  export GNUPGHOME=$keys/gnupg
  trap 'gpgconf --kill all; rm -rf "$work"' EXIT  # the agent gpg started for this folder
  openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=Quorvast test signer" -days 2 \
    -addext extendedKeyUsage=codeSigning -keyout "$keys/key.pem" -out "$keys/cert.pem" 2>/dev/null &&
    gpg --batch --quiet --passphrase '' --quick-gen-key "Quorvast test <test@quorvast.invalid>" ed25519 sign 1d &&
    make -C "$work/first/quorvast" dist SIGN_CERT="$keys/cert.pem" SIGN_KEY="$keys/key.pem" \
      GPG_KEY=test@quorvast.invalid >"$work/signed.log" 2>&1 || { cat "$work/signed.log"; return 1; }
  unzip -q -d "$keys" "$a"/quorvast-*-windows-x86_64.zip
  for file in "$keys"/*/quorvast.exe "$a"/*.msi; do
    osslsigncode verify -CAfile "$keys/cert.pem" -in "$file" >/dev/null || { echo "$file: no valid signature"; return 1; }
  done
  gpg --batch --quiet --verify "$a/SHA256SUMS.asc" "$a/SHA256SUMS" 2>/dev/null || { echo "SHA256SUMS.asc does not verify"; return 1; }
}
if cmp -s "$a/SHA256SUMS" "$b/SHA256SUMS"; then
  echo "reproducible: $(wc -l <"$a/SHA256SUMS") files, SHA256SUMS identical, the web sites too; packages lintian-clean"
  signed || exit 1
  echo "signed: quorvast.exe and the .msi verify with osslsigncode, SHA256SUMS.asc with gpg"
  exit 0
fi
diff "$a/SHA256SUMS" "$b/SHA256SUMS"
for file in $(diff <(sort "$a/SHA256SUMS") <(sort "$b/SHA256SUMS") | awk '/^[<>]/ { print $3 }' | sort -u); do
  diffoscope --text - "$a/$file" "$b/$file" | head -n 60
done
exit 1
