#!/usr/bin/env bash
# A saved baseline build of quorix against this build, side by side in one run
# on one machine, for the figures that matter to a site: what a search costs as
# a CGI and as a FastCGI application, over http and https, what a page from the
# cache costs, and how close a cache hit comes to lighttpd serving the same
# page as a static file. Prints each figure for both builds and their ratio.
#
#   bench/baseline_compare.sh BASELINE_QUORIX
#   BENCH_RUNS=40 BENCH_WRK_SECONDS=10 bench/baseline_compare.sh /tmp/quorix-base/build-release/quorix
#
# The baseline is built once outside the repository, for example:
#   git worktree add /tmp/quorix-base <commit>
#   cmake -S /tmp/quorix-base -B /tmp/quorix-base/build-release -G Ninja \
#     -DCMAKE_BUILD_TYPE=Release -DQUORIX_BUILD_PANEL=OFF
#   cmake --build /tmp/quorix-base/build-release --target quorix
#
# Nodes: 16 local demo Vexa nodes with 40 items each (and 16 with 100 items for
# the peak memory), behind one lighttpd that gives each node an https port (a
# certificate from a CA this script makes with openssl, trusted through
# QUORIX_CA_FILE) and a plain http port, so both kinds of node keep their
# connections alike. "slow" nodes answer after BENCH_DELAY_MS (default 100).
# CPU time is user + system of the quorix process: measure_run's for a CGI,
# /proc/PID/stat before and after for a FastCGI process (10 ms clock ticks,
# so each FastCGI figure is taken over many requests).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BASELINE=$(realpath "${1:?usage: bench/baseline_compare.sh BASELINE_QUORIX}")
BUILD="$ROOT/build-release"
WORK=$(mktemp -d /tmp/quorix-compare.XXXXXX)
RUNS=${BENCH_RUNS:-20}
WRK_SECONDS=${BENCH_WRK_SECONDS:-5}
DELAY_MS=0
SLOW_MS=${BENCH_DELAY_MS:-100}
NODES=16

bash scripts/install-deps.sh >/dev/null
for package in wrk lighttpd-mod-openssl; do
  if ! dpkg -s "$package" >/dev/null 2>&1; then
    SUDO=""
    [[ $(id -u) -ne 0 ]] && SUDO="sudo"
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "$package" >/dev/null
  fi
done
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORIX_BUILD_PANEL=OFF >/dev/null
cmake --build "$BUILD" --target quorix demo_vexa_node quorix_demo_site measure_run >/dev/null

source bench/bench_sites.sh
trap 'stop_all; rm -rf "$WORK"' EXIT

# A CA and a certificate for 127.0.0.1, as a site's own CA would issue one.
make_certificates() {
  local ec=(-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes)
  openssl req -x509 "${ec[@]}" -days 1 -subj /CN=bench-ca -keyout "$WORK/ca.key" \
    -out "$WORK/ca.pem" 2>/dev/null
  openssl req "${ec[@]}" -subj /CN=127.0.0.1 -keyout "$WORK/node.key" -out "$WORK/node.csr" 2>/dev/null
  printf 'subjectAltName=IP:127.0.0.1\n' >"$WORK/san.ext"
  openssl x509 -req -days 1 -in "$WORK/node.csr" -CA "$WORK/ca.pem" -CAkey "$WORK/ca.key" \
    -CAcreateserial -extfile "$WORK/san.ext" -out "$WORK/node.crt" 2>/dev/null
  cat "$WORK/node.crt" "$WORK/node.key" >"$WORK/node.pem"
}

