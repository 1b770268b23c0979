#!/usr/bin/env bash
# What one federation level costs: the same search asked of a regional Quorix
# directly, and through a front end that has the regional Quorix as its only
# Vexa node. Both sites run under lighttpd on 127.0.0.1 over the two demo
# nodes, with the cache off so that every request does the whole search.
#
#   bench/federation_level.sh [BUILD_DIR] [REQUESTS]     (default build-release, 50)
#
# Prints the median wall time of each way and the CGI CPU time per request
# (user + system of the CGI processes, which lighttpd reaps), and the difference:
# the wall time and CPU that one level adds.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=$(realpath -m "${1:-build-release}")
REQUESTS=${2:-50}
WORK=$(mktemp -d /tmp/quorix-federation-bench.XXXXXX)

source bench/local_servers.sh

# The programs this script runs, built if they are missing or out of date.
[[ -f "$BUILD/build.ninja" ]] ||
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORIX_BUILD_PANEL=OFF >/dev/null
cmake --build "$BUILD" --target quorix demo_vexa_node demo_opensearch_node quorix_demo_site >/dev/null

"$BUILD/tools/demo_vexa_node" --corpus tools/demo/data/riverton.tsv --port 0 \
  --port-file "$WORK/vexa.port" >"$WORK/vexa.out" 2>&1 &
PIDS+=($!)
"$BUILD/tools/demo_opensearch_node" --corpus tools/demo/data/magazine.tsv --port 0 \
  --port-file "$WORK/os.port" >"$WORK/os.out" 2>&1 &
PIDS+=($!)
VEXA=$(read_port_file "$WORK/vexa.port")
OS=$(read_port_file "$WORK/os.port")

# site NAME PORT NODE-ARGS...: lays out a site and starts its lighttpd; the pid goes to NAME.pid.
site() {
  local name=$1 port=$2
  shift 2
  "$BUILD/tools/quorix_demo_site" --dir "$WORK/$name" --quorix "$BUILD/quorix" --source "$ROOT" \
    --web-port "$port" --cache-minutes 0 "$@" >"$WORK/$name.out" 2>&1
  lighttpd -D -f "$WORK/$name/lighttpd.conf" >>"$WORK/$name.out" 2>&1 &
  PIDS+=($!)
  echo $! >"$WORK/$name.pid"
  wait_port "$port"
}
REGIONAL=$(free_port)
site regional "$REGIONAL" --vexa-port "$VEXA" --opensearch-port "$OS"
FRONT=$(free_port)
site front "$FRONT" --vexa-url "http://127.0.0.1:$REGIONAL/quorix.cgi" --timeout-ms 10000

# Children's CPU of a lighttpd (the CGI runs it reaped), in clock ticks.
child_ticks() { awk '{print $16 + $17}' "/proc/$(cat "$WORK/$1.pid")/stat"; }
TICK=$(getconf CLK_TCK)

# measure NAME URL: the median wall time in ms, and the CGI CPU per request in ms
# of the sites named in the rest of the arguments.
measure() {
  local url=$1
  shift
  local before=0 after=0 s
  for s in "$@"; do before=$((before + $(child_ticks "$s"))); done
  for _ in $(seq "$REQUESTS"); do
    curl -s -o /dev/null -w '%{time_total}\n' "$url"
  done | sort -n | awk '{ t[NR] = $1 } END { printf "%.2f", t[int((NR + 1) / 2)] * 1000 }'
  for s in "$@"; do after=$((after + $(child_ticks "$s"))); done
  echo " $(awk -v d=$((after - before)) -v n="$REQUESTS" -v hz="$TICK" 'BEGIN { printf "%.2f", d * 1000 / hz / n }')"
}

QUERY="vexa_query=garden&vexa_format=rss"
curl -s -o /dev/null "http://127.0.0.1:$FRONT/quorix.cgi?$QUERY"  # warm-up
# The front end asks its node for twice the page (the over-request factor), so
# the direct request asks for 20 items to make the regional search the same work.
read -r DIRECT_WALL DIRECT_CPU < <(measure "http://127.0.0.1:$REGIONAL/quorix.cgi?$QUERY&vexa_per_page=20" regional)
read -r CHAIN_WALL CHAIN_CPU < <(measure "http://127.0.0.1:$FRONT/quorix.cgi?$QUERY" regional front)

printf '%-34s %10s %14s\n' "" "wall (ms)" "CGI CPU (ms)"
printf '%-34s %10s %14s\n' "regional search, asked directly" "$DIRECT_WALL" "$DIRECT_CPU"
printf '%-34s %10s %14s\n' "through one front end" "$CHAIN_WALL" "$CHAIN_CPU"
printf '%-34s %10s %14s\n' "one federation level adds" \
  "$(awk -v a="$CHAIN_WALL" -v b="$DIRECT_WALL" 'BEGIN { printf "%.2f", a - b }')" \
  "$(awk -v a="$CHAIN_CPU" -v b="$DIRECT_CPU" 'BEGIN { printf "%.2f", a - b }')"
echo "($REQUESTS requests each, median wall time, cache off, $(basename "$BUILD"))"
