#!/usr/bin/env bash
# Builds quorix and serves it as a CGI under lighttpd on 127.0.0.1, the way a
# web server runs it for a site. Everything lives in .demo/ (git-ignored).
# Stop it with Ctrl-C.
#
#   scripts/demo.sh            # port 8080, or the next free one
#   DEMO_PORT=9000 scripts/demo.sh
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)

bash scripts/install-deps.sh

echo "== Build"
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target quorix -j 2

DEMO="$ROOT/.demo"
WWW="$DEMO/www"
mkdir -p "$WWW" "$WWW/logs" "$WWW/cache" "$DEMO/run"
install -m 0755 build/quorix "$WWW/quorix.cgi"

# The search program's settings: no nodes yet, diagnostics shown on the page.
cat >"$WWW/settings.qxdat" <<'SETTINGS'
DEBUG = 1
INT_OVER_REQUEST_FACTOR = 2
INT_CACHE_VALID_PERIOD_MINS = 10
FormFormat = 2
Logging = 0
LogFileName = "./logs/searchwords.log"
DebugLogging = 1
DebugFileName = "./logs/Quorix.log"
DefaultToAnd = 1
VexaInfo = 1
Timing = 1
UseCats = 0
SearchMultiCats = 0
Spelling = 0
SpellingWhenLessThan = 0
RecommendedMax = 0
Recommended = 0
UseDateTime = 0
SETTINGS

cat >"$WWW/search_template.html" <<'TEMPLATE'
<!DOCTYPE html>
<html>
<head>
<meta charset="utf-8">
<title>Quorix demo search</title>
<style>
body { font-family: sans-serif; margin: 2em auto; max-width: 50em; }
</style>
</head>
<body>
<h1>Quorix demo search</h1>
<!--VEXASEARCH-->
<p><small>Served by lighttpd from .demo/www</small></p>
</body>
</html>
TEMPLATE

port_in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
PORT=${DEMO_PORT:-8080}
while port_in_use "$PORT"; do PORT=$((PORT + 1)); done

CONF="$DEMO/lighttpd.conf"
cat >"$CONF" <<LIGHTTPD
server.modules = ("mod_access", "mod_cgi")
server.bind = "127.0.0.1"
server.port = $PORT
server.document-root = "$WWW"
server.errorlog = "$DEMO/run/lighttpd-error.log"
server.pid-file = "$DEMO/run/lighttpd.pid"
index-file.names = ("quorix.cgi")
cgi.assign = (".cgi" => "")
mimetype.assign = (".html" => "text/html; charset=utf-8", ".css" => "text/css")
url.access-deny = (".qxdat", ".log")
LIGHTTPD
if [[ $(id -u) -eq 0 ]]; then
  # lighttpd will not keep root: let it run as nobody, who must be able to
  # write its own log, the search logs and the cache.
  echo 'server.username = "nobody"' >>"$CONF"
  echo 'server.groupname = "nogroup"' >>"$CONF"
  chown -R nobody:nogroup "$WWW/logs" "$WWW/cache" "$DEMO/run"
  chmod o+rx "$DEMO" "$WWW"
fi

echo
echo "Search page: http://127.0.0.1:$PORT/quorix.cgi?vexa_query=test"
echo "Press Ctrl-C to stop."
exec lighttpd -D -f "$CONF"