# front_nodes NAME: one lighttpd before the nodes in NODE_PORTS, each reached
# on an https port (HTTPS_ARGS) and an http port (HTTP_ARGS).
front_nodes() {
  local name=$1 conf="$WORK/$1-front.conf" next
  next=$(free_port 9700)
  HTTPS_ARGS=()
  HTTP_ARGS=()
  {
    echo 'server.modules = ("mod_proxy", "mod_openssl")'
    echo "server.document-root = \"$WORK\""
    echo "server.bind = \"127.0.0.1\""
    echo "server.port = $next"
    echo "server.errorlog = \"$WORK/$name-front.log\""
    echo "server.max-keep-alive-requests = 100000"
    echo "server.max-keep-alive-idle = 60"
    for node in "${NODE_PORTS[@]}"; do
      local secure plain
      secure=$(free_port $((next + 1)))
      plain=$(free_port $((secure + 1)))
      next=$plain
      HTTPS_ARGS+=(--vexa-url "https://127.0.0.1:$secure/search.cgi")
      HTTP_ARGS+=(--vexa-url "http://127.0.0.1:$plain/search.cgi")
      local backend="proxy.server = (\"\" => ((\"host\" => \"127.0.0.1\", \"port\" => $node)))"
      echo "\$SERVER[\"socket\"] == \"127.0.0.1:$secure\" {"
      echo "  ssl.engine = \"enable\""
      echo "  ssl.pemfile = \"$WORK/node.pem\""
      echo "  $backend"
      echo "}"
      echo "\$SERVER[\"socket\"] == \"127.0.0.1:$plain\" { $backend }"
    done
  } >"$conf"
  lighttpd -D -f "$conf" >"$WORK/$name-front.out" 2>&1 &
  PIDS+=($!)
  wait_port "$next"
}

# site_with BINARY DIR PORT CACHE_MINUTES NODE-ARGS...: a site of BINARY over the given nodes.
site_with() {
  local binary=$1 dir=$2 port=$3 minutes=$4
  shift 4
  NODE_ARGS=("$@")
  SITE_BINARY=$binary write_site "$dir" "$port" "$minutes" 2
}

# Starts the site's lighttpd (QUORIX_CA_FILE in its environment, which its
# FastCGI processes inherit); its pid goes to SERVER.
start_server() {
  QUORIX_CA_FILE="$WORK/ca.pem" lighttpd -D -f "$1/lighttpd.conf" >"$1/lighttpd.out" 2>&1 &
  SERVER=$!
  wait_port "$2"
}
stop_server() {
  kill "$SERVER"
  wait "$SERVER" 2>/dev/null || true
}

# CPU of every FastCGI process of the site, in clock ticks.
fastcgi_ticks() {
  local total=0
  for pid in $(pgrep -f "$1/www/quorix.cgi"); do
    total=$((total + $(awk '{print $14 + $15}' "/proc/$pid/stat")))
  done
  echo "$total"
}

# fastcgi_search DIR PORT QUERY COUNT: "CPU_MS WALL_MS" per request, medians of wall.
fastcgi_search() {
  local dir=$1 port=$2 url="http://127.0.0.1:$2/quorix.cgi?$3" count=$4
  start_server "$dir" "$port"
  # The library loaded and the connections made; every node answered.
  for _ in 1 2; do curl -s -o /dev/null "$url"; done
  if curl -s "$url" | grep -qE "Node #[0-9]+: "; then
    echo "warning: $dir: a node failed: $url" >&2
  fi
  local before after times=()
  before=$(fastcgi_ticks "$dir")
  for ((i = 0; i < count; i++)); do times+=("$(curl -s -o /dev/null -w '%{time_total}' "$url")"); done
  after=$(fastcgi_ticks "$dir")
  stop_server
  local wall
  wall=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.1f", a[int(NR/2)+1]*1000}')
  awk -v d=$((after - before)) -v n="$count" -v t="$(getconf CLK_TCK)" -v w="$wall" \
    'BEGIN {printf "%.2f %s\n", d * 1000 / t / n, w}'
}

# cgi_run DIR QUERY: "WALL_MS CPU_MS PEAK_MB" of the program run as a CGI.
cgi_run() {
  QUORIX_CA_FILE="$WORK/ca.pem" QUERY_STRING=$2 REQUEST_METHOD=GET \
    "$BUILD/bench/measure_run" "$RUNS" "$1/www/quorix.cgi" | awk '{print $2, $4, $6}'
}

