#!/usr/bin/env bash
# Builds the release folder twice, from two fresh clones of the current
# commit in different folders and at different times, and checks that
# SHA256SUMS agree (where they do not, diffoscope shows what differs), that
# they hold for the files, and that lintian -I --pedantic has nothing to say
# about any of the Debian packages, each of its own architecture.
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
if cmp -s "$a/SHA256SUMS" "$b/SHA256SUMS"; then
  echo "reproducible: $(wc -l <"$a/SHA256SUMS") files, SHA256SUMS identical; packages lintian-clean"
  exit 0
fi
diff "$a/SHA256SUMS" "$b/SHA256SUMS"
for file in $(diff <(sort "$a/SHA256SUMS") <(sort "$b/SHA256SUMS") | awk '/^[<>]/ { print $3 }' | sort -u); do
  diffoscope --text - "$a/$file" "$b/$file" | head -n 60
done
exit 1
