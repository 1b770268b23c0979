#!/usr/bin/env bash
# What a visitor waits for when one node is slow: the Release build's quorix as
# a CGI under lighttpd with 16 local demo Vexa nodes, 15 answering after 100 ms
# and one after 3000 ms (every node's time-out 5000 ms, caching on), asked for
# distinct searches (every one a cache miss). One site per page deadline, all
# served at once and asked in turn, query by query, so that every figure comes
# from the same run: the median of curl's time_total per site, and its ratio to
# the first.
#
#   bench/deadline_bench.sh
#   BENCH_QUERIES=20 bench/deadline_bench.sh
#   BENCH_DEADLINES="absent 0 500 1500" bench/deadline_bench.sh
#
# "absent" leaves PageDeadlineMs out of the settings; a number is written as
# "PageDeadlineMs = N" (0 is off).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD="$ROOT/build-release"
QUERIES=${BENCH_QUERIES:-10}
DEADLINES=${BENCH_DEADLINES:-"absent 500"}
FAST_MS=100
SLOW_MS=3000
TIMEOUT_MS=5000
ITEMS=10
DELAY_MS=$FAST_MS

for deadline in $DEADLINES; do
  if [[ $deadline != absent && ! $deadline =~ ^[0-9]+$ ]]; then
    echo "BENCH_DEADLINES holds \"absent\" or numbers of milliseconds, not \"$deadline\"" >&2
    exit 2
  fi
done
if ! [[ $QUERIES =~ ^[1-9][0-9]*$ ]]; then
  echo "BENCH_QUERIES must be a positive number, not \"$QUERIES\"" >&2
  exit 2
fi

WORK=$(mktemp -d /tmp/quorix-deadline.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
bash scripts/install-deps.sh >/dev/null
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORIX_BUILD_PANEL=OFF >/dev/null
cmake --build "$BUILD" --target quorix demo_vexa_node quorix_demo_site >/dev/null

source bench/bench_sites.sh
trap 'stop_all; rm -rf "$WORK"' EXIT

start_nodes 1 "$ITEMS" "$SLOW_MS" slow
SLOW_ARGS=("${NODE_ARGS[@]}")
start_nodes 15 "$ITEMS" "$FAST_MS" fast
NODE_ARGS+=("${SLOW_ARGS[@]}")

# One site and one lighttpd per deadline; PORTS[i] serves the i-th.
PORTS=()
next_port=9500
for deadline in $DEADLINES; do
  port=$(free_port "$next_port")
  site="$WORK/site-$deadline"
  write_site "$site" "$port" 10 2 --timeout-ms "$TIMEOUT_MS"
  [[ $deadline == absent ]] || printf 'PageDeadlineMs = %d\n' "$deadline" >>"$site/www/settings.qxdat"
  lighttpd -D -f "$site/lighttpd.conf" >"$site/lighttpd.out" 2>&1 &
  PIDS+=($!)
  wait_port "$port" || { echo "lighttpd for $site did not start" >&2; exit 1; }
  PORTS+=("$port")
  next_port=$((port + 1))
done

# Prints curl's time_total in ms for one search; fails on anything but a page
# with results.
visit() {  # $1 port, $2 query
  local figures
  figures=$(curl -s -o "$WORK/page.html" -w '%{http_code} %{time_total}' --max-time 30 \
    "http://127.0.0.1:$1/quorix.cgi?vexa_query=$2")
  if [[ ${figures%% *} != 200 ]] || ! grep -q 'results found' "$WORK/page.html"; then
    echo "search on port $1 answered ${figures%% *} without results: $WORK/page.html" >&2
    return 1
  fi
  awk -v s="${figures#* }" 'BEGIN {printf "%.1f\n", s * 1000}'
}

median() { sort -n | awk '{a[NR] = $1} END {printf "%.1f", NR % 2 ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }

for port in "${PORTS[@]}"; do visit "$port" "bench+warmup" >/dev/null; done
declare -A TIMES
for ((q = 1; q <= QUERIES; q++)); do
  i=0
  for deadline in $DEADLINES; do
    TIMES[$deadline]+="$(visit "${PORTS[$i]}" "bench+query$q") "
    i=$((i + 1))
  done
done
# Searches finishing in the background end within the slowest node's time-out.
sleep $((TIMEOUT_MS / 1000 + 1))

echo "Visitor's wall time, $QUERIES distinct searches (cache misses), 15 nodes at ${FAST_MS} ms" \
  "and one at ${SLOW_MS} ms, node time-outs ${TIMEOUT_MS} ms, CGI under lighttpd:"
printf '  %-16s %10s %10s %10s %8s\n' PageDeadlineMs median_ms min_ms max_ms ratio
base=""
for deadline in $DEADLINES; do
  read -ra times <<<"${TIMES[$deadline]}"
  med=$(printf '%s\n' "${times[@]}" | median)
  [[ -n $base ]] || base=$med
  printf '  %-16s %10s %10s %10s %8s\n' "$deadline" "$med" \
    "$(printf '%s\n' "${times[@]}" | sort -n | head -1)" \
    "$(printf '%s\n' "${times[@]}" | sort -n | tail -1)" \
    "$(awk -v a="$med" -v b="$base" 'BEGIN {printf "%.2f", a / b}')"
done