# requests_per_second DIR PORT PATH: wrk through the site's lighttpd.
requests_per_second() {
  start_server "$1" "$2"
  curl -s -o /dev/null "http://127.0.0.1:$2/quorix.cgi?${HIT/vexa_page=2/vexa_page=1}"
  wrk -t2 -c8 -d"${WRK_SECONDS}s" "http://127.0.0.1:$2$3" | awk '/Requests\/sec/ {printf "%.0f", $2}'
  stop_server
}

# The slowest of the slow nodes when all are asked at once (curl, one transfer
# each over http, through the same front): the floor of a search's wall time.
slowest_node_ms() {
  local args=() maxima=()
  for ((i = 1; i < ${#SLOW_HTTP[@]}; i += 2)); do
    args+=(-o /dev/null "${SLOW_HTTP[i]}?vexa_query=bench&vexa_per_page=80&vexa_xml=1&vexa_sort=0")
  done
  for ((run = 0; run < RUNS; run++)); do
    maxima+=("$(curl -Z --parallel-max 64 -s --no-progress-meter -w '%{time_total}\n' "${args[@]}" 2>/dev/null | sort -n | tail -1)")
  done
  printf '%s\n' "${maxima[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.1f", a[int(NR/2)+1]*1000}'
}

row() {  # NAME BASE NEW GOAL: one line of the table with the ratio new / base
  awk -v n="$1" -v b="$2" -v x="$3" -v g="$4" \
    'BEGIN {r = (b > 0) ? sprintf("%.2f", x / b) : "-"; printf "%-52s %10s %10s %7s  %s\n", n, b, x, r, g}'
}

make_certificates
start_nodes "$NODES" 40 0 fast
front_nodes fast
FAST_HTTP=("${HTTP_ARGS[@]}")
FAST_HTTPS=("${HTTPS_ARGS[@]}")
start_nodes "$NODES" 40 "$SLOW_MS" slow
front_nodes slow
SLOW_HTTP=("${HTTP_ARGS[@]}")
SLOW_HTTPS=("${HTTPS_ARGS[@]}")
start_nodes "$NODES" 100 0 large
front_nodes large
LARGE_HTTP=("${HTTP_ARGS[@]}")

SLOWEST=$(slowest_node_ms)
PORT=$(free_port 9400)
SEARCH="vexa_query=bench&vexa_per_page=40"
HIT="vexa_query=bench&vexa_page=2&vexa_per_page=10"
declare -A FIG

# Each group of figures for one build ($1 base or new, $2 its quorix).
cgi_figures() {
  local build=$1 binary=$2
  site_with "$binary" "$WORK/cgi" "$PORT" 0 "${FAST_HTTP[@]}"
  read -r _ FIG[$build.cgi.cpu] _ <<<"$(cgi_run "$WORK/cgi" "$SEARCH")"
  site_with "$binary" "$WORK/cgi" "$PORT" 0 "${SLOW_HTTP[@]}"
  read -r FIG[$build.cgi.wall] _ _ <<<"$(cgi_run "$WORK/cgi" "$SEARCH")"
  site_with "$binary" "$WORK/cgi" "$PORT" 0 "${LARGE_HTTP[@]}"
  read -r _ _ FIG[$build.cgi.rss] <<<"$(cgi_run "$WORK/cgi" "vexa_query=bench&vexa_per_page=100")"
  site_with "$binary" "$WORK/cgi" "$PORT" 60 "${FAST_HTTP[@]}"
  FIG[$build.cgi.hits]=$(requests_per_second "$WORK/cgi" "$PORT" "/quorix.cgi?$HIT")
}

fastcgi_search_figures() {
  local build=$1 binary=$2 schemes="http https"
  # A build that cannot be given the test CA is timed over http only.
  if [[ $build == base ]] && ! grep -q QUORIX_CA_FILE "$binary"; then
    schemes=http
    FIG[base.fcgi.https.cpu]=-
    FIG[base.fcgi.https.wall]=-
  fi
  for scheme in $schemes; do
    local fast=FAST_${scheme^^}[@] slow=SLOW_${scheme^^}[@]
    site_with "$binary" "$WORK/fcgi" "$PORT" 0 "${!fast}" --fastcgi
    read -r FIG[$build.fcgi.$scheme.cpu] _ <<<"$(fastcgi_search "$WORK/fcgi" "$PORT" "$SEARCH" $((RUNS * 10)))"
    site_with "$binary" "$WORK/fcgi" "$PORT" 0 "${!slow}" --fastcgi
    read -r _ FIG[$build.fcgi.$scheme.wall] <<<"$(fastcgi_search "$WORK/fcgi" "$PORT" "$SEARCH" "$RUNS")"
  done
}

fastcgi_hit_figures() {
  local build=$1 binary=$2
  site_with "$binary" "$WORK/fcgi" "$PORT" 60 "${FAST_HTTP[@]}" --fastcgi --fastcgi-procs 2
  start_server "$WORK/fcgi" "$PORT"
  curl -s -o /dev/null "http://127.0.0.1:$PORT/quorix.cgi?${HIT/vexa_page=2/vexa_page=1}"
  # The same page as a static file, served by the same lighttpd.
  curl -s -o "$WORK/fcgi/www/static.html" "http://127.0.0.1:$PORT/quorix.cgi?$HIT"
  stop_server
  FIG[page.bytes]=$(stat -c %s "$WORK/fcgi/www/static.html")
  FIG[$build.static]=$(requests_per_second "$WORK/fcgi" "$PORT" "/static.html")
  FIG[$build.fcgi.hits]=$(requests_per_second "$WORK/fcgi" "$PORT" "/quorix.cgi?$HIT")
}

# Figure by figure, the baseline and then this build, so that a change in the
# machine's load between two figures falls on both builds alike.
for figures in cgi_figures fastcgi_search_figures fastcgi_hit_figures; do
  $figures base "$BASELINE"
  $figures new "$BUILD/quorix"
done

echo "$NODES nodes, slow nodes answer after $SLOW_MS ms (the slowest of them all asked at once by"
echo "curl: $SLOWEST ms); the cached page is ${FIG[page.bytes]} bytes;"
echo "wrk -t2 -c8 -d${WRK_SECONDS}s; medians of $RUNS runs (FastCGI CPU over $((RUNS * 10)) searches)"
printf '%-52s %10s %10s %7s  %s\n' figure base new new/base goal
row "CGI search 16 x 40, CPU ms" "${FIG[base.cgi.cpu]}" "${FIG[new.cgi.cpu]}" "ratio <= 0.75"
row "CGI search 16 x 40, wall ms (slow nodes)" "${FIG[base.cgi.wall]}" "${FIG[new.cgi.wall]}" \
  "<= slowest + 5 ms"
row "CGI search 16 x 100, peak RSS MB" "${FIG[base.cgi.rss]}" "${FIG[new.cgi.rss]}" "<= 12 MB"
row "CGI cache hits, requests/s" "${FIG[base.cgi.hits]}" "${FIG[new.cgi.hits]}" "ratio >= 1.3"
for scheme in http https; do
  row "FastCGI search 16 x 40 over $scheme, CPU ms" "${FIG[base.fcgi.$scheme.cpu]}" \
    "${FIG[new.fcgi.$scheme.cpu]}" ""
  row "FastCGI search 16 x 40 over $scheme, wall ms (slow nodes)" "${FIG[base.fcgi.$scheme.wall]}" \
    "${FIG[new.fcgi.$scheme.wall]}" "<= slowest + 5 ms"
done
row "FastCGI (2 processes) cache hits, requests/s" "${FIG[base.fcgi.hits]}" "${FIG[new.fcgi.hits]}" ""
row "lighttpd, the same page as a static file, requests/s" "${FIG[base.static]}" "${FIG[new.static]}" ""
echo
row "FastCGI cache hits / static file (base, new)" "${FIG[base.static]}" "${FIG[base.fcgi.hits]}" ""
row "" "${FIG[new.static]}" "${FIG[new.fcgi.hits]}" "ratio >= 0.25 (new)"
row "FastCGI https / http CPU (base, new)" "${FIG[base.fcgi.http.cpu]}" "${FIG[base.fcgi.https.cpu]}" ""
row "" "${FIG[new.fcgi.http.cpu]}" "${FIG[new.fcgi.https.cpu]}" "ratio <= 1.2 (new)"
