#!/usr/bin/env bash
# Whole-request figures for the built quorix (Release build) against local demo
# nodes, as a CGI run per request and as a FastCGI application under lighttpd:
# median wall time, CPU time (user + system) per request and peak RSS, for a
# search that asks every node and for page 2 served from the cache. Then the
# cache-hit throughput through lighttpd in both modes (wrk).
#
#   bench/request_bench.sh
#   BENCH_NODES="1 4 16 64" BENCH_ITEMS="10 40 100 1000" BENCH_RUNS=30 bench/request_bench.sh
#   BENCH_DELAY_MS=100 bench/request_bench.sh   # every node answers after 100 ms
#   BENCH_BASELINE=/tmp/quorix-old bench/request_bench.sh  # another build, row by row in the same run
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD="$ROOT/build-release"
WORK="$ROOT/.bench"
NODES_LIST=${BENCH_NODES:-"1 4 16"}
ITEMS_LIST=${BENCH_ITEMS:-"10 40 100"}
RUNS=${BENCH_RUNS:-20}
DELAY_MS=${BENCH_DELAY_MS:-0}
WRK_SECONDS=${BENCH_WRK_SECONDS:-5}
BASELINE=${BENCH_BASELINE:-}
# A baseline from before the FastCGI mode is timed as a CGI only.
BASELINE_FASTCGI=0
if [[ -n $BASELINE ]] && grep -q FCGX_Accept "$BASELINE"; then BASELINE_FASTCGI=1; fi

bash scripts/install-deps.sh
if ! command -v wrk >/dev/null; then
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q wrk
fi
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORIX_BUILD_PANEL=OFF >/dev/null
cmake --build "$BUILD" -j "$(nproc)" \
  --target quorix demo_vexa_node quorix_demo_site measure_run >/dev/null

source bench/bench_sites.sh

cgi_figures() {  # $1 site folder, $2 query string
  QUERY_STRING=$2 REQUEST_METHOD=GET "$BUILD/bench/measure_run" "$RUNS" "$1/www/quorix.cgi"
}

fastcgi_figures() {  # $1 site folder, $2 web port, $3 query string
  lighttpd -D -f "$1/lighttpd.conf" >"$1/lighttpd.out" 2>&1 &
  local server=$!
  wait_port "$2"
  local url="http://127.0.0.1:$2/quorix.cgi?$3"
  curl -s -o /dev/null "${url/vexa_page=2/vexa_page=1}"
  local pid
  pid=$(pgrep -f "$1/www/quorix.cgi" | head -1)
  local before after
  before=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  local times=()
  for ((i = 0; i < RUNS * 5; i++)); do times+=("$(curl -s -o /dev/null -w '%{time_total}' "$url")"); done
  after=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  local ticks
  ticks=$(getconf CLK_TCK)
  local wall
  wall=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.2f", a[int(NR/2)+1]*1000}')
  local peak
  peak=$(awk '/VmHWM/ {printf "%.1f", $2/1024}' "/proc/$pid/status")
  echo "wall_ms $wall cpu_ms $(awk -v d=$((after - before)) -v n=$((RUNS * 5)) -v t="$ticks" \
    'BEGIN {printf "%.2f", d * 1000 / t / n}') peak_rss_mb $peak"
  kill "$server"
  wait "$server" 2>/dev/null || true
}

throughput() {  # $1 site folder, $2 web port, $3 query string: requests per second
  lighttpd -D -f "$1/lighttpd.conf" >"$1/lighttpd.out" 2>&1 &
  local server=$!
  wait_port "$2"
  local url="http://127.0.0.1:$2/quorix.cgi?$3"
  curl -s -o /dev/null "${url/vexa_page=2/vexa_page=1}"
  wrk -t2 -c8 -d"${WRK_SECONDS}s" "$url" | awk '/Requests\/sec/ {print $2}'
  kill "$server"
  wait "$server" 2>/dev/null || true
}

rm -rf "$WORK"
mkdir -p "$WORK"
printf '%-8s %5s %5s  %-11s  %s\n' mode nodes items case figures
for nodes in $NODES_LIST; do
  for items in $ITEMS_LIST; do
    start_nodes "$nodes" "$items"
    port=$(free_port 9400)
    miss="vexa_query=bench&vexa_per_page=$items"
    # Page 2 of a set that page 1 cached (twice a page's items asked from every node).
    hit="vexa_query=bench&vexa_page=2&vexa_per_page=$(((items + 3) / 4))"
    for build in new ${BASELINE:+base}; do
      SITE_BINARY="$BUILD/quorix"
      [[ $build == base ]] && SITE_BINARY=$BASELINE
      label() { [[ $build == base ]] && echo "$1-base" || echo "$1"; }
      write_site "$WORK/cgi-miss" "$port" 0 1
      printf '%-8s %5s %5s  %-11s  %s\n' cgi "$nodes" "$items" "$(label search)" \
        "$(cgi_figures "$WORK/cgi-miss" "$miss")"
      write_site "$WORK/cgi-hit" "$port" 60 2
      cgi_figures "$WORK/cgi-hit" "${hit/vexa_page=2/vexa_page=1}" >/dev/null
      printf '%-8s %5s %5s  %-11s  %s\n' cgi "$nodes" "$items" "$(label cached)" \
        "$(cgi_figures "$WORK/cgi-hit" "$hit")"
      [[ $build == base && $BASELINE_FASTCGI == 0 ]] && continue
      write_site "$WORK/fcgi-miss" "$port" 0 1 --fastcgi
      printf '%-8s %5s %5s  %-11s  %s\n' fastcgi "$nodes" "$items" "$(label search)" \
        "$(fastcgi_figures "$WORK/fcgi-miss" "$port" "$miss")"
      write_site "$WORK/fcgi-hit" "$port" 60 2 --fastcgi
      printf '%-8s %5s %5s  %-11s  %s\n' fastcgi "$nodes" "$items" "$(label cached)" \
        "$(fastcgi_figures "$WORK/fcgi-hit" "$port" "$hit")"
    done
    stop_all
  done
done

echo
echo "Cache-hit throughput through lighttpd, wrk -t2 -c8 -d${WRK_SECONDS}s (4 nodes x 10 items):"
start_nodes 4 10
port=$(free_port 9400)
page2="vexa_query=bench&vexa_page=2&vexa_per_page=5"
for build in new ${BASELINE:+base}; do
  SITE_BINARY="$BUILD/quorix"
  [[ $build == base ]] && SITE_BINARY=$BASELINE
  write_site "$WORK/cgi-wrk" "$port" 60 2
  echo "  $build cgi: $(throughput "$WORK/cgi-wrk" "$port" "$page2") requests/s"
  [[ $build == base && $BASELINE_FASTCGI == 0 ]] && continue
  for procs in 1 2; do
    write_site "$WORK/fcgi-wrk" "$port" 60 2 --fastcgi --fastcgi-procs "$procs"
    echo "  $build fastcgi, $procs process(es): $(throughput "$WORK/fcgi-wrk" "$port" "$page2") requests/s"
  done
done
stop_all
