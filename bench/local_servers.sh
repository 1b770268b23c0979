# Helpers for the benchmark scripts that start local servers; sourced after
# WORK (a scratch folder removed at exit) is set.
#   PIDS+=($!)           a started server, stopped at exit
#   free_port            a free TCP port on 127.0.0.1
#   wait_port PORT       waits until something listens on PORT
#   read_port_file FILE  waits for FILE and prints the port a server wrote to it

PIDS=()
stop_all() {
  if ((${#PIDS[@]})); then
    kill "${PIDS[@]}" 2>/dev/null || true
    wait "${PIDS[@]}" 2>/dev/null || true
  fi
  rm -rf "$WORK"
}
trap stop_all EXIT

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
wait_port() { for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0; sleep 0.1; done; return 1; }
read_port_file() { for _ in $(seq 100); do [[ -s "$1" ]] && { cat "$1"; return 0; }; sleep 0.1; done; return 1; }
