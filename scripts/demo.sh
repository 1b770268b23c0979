#!/usr/bin/env bash
# Runs the Quorix demo on this machine: builds the search program and the two
# demo search nodes, lays out a web site in .demo/ (git-ignored) and serves it
# with lighttpd on 127.0.0.1, which keeps quorix running as a FastCGI application.
#
#   scripts/demo.sh            # web port 8080, or the next free one
#   DEMO_PORT=9000 scripts/demo.sh
#   DEMO_MODE=cgi scripts/demo.sh   # quorix as a CGI per request instead of FastCGI
#
# The nodes: a Vexa node with the Riverton town council's pages and an
# OpenSearch node with a garden and kitchen magazine. Ctrl-C stops everything.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
DEMO="$ROOT/.demo"
BUILD="$ROOT/build"

bash scripts/install-deps.sh

echo "== Build"
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j "$(nproc)" \
  --target quorix demo_vexa_node demo_opensearch_node quorix_demo_site

# Everything started below is stopped when this script ends, however it ends.
PIDS=()
stop_all() {
  trap - EXIT INT TERM HUP
  if ((${#PIDS[@]})); then
    kill "${PIDS[@]}" 2>/dev/null || true
    wait "${PIDS[@]}" 2>/dev/null || true
  fi
  echo
  echo "Demo stopped."
}
trap stop_all EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

port_in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# Waits up to 10 s for a file with a port number in it (a demo node writes one once listening).
read_port_file() {
  for _ in $(seq 100); do
    if [[ -s "$1" ]]; then
      cat "$1"
      return 0
    fi
    sleep 0.1
  done
  echo "a demo node did not start; see ${1%.port}.out" >&2
  return 1
}

rm -rf "$DEMO"
mkdir -p "$DEMO/run"

# The nodes keep ports 8081 and 8082 when free (the control panel's predefined
# list and help name 8082); otherwise they take any free one.
port_or_any() { if port_in_use "$1"; then echo 0; else echo "$1"; fi; }

echo "== Demo nodes"
"$BUILD/tools/demo_vexa_node" --corpus tools/demo/data/riverton.tsv --port "$(port_or_any 8081)" \
  --port-file "$DEMO/run/vexa.port" >"$DEMO/run/vexa.out" 2>&1 &
PIDS+=($!)
"$BUILD/tools/demo_opensearch_node" --corpus tools/demo/data/magazine.tsv --port "$(port_or_any 8082)" \
  --port-file "$DEMO/run/opensearch.port" >"$DEMO/run/opensearch.out" 2>&1 &
PIDS+=($!)
VEXA_PORT=$(read_port_file "$DEMO/run/vexa.port")
OPENSEARCH_PORT=$(read_port_file "$DEMO/run/opensearch.port")
echo "Vexa node (town council):   http://127.0.0.1:$VEXA_PORT/search.cgi"
echo "OpenSearch node (magazine): http://127.0.0.1:$OPENSEARCH_PORT/opensearch.xml"

PORT=${DEMO_PORT:-8080}
while port_in_use "$PORT"; do PORT=$((PORT + 1)); done

# lighttpd started as root runs the CGI as root unless told otherwise. Prefer the
# unprivileged user "nobody" when it can reach the site folder; it then owns the
# cache and log folders. Otherwise (for example under a private home folder)
# lighttpd keeps the user that started it.
USER_ARGS=()
if [[ $(id -u) -eq 0 ]] && id nobody >/dev/null 2>&1 &&
  runuser -u nobody -- test -x "$DEMO" 2>/dev/null; then
  USER_ARGS=(--user nobody --group "$(id -gn nobody)")
fi

MODE_ARGS=(--fastcgi)
case "${DEMO_MODE:-fastcgi}" in
  fastcgi) ;;
  cgi) MODE_ARGS=() ;;
  *)
    echo "DEMO_MODE must be fastcgi or cgi" >&2
    exit 2
    ;;
esac

"$BUILD/tools/quorix_demo_site" --dir "$DEMO/site" --quorix "$BUILD/quorix" --source "$ROOT" \
  --web-port "$PORT" --vexa-port "$VEXA_PORT" --opensearch-port "$OPENSEARCH_PORT" \
  "${USER_ARGS[@]}" "${MODE_ARGS[@]}"

echo "== Web server"
lighttpd -D -f "$DEMO/site/lighttpd.conf" >"$DEMO/run/lighttpd.out" 2>&1 &
PIDS+=($!)
for _ in $(seq 100); do
  port_in_use "$PORT" && break
  sleep 0.1
done
if ! port_in_use "$PORT"; then
  echo "lighttpd did not start; see $DEMO/run/lighttpd.out and $DEMO/site/logs/" >&2
  exit 1
fi

echo
echo "Quorix demo is running as ${DEMO_MODE:-fastcgi} (site folder: .demo/site, search log: .demo/site/logs/searchwords.log)"
echo
echo "  Search page:      http://127.0.0.1:$PORT/quorix.cgi"
echo "  Example search:   http://127.0.0.1:$PORT/quorix.cgi?vexa_query=garden"
echo
echo "Press Ctrl-C to stop."
wait
