#!/bin/sh
# Loads the shipped echo page on nginx over loopback with wrk: one worker
# per core, first with a new connection per request (as Marvoly asks), then
# with keep-alive connections. Each run is bounded in time.
#
#   bench/load.sh [PORT [SECONDS [CONNECTIONS]]]   defaults 18486 10 50
set -eu
here=$(cd "$(dirname "$0")" && pwd)
port=${1-18486}
seconds=${2-10}
connections=${3-50}
dir=$(mktemp -d /tmp/marvoly-load.XXXXXX)
mkdir -p "$dir/temp"

sed "s|^\([[:space:]]*\)listen[[:space:]].*;|\1listen 127.0.0.1:$port;|" \
    "$here/../service/echo/marvoly-echo.conf" >"$dir/marvoly-echo.conf"
cat >"$dir/nginx.conf" <<CONF
worker_processes $(nproc);
pid $dir/nginx.pid;
error_log $dir/error.log;
events {
    worker_connections 1024;
}
http {
    access_log $dir/access.log;
    client_body_temp_path $dir/temp;
    proxy_temp_path $dir/temp;
    fastcgi_temp_path $dir/temp;
    uwsgi_temp_path $dir/temp;
    scgi_temp_path $dir/temp;
    include $dir/marvoly-echo.conf;
}
CONF
/usr/sbin/nginx -p "$dir/" -c "$dir/nginx.conf"
stop() {
    [ -s "$dir/nginx.pid" ] && kill "$(cat "$dir/nginx.pid")"
    sleep 0.5
    rm -rf "$dir"
}
trap stop EXIT
sleep 0.5

url="http://127.0.0.1:$port/firewall/ip.tpl"
echo "=== new connection per request, $connections connections, ${seconds}s"
timeout $((seconds + 30)) wrk -t2 -c"$connections" -d"${seconds}s" --latency \
    -H "Connection: close" "$url"
echo "=== keep-alive, $connections connections, ${seconds}s"
timeout $((seconds + 30)) wrk -t2 -c"$connections" -d"${seconds}s" --latency "$url"
echo "=== requests logged: $(wc -l <"$dir/access.log")"
