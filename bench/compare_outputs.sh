#!/usr/bin/env bash
# Runs two builds of quorix as CGI programs on the same requests against the
# same local demo nodes and compares what they write: every page and machine
# answer (with the measured times masked) and every cache file, byte for byte.
# For changes that must not change what a visitor or a cache reader sees.
#
#   bench/compare_outputs.sh OLD_QUORIX [NEW_QUORIX]
#   COMPARE_NODES=16 COMPARE_ITEMS=40 bench/compare_outputs.sh /tmp/old/quorix build-release/quorix
#   COMPARE_BUILD=/tmp/old/build bench/compare_outputs.sh ...   # demo tools from another build
#   COMPARE_PAGE_MARKUP=1 bench/compare_outputs.sh ...           # the settings' PageMarkup (0)
#
# NEW_QUORIX defaults to build-release/quorix (built here when missing). Exits 0
# when everything matches, 1 with the differences otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
OLD=${1:?usage: bench/compare_outputs.sh OLD_QUORIX [NEW_QUORIX]}
NEW=${2:-$ROOT/build-release/quorix}
BUILD=${COMPARE_BUILD:-$ROOT/build-release}  # where the demo nodes and the site tool are
NODES=${COMPARE_NODES:-16}
ITEMS=${COMPARE_ITEMS:-40}
WORK=$(mktemp -d)
source bench/local_servers.sh

if [[ ! -x $BUILD/tools/quorix_demo_site || ! -x $NEW ]]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORIX_BUILD_PANEL=OFF >/dev/null
  cmake --build "$BUILD" --target quorix demo_vexa_node demo_opensearch_node quorix_demo_site >/dev/null
fi

# Every node matches "bench"; the dates vary so that the date sort reorders.
write_corpus() {
  local file=$1 node=$2
  {
    printf '# id\ttitle\turl\tcategory\tdate (UTC)\tsize\ttext\n'
    for ((i = 1; i <= ITEMS; i++)); do
      printf '%d\tBench page %d of node %d\thttp://node%d.example/page/%d.html\tBench\t2026-%02d-%02dT10:00:00\t%d\t' \
        "$i" "$i" "$node" "$node" "$i" $(((i + node) % 12 + 1)) $((i % 28 + 1)) $((1000 + i))
      printf 'This bench page %d holds words about the town & the garden <b>and</b> the kitchen.\n' "$i"
    done
  } >"$file"
}

SITE_ARGS=()
for ((n = 0; n < NODES; n++)); do
  write_corpus "$WORK/corpus$n.tsv" "$n"
  "$BUILD/tools/demo_vexa_node" --corpus "$WORK/corpus$n.tsv" --port 0 \
    --port-file "$WORK/node$n.port" >"$WORK/node$n.out" 2>&1 &
  PIDS+=($!)
done
"$BUILD/tools/demo_opensearch_node" --corpus tools/demo/data/magazine.tsv --port 0 \
  --port-file "$WORK/os.port" >"$WORK/os.out" 2>&1 &
PIDS+=($!)
for ((n = 0; n < NODES; n++)); do SITE_ARGS+=(--vexa-port "$(read_port_file "$WORK/node$n.port")"); done
SITE_ARGS+=(--opensearch-port "$(read_port_file "$WORK/os.port")")
# The older page markup by default, which both builds write alike; COMPARE_PAGE_MARKUP=1
# compares the current one.
SITE_ARGS+=(--page-markup "${COMPARE_PAGE_MARKUP:-0}")

REQUESTS=(
  "vexa_query=bench"
  "vexa_query=bench&vexa_page=2"
  "vexa_query=bench&vexa_sort=1"
  "vexa_query=bench&vexa_sort=1&vexa_page=2"
  "vexa_query=bench&vexa_node=3"
  "vexa_query=bench&vexa_page=5"
  "vexa_query=town&vexa_per_page=7&vexa_page=2"
  "vexa_query=garden&vexa_and=1"
  "vexa_query=bench&vexa_format=rss"
  "vexa_query=bench&vexa_format=json&vexa_page=2"
  "vexa_query=bench&vexa_format=json&vexa_per_page=50"
  "vexa_format=opensearch"
  "vexa_query="
)

# Masks what differs from run to run: the times a request measured.
mask_times() {
  sed -E -e 's/(Search took )[0-9.]+/\1T/g' \
    -e 's/("(time_ms|search_time)": ?)[0-9.e+-]+/\1T/g' \
    -e 's/(<vexa:searchtime>)[^<]*/\1T/g'
}

run_site() {  # $1 label, $2 binary
  local dir="$WORK/$1"
  "$BUILD/tools/quorix_demo_site" --dir "$dir" --quorix "$2" --source "$ROOT" --web-port 1 \
    --cache-minutes 10 "${SITE_ARGS[@]}" >/dev/null
  mkdir -p "$WORK/out-$1"
  local i=0
  for request in "${REQUESTS[@]}"; do
    (cd "$dir/www" && env -i REQUEST_METHOD=GET QUERY_STRING="$request" HTTP_HOST=search.example \
      SCRIPT_NAME=/quorix.cgi REMOTE_ADDR=127.0.0.1 ./quorix.cgi) | mask_times >"$WORK/out-$1/$i"
    i=$((i + 1))
  done
  mkdir -p "$WORK/cache-$1"
  find "$dir/www/cache" -maxdepth 1 -type f -name 'vexa_query=*' -exec cp {} "$WORK/cache-$1/" \;
}

run_site old "$OLD"
run_site new "$NEW"

status=0
for ((i = 0; i < ${#REQUESTS[@]}; i++)); do
  if cmp -s "$WORK/out-old/$i" "$WORK/out-new/$i"; then
    echo "same   $(wc -c <"$WORK/out-new/$i") bytes  ${REQUESTS[$i]}"
  else
    echo "DIFFER ${REQUESTS[$i]}"
    diff "$WORK/out-old/$i" "$WORK/out-new/$i" | cut -c1-300 | head -20 || true
    status=1
  fi
done
if diff -r "$WORK/cache-old" "$WORK/cache-new" >/dev/null; then
  echo "same   $(ls "$WORK/cache-new" | wc -l) cache files"
else
  echo "DIFFER cache files"
  diff -r "$WORK/cache-old" "$WORK/cache-new" | head -5 || true
  status=1
fi
exit $status
