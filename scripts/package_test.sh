#!/usr/bin/env bash
# Builds the Debian packages from a build folder (default build/), checks them
# with lintian, then unpacks the quorix package into a temporary root and
# checks what an administrator relies on: its files are where the README says,
# its search program answers a search against a local demo node, and its
# FastCGI service and socket pass systemd-analyze verify (when present).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
bash scripts/package.sh "$BUILD"

WORK=$(mktemp -d)
source bench/local_servers.sh
passed=0
failed=0
check() {  # $1 what, then the command
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    echo "FAILED: $what"
    failed=$((failed + 1))
  fi
}

ROOT="$WORK/root"
dpkg-deb -x "$(ls "$BUILD"/quorix_*.deb)" "$ROOT"
for file in usr/lib/quorix/quorix usr/share/quorix/search_template.html \
  usr/share/quorix/quorix-results.js \
  usr/share/quorix/lang/English.vlang usr/share/quorix/HELP/index.html \
  lib/systemd/system/quorix@.service lib/systemd/system/quorix@.socket \
  usr/share/man/man8/quorix.8.gz usr/share/doc/quorix/copyright; do
  check "$file in the package" test -e "$ROOT/$file"
done

# The packaged program answers a search as the CGI of a site.
"$BUILD/tools/demo_vexa_node" --corpus tools/demo/data/riverton.tsv --port 0 \
  --port-file "$WORK/node.port" >"$WORK/node.out" 2>&1 &
PIDS+=($!)
"$BUILD/tools/quorix_demo_site" --dir "$WORK/site" --quorix "$ROOT/usr/lib/quorix/quorix" \
  --source "$PWD" --web-port 1 --vexa-port "$(read_port_file "$WORK/node.port")" >/dev/null
answer=$(cd "$WORK/site/www" && env -i REQUEST_METHOD=GET \
  QUERY_STRING='vexa_query=garden&vexa_format=json' ./quorix.cgi)
check "the packaged program answers a search" grep -q '"total":[1-9]' <<<"$answer"

if command -v systemd-analyze >/dev/null; then
  # Verified in a copy of this system's units, with the package's files in it.
  mkdir -p "$WORK/units/lib/systemd" "$WORK/units/usr/lib"
  cp -r /lib/systemd/system "$WORK/units/lib/systemd/"
  cp "$ROOT"/lib/systemd/system/quorix@.* "$WORK/units/lib/systemd/system/"
  cp -r "$ROOT/usr/lib/quorix" "$WORK/units/usr/lib/"
  check "the service and socket pass systemd-analyze verify" \
    systemd-analyze verify --root="$WORK/units" --man=no \
    quorix@var-www-search.service quorix@var-www-search.socket
fi

echo "package: $passed passed, $failed failed"
((failed == 0))
