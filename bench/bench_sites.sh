# Helpers for the whole-request benchmarks, sourced after BUILD (a Release
# build folder), WORK (a scratch folder) and DELAY_MS are set:
#   PIDS+=($!)                  a started server, stopped at exit or by stop_all
#   free_port FROM              the first free TCP port on 127.0.0.1 from FROM on
#   wait_for FILE, wait_port N  wait until FILE has content, something listens on N
#   start_nodes ...             demo Vexa nodes whose every document matches "bench"
#   write_site DIR PORT CACHE_MINUTES OVER_REQUEST_FACTOR [SITE OPTION...]
#                               a site for SITE_BINARY (default this build's quorix)

PIDS=()
stop_all() {
  if ((${#PIDS[@]})); then
    kill "${PIDS[@]}" 2>/dev/null || true
    wait "${PIDS[@]}" 2>/dev/null || true
  fi
  PIDS=()
}
trap stop_all EXIT

free_port() {
  local port=$1
  while (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do port=$((port + 1)); done
  echo "$port"
}
wait_for() { for _ in $(seq 100); do [[ -s "$1" ]] && return 0; sleep 0.1; done; return 1; }
wait_port() { for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0; sleep 0.1; done; return 1; }

# A corpus in which every document matches the word "bench".
write_corpus() {
  local file=$1 node=$2 items=$3
  {
    printf '# id\ttitle\turl\tcategory\tdate (UTC)\tsize\ttext\n'
    for ((i = 1; i <= items; i++)); do
      printf '%d\tBench page %d of node %d\thttp://node%d.example/page/%d.html\tBench\t2026-%02d-%02dT10:00:00\t%d\t' \
        "$i" "$i" "$node" "$node" "$i" $((i % 12 + 1)) $((i % 28 + 1)) $((1000 + i))
      printf 'This bench page %d holds words about the town, the garden and the kitchen, ' "$i"
      printf 'so that the description and the context have the length of a real one.\n'
    done
  } >"$file"
}

# start_nodes NODES ITEMS [DELAY_MS [NAME]]: starts demo Vexa nodes, each
# answering after DELAY_MS (default $DELAY_MS); their ports go to NODE_PORTS
# and the site writer's options to NODE_ARGS. NAME keeps sets of nodes apart.
start_nodes() {
  local nodes=$1 items=$2 delay=${3:-$DELAY_MS} name=${4:-node}
  NODE_ARGS=()
  NODE_PORTS=()
  for ((n = 0; n < nodes; n++)); do
    write_corpus "$WORK/$name-corpus$n.tsv" "$n" "$items"
    rm -f "$WORK/$name$n.port"
    "$BUILD/tools/demo_vexa_node" --corpus "$WORK/$name-corpus$n.tsv" --port 0 \
      --port-file "$WORK/$name$n.port" --delay-ms "$delay" >"$WORK/$name$n.out" 2>&1 &
    PIDS+=($!)
  done
  for ((n = 0; n < nodes; n++)); do
    wait_for "$WORK/$name$n.port" || { echo "node $n did not start" >&2; exit 1; }
    NODE_PORTS+=("$(cat "$WORK/$name$n.port")")
    NODE_ARGS+=(--vexa-port "${NODE_PORTS[-1]}")
  done
}

# Writes a site; $1 its folder, $2 the web port, $3 cache minutes, $4 the
# over-request factor, then extra options.
write_site() {
  local dir=$1 port=$2 minutes=$3 factor=$4
  shift 4
  rm -rf "$dir"
  "$BUILD/tools/quorix_demo_site" --dir "$dir" --quorix "${SITE_BINARY:-$BUILD/quorix}" --source "$ROOT" \
    --web-port "$port" --cache-minutes "$minutes" "${NODE_ARGS[@]}" "$@" >/dev/null
  sed -i "s/^INT_OVER_REQUEST_FACTOR = .*/INT_OVER_REQUEST_FACTOR = $factor/" "$dir/www/settings.qxdat"
}

