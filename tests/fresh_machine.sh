#!/usr/bin/env bash
# The README's quick start on a fresh machine: a minimal Debian root
# (debootstrap --variant=minbase, make added) with a clone of this commit,
# where, as root in a chroot, `make test` must install what it needs and
# pass, and `make run` must show the Vesta report. Run as root; the root
# file system is kept in ROOTS/SUITE for the next run.
#
# With --apt, the signed apt repositories of two sites instead, served in
# turn at one 127.0.0.1 address, the keyring and source file put where the
# install page puts them (copied in, not fetched with curl): install
# quorvast and its keyring package from SITE, whose key has expired 400
# days on (apt-get update under libfaketime fails); upgrade to NEXT_SITE,
# whose keyring package carries the key extended, so that the same update
# 400 days on passes; SITE's release again from NEXT_SITE; remove --purge
# leaving nothing; a Packages file with one byte changed, or an InRelease
# signed by another key, fails apt-get update and installs nothing.
#
# usage: fresh_machine.sh SUITE [ROOTS] [--apt SITE NEXT_SITE]
# (SUITE: bookworm for Debian 12, trixie for 13)
set -euo pipefail
usage="usage: fresh_machine.sh SUITE [ROOTS] [--apt SITE NEXT_SITE]"
case "$#:${1:-}:${2:-}:${3:-}" in
  1:[!-]*:: | 2:[!-]*:[!-]*: | 5:[!-]*:[!-]*:--apt) ;;
  *) echo "fresh_machine.sh: arguments '$*' do not fit; $usage" >&2; exit 2 ;;
esac
suite=$1 root=$(realpath -m "${2:-/var/tmp/quorvast-roots}/$1")
source=$(git -C "$(dirname "$0")/.." rev-parse --show-toplevel)
source "$source/packaging/debian_root.sh"
debian_root "$suite" "$root"
if [ "${3:-}" != --apt ]; then
  rm -rf "$root/root/quorvast" && git clone -q "$source" "$root/root/quorvast"
  in_root "$root" 'cd /root/quorvast && make test && printf "Vesta\n10\nq\n" | make run | grep -q "(meter): 34315"'
  echo "the quick start works on a fresh Debian $(cat "$root/etc/debian_version")"
  exit 0
fi

site=$(realpath "$4") next=$(realpath "$5")
work=$(mktemp -d)
server=
trap 'kill $server 2>/dev/null; rm -rf "$work"' EXIT
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
serve() {  # serve FOLDER: that site, from now on, at the one address
  [ -z "$server" ] || { kill "$server"; wait "$server" 2>/dev/null || true; }
  python3 -m http.server "$port" --bind 127.0.0.1 --directory "$1" >/dev/null 2>&1 &
  server=$!
  until python3 -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$port/')" 2>/dev/null; do sleep 0.2; done
}
# As the install page says, with the site at this address; only this source
# is updated, not the Debian archive the root came from.
keyring=$(sed -n 's|^Signed-By: ||p' "$site/apt/quorvast.sources")
cp "$site/apt/${keyring##*/}" "$root$keyring"
sed "s|^URIs: .*|URIs: http://127.0.0.1:$port/apt/|" "$site/apt/quorvast.sources" >"$root/etc/apt/sources.list.d/quorvast.sources"
# The host's libfaketime, for apt-get update at a later time.
faketime=$(find /usr/lib -name libfaketime.so.1 | head -n 1)
mkdir -p "$root${faketime%/*}" && cp "$faketime" "$root$faketime"
apt='apt-get -q -o Dir::Etc::SourceList=/dev/null'
later="LD_PRELOAD=$faketime FAKETIME=+400d $apt update -o APT::Update::Error-Mode=any"
# Debian 12's apt checks with gpgv, which refuses the first key once it has
# expired; Debian 13's with Sequoia's sqv, which still takes a signature
# made while the key was valid: there only the extended key's update runs.
expired="! $later"
[ ! -x "$root/usr/bin/sqv" ] || expired=true
release_of() { (source "$1/../release.env" && echo "$version"); }
runs() { echo "printf \"Vesta\\n10\\nq\\n\" | quorvast | grep -q \"Quorvast $1 is free software\" && [ \"\$(dpkg -l quorvast | grep -c ^ii)\" = 1 ]"; }
fail() { echo "$suite: $*"; exit 1; }
serve "$site"
in_root "$root" "$apt update && $apt install -y quorvast quorvast-archive-keyring && $(runs "$(release_of "$site")") &&
  rm -rf /var/lib/apt/lists/*127.0.0.1* && $expired" >"$work/log" 2>&1 ||
  { cat "$work/log"; fail "apt-get install from the site's repository, or its key still valid 400 days on"; }
serve "$next"
in_root "$root" "$apt update && $apt upgrade -y && $(runs "$(release_of "$next")") &&
  rm -rf /var/lib/apt/lists/*127.0.0.1* && $later &&
  $apt install -y --allow-downgrades quorvast=$(release_of "$site") && $(runs "$(release_of "$site")")" >"$work/log" 2>&1 ||
  { cat "$work/log"; fail "apt-get upgrade to the next release and its extended key, or the earlier release again"; }
in_root "$root" "$apt remove --purge -y quorvast quorvast-archive-keyring && [ ! -e $keyring ] && ! dpkg -l quorvast 2>/dev/null | grep -q ^ii &&
  ! ls -d /usr/bin/quorvast /usr/share/doc/quorvast /usr/share/man/man1/quorvast.1.gz 2>/dev/null" >"$work/log" 2>&1 ||
  { cat "$work/log"; fail "apt-get remove --purge left files"; }
# Tampered copies of the repository: apt-get update fails, nothing installs.
mkdir -m 700 "$work/other"
GNUPGHOME=$work/other gpg --batch --quiet --passphrase '' --quick-gen-key "Not Quorvast <no@quorvast.invalid>" ed25519 sign 1d
for tamper in packages signer; do
  rm -rf "$work/site" && cp -r "$next" "$work/site"
  stable=$work/site/apt/dists/stable
  if [ $tamper = packages ]; then
    packages=$stable/main/binary-amd64/Packages
    sed -i '0,/^Maintainer: Q/s//Maintainer: q/' "$packages" && gzip -9nc "$packages" >"$packages.gz"  # one byte
  else
    GNUPGHOME=$work/other gpg --batch --yes --clearsign --output "$stable/InRelease" "$stable/Release"
    GNUPGHOME=$work/other gpg --batch --yes --armor --detach-sign --output "$stable/Release.gpg" "$stable/Release"
  fi
  serve "$work/site"
  ! in_root "$root" "rm -rf /var/lib/apt/lists/*127.0.0.1* && $apt update -o APT::Update::Error-Mode=any" >"$work/log" 2>&1 &&
    ! in_root "$root" "$apt install -y quorvast" >>"$work/log" 2>&1 || { cat "$work/log"; fail "a tampered repository ($tamper) was taken"; }
done
GNUPGHOME=$work/other gpgconf --kill all
[ -c /dev/null ] || fail "/dev/null is no character device"
echo "apt on a fresh Debian $(cat "$root/etc/debian_version"): installs $(release_of "$site"), upgrades to $(release_of "$next") and its extended key, still updating past the first expiry, and back, removes it whole, refuses a changed Packages file and another signer"
