#!/usr/bin/env bash
# Lighthouse (the npm package pinned in package-lock.json, driving Debian's
# chromium) on the web page served from PAGE_DIR on 127.0.0.1, as
# `make web-serve` serves it, on Lighthouse's default mobile profile. Prints
# each category's score out of 100, and fails when one is under MIN.
#
# usage: lighthouse.sh PAGE_DIR[/PAGE.html] MIN CATEGORY...
# (CATEGORY: accessibility, best-practices, seo, performance)
set -euo pipefail
page=$1 min=$2 path=""
[ -f "$page" ] && path=${page##*/} page=$(dirname "$page")
shift 2
here=$(cd "$(dirname "$0")" && pwd)
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$page" >/dev/null 2>&1 &
server=$!
report=$(mktemp)
trap 'kill $server; rm -f "$report"' EXIT
python3 -c "import socket, time
for _ in range(100):
    try: socket.create_connection(('127.0.0.1', $port)); break
    except OSError: time.sleep(0.1)"
CHROME_PATH=/usr/bin/chromium "$here/node_modules/.bin/lighthouse" "http://127.0.0.1:$port/$path" --quiet \
  --only-categories="$(IFS=,; echo "$*")" --chrome-flags="--headless --no-sandbox --disable-gpu" \
  --output=json --output-path="$report"
node -e '
  const report = JSON.parse(require("fs").readFileSync(process.argv[1])), min = Number(process.argv[2]);
  let low = false;
  for (const category of Object.values(report.categories)) {
    const score = Math.round(category.score * 100);
    console.log(`lighthouse ${category.id}: ${score}`);
    low ||= score < min;
    if (score < 100) for (const ref of category.auditRefs) {
      const audit = report.audits[ref.id];
      if (ref.weight > 0 && audit.score !== null && audit.score < 1) console.log(`  ${audit.id}: ${audit.title}`);
    }
  }
  process.exit(low ? 1 : 0);' "$report" "$min"
