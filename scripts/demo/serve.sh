#!/usr/bin/env bash
# Serves a release folder as three loopback mirrors with nginx (HEAD and Range work):
#   serve.sh start RELEASE_DIR STATE_DIR [BASE_PORT]   prints the three mirror addresses
#   serve.sh stop STATE_DIR
# Mirror 1 and 2 are unshaped; mirror 3 sends each response at 128 KiB/s, so that a
# download visibly fetches its segments from several mirrors at once.
set -euo pipefail

cmd=${1:?usage: serve.sh start RELEASE_DIR STATE_DIR [BASE_PORT] | stop STATE_DIR}
case "$cmd" in
  start)
    release=$(cd "${2:?release folder}" && pwd)
    state=${3:?state folder}
    base=${4:-18081}
    mkdir -p "$state/logs" "$state/run" "$state/tmp"
    state=$(cd "$state" && pwd)
    cat > "$state/nginx.conf" <<CONF
worker_processes 1;
pid $state/run/nginx.pid;
error_log $state/logs/error.log warn;
events { worker_connections 256; }
http {
    default_type application/octet-stream;
    types { application/xml xml; audio/mpeg mp3; }
    sendfile on;
    keepalive_requests 10000;
    access_log $state/logs/access.log;
    client_body_temp_path $state/tmp;
    proxy_temp_path $state/tmp;
    fastcgi_temp_path $state/tmp;
    uwsgi_temp_path $state/tmp;
    scgi_temp_path $state/tmp;
    root $release;
    server { listen 127.0.0.1:$base; }
    server { listen 127.0.0.1:$((base + 1)); }
    server { listen 127.0.0.1:$((base + 2)); limit_rate 128k; }
}
CONF
    nginx -p "$state" -c "$state/nginx.conf" -e "$state/logs/error.log"
    for i in 0 1 2; do echo "http://127.0.0.1:$((base + i))/"; done
    ;;
  stop)
    state=$(cd "${2:?state folder}" && pwd)
    if [ -f "$state/run/nginx.pid" ]; then
      nginx -p "$state" -c "$state/nginx.conf" -e "$state/logs/error.log" -s quit || true
    fi
    ;;
  *) echo "usage: serve.sh start RELEASE_DIR STATE_DIR [BASE_PORT] | stop STATE_DIR" >&2; exit 2 ;;
esac
