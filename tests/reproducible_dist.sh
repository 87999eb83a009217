#!/usr/bin/env bash
# Builds the release folder twice, from two fresh clones of the current
# commit in different folders and at different times, and checks that
# SHA256SUMS agree (where they do not, diffoscope shows what differs), that
# they hold for the files, and that lintian -I --pedantic has nothing to say
# about any of the Debian packages, each of its own architecture. Then the
# first folder again, signed with a throwaway certificate and GnuPG key: the
# signatures verify.
set -u
source=$(git -C "$(dirname "$0")/.." rev-parse --show-toplevel)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for clone in first/quorvast second-clone/elsewhere/quorvast; do
  git clone -q "$source" "$work/$clone"
  make -C "$work/$clone" dist >"$work/${clone%%/*}.log" 2>&1 || { cat "$work/${clone%%/*}.log"; exit 1; }
  sleep 2  # a later time for the second build
done
a=$work/first/quorvast/dist b=$work/second-clone/elsewhere/quorvast/dist
(cd "$a" && sha256sum --quiet -c SHA256SUMS) || exit 1
for deb in "$a"/*.deb; do
  architecture=${deb##*_} architecture=${architecture%.deb}
  [ "$(dpkg-deb -f "$deb" Architecture)" = "$architecture" ] || { echo "$deb: wrong Architecture"; exit 1; }
  [ -z "$(lintian -I --pedantic "$deb" 2>/dev/null)" ] || { lintian -I --pedantic "$deb"; exit 1; }
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
  echo "reproducible: $(wc -l <"$a/SHA256SUMS") files, SHA256SUMS identical; packages lintian-clean"
  signed || exit 1
  echo "signed: quorvast.exe and the .msi verify with osslsigncode, SHA256SUMS.asc with gpg"
  exit 0
fi
diff "$a/SHA256SUMS" "$b/SHA256SUMS"
for file in $(diff <(sort "$a/SHA256SUMS") <(sort "$b/SHA256SUMS") | awk '/^[<>]/ { print $3 }' | sort -u); do
  diffoscope --text - "$a/$file" "$b/$file" | head -n 60
done
exit 1
