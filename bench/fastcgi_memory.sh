#!/usr/bin/env bash
# Whether a persistent FastCGI process returns to its baseline: one quorix
# process under lighttpd serves mixed requests (searches for ever new words,
# pages from the cache, the form, an RSS answer, a malformed query) and its
# resident set size is read after the first REQUESTS_A and after REQUESTS_B.
#
#   bench/fastcgi_memory.sh [BUILD_DIR] [REQUESTS_A] [REQUESTS_B]   (build-release, 100, 10000)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=$(realpath -m "${1:-build-release}")
FIRST=${2:-100}
TOTAL=${3:-10000}
WORK=$(mktemp -d /tmp/quorix-fastcgi-memory.XXXXXX)

source bench/local_servers.sh

# The programs this script runs, built if they are missing or out of date.
[[ -f "$BUILD/build.ninja" ]] ||
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORIX_BUILD_PANEL=OFF >/dev/null
cmake --build "$BUILD" --target quorix demo_vexa_node quorix_demo_site >/dev/null

NODE_ARGS=()
for n in 0 1 2 3; do
  "$BUILD/tools/demo_vexa_node" --corpus tools/demo/data/riverton.tsv --port 0 \
    --port-file "$WORK/node$n.port" >"$WORK/node$n.out" 2>&1 &
  PIDS+=($!)
done
for n in 0 1 2 3; do NODE_ARGS+=(--vexa-port "$(read_port_file "$WORK/node$n.port")"); done

PORT=$(free_port)
"$BUILD/tools/quorix_demo_site" --dir "$WORK/site" --quorix "$BUILD/quorix" --source "$ROOT" \
  --web-port "$PORT" --cache-minutes 60 --fastcgi "${NODE_ARGS[@]}" >"$WORK/site.out"
lighttpd -D -f "$WORK/site/lighttpd.conf" >>"$WORK/site.out" 2>&1 &
PIDS+=($!)
wait_port "$PORT"
URL="http://127.0.0.1:$PORT/quorix.cgi"

# Request i of the mix.
request() {
  local i=$1
  case $((i % 6)) in
    0) curl -s -o /dev/null "$URL?vexa_query=garden+w$i" ;;         # a new search, cached
    1) curl -s -o /dev/null "$URL?vexa_query=garden+w$((i - 1))&vexa_page=2&vexa_per_page=2" ;;
    2) curl -s -o /dev/null "$URL" ;;                                # the form alone
    3) curl -s -o /dev/null "$URL?vexa_query=river&vexa_format=rss" ;;
    4) curl -s -o /dev/null "$URL?vexa_query=%ZZ" ;;                 # malformed
    5) curl -s -o /dev/null "$URL?vexa_query=town&vexa_debug=2" ;;
  esac
}
rss_kb() { awk '/VmRSS/ {print $2}' "/proc/$(pgrep -f "$WORK/site/www/quorix.cgi" | head -1)/status"; }

for ((i = 0; i < FIRST; i++)); do request "$i"; done
after_first=$(rss_kb)
for ((i = FIRST; i < TOTAL; i++)); do request "$i"; done
after_total=$(rss_kb)
awk -v a="$after_first" -v b="$after_total" -v n="$FIRST" -v m="$TOTAL" 'BEGIN {
  printf "RSS after %d requests: %.1f MB; after %d: %.1f MB (%+.1f %%)\n", n, a / 1024, m, b / 1024,
    (b - a) * 100 / a }'
