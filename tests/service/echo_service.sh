#!/bin/sh
# Runs the shipped address-echo page on the real nginx, for tests.
#
#   echo_service.sh start DIR LISTEN   nginx as a daemon with prefix DIR,
#                                      serving the shipped server block with
#                                      its listen line set to LISTEN
#                                      (127.0.0.1:18480, or 80 in a namespace)
#   echo_service.sh stop DIR           stops the nginx of DIR by its pid
#
# DIR holds nginx.conf, nginx.pid, access.log (one line per request, empty
# once start returns) and error.log. start returns when the page answers,
# within 10 s, or fails with error.log shown. For a LISTEN without an
# address the page is asked on 127.0.0.1, so loopback must be up there.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
shipped="$here/../../service/echo/marvoly-echo.conf"
nginx=/usr/sbin/nginx
limit=10 # seconds for start-up and for shutdown

usage() {
    echo "usage: $0 start DIR LISTEN | stop DIR" >&2
    exit 2
}

# A process that has exited but is not yet reaped by its parent counts as gone.
alive() {
    kill -0 "$1" 2>/dev/null || return 1
    ! grep -q '^State:[[:space:]]*Z' "/proc/$1/status" 2>/dev/null
}

# The master's pid from DIR, only while that master is alive and is ours:
# its title carries our prefix, so a stale pid file never hits a stranger.
running_pid() {
    [ -s "$1/nginx.pid" ] || return 1
    pid=$(cat "$1/nginx.pid")
    alive "$pid" || return 1
    tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -qF -- "-p $1/" || return 1
    echo "$pid"
}

write_config() {
    dir=$1
    listen=$2
    lines=$(grep -c '^[[:space:]]*listen[[:space:]]' "$shipped")
    [ "$lines" -eq 1 ] || {
        echo "$shipped: expected one listen line, found $lines" >&2
        exit 1
    }
    sed "s|^\([[:space:]]*\)listen[[:space:]].*;|\1listen $listen;|" "$shipped" \
        >"$dir/marvoly-echo.conf"
    cat >"$dir/nginx.conf" <<CONF
worker_processes 1;
pid $dir/nginx.pid;
error_log $dir/error.log;
events {
    worker_connections 64;
}
http {
    access_log $dir/access.log;
    client_body_temp_path $dir/temp/body;
    proxy_temp_path $dir/temp/proxy;
    fastcgi_temp_path $dir/temp/fastcgi;
    uwsgi_temp_path $dir/temp/uwsgi;
    scgi_temp_path $dir/temp/scgi;
    include $dir/marvoly-echo.conf;
}
CONF
}

# One request over bash's /dev/tcp, bounded; true when the page came.
page_answers() {
    timeout 2 bash -c '
        exec 3<>"/dev/tcp/$1/$2" || exit 1
        printf "GET /firewall/ip.tpl HTTP/1.0\r\n\r\n" >&3
        cat <&3' sh "$1" "$2" 2>/dev/null | grep -q '<body>'
}

wait_until_answering() {
    dir=$1
    listen=$2
    case "$listen" in
    *:*) host=${listen%:*} port=${listen##*:} ;;
    *) host=127.0.0.1 port=$listen ;;
    esac
    case "$host" in
    0.0.0.0 | "*") host=127.0.0.1 ;;
    esac
    tries=$((limit * 10))
    while ! page_answers "$host" "$port"; do
        tries=$((tries - 1))
        if [ "$tries" -le 0 ]; then
            echo "nginx of $dir does not answer on $host:$port" >&2
            cat "$dir/error.log" >&2 2>/dev/null || true
            stop "$dir"
            exit 1
        fi
        sleep 0.1
    done
}

start() {
    dir=$1
    listen=$2
    mkdir -p "$dir/temp"
    dir=$(cd "$dir" && pwd)
    stop "$dir" # a leftover of an earlier run would hold the port
    write_config "$dir" "$listen"
    rm -f "$dir/access.log" "$dir/error.log"
    if ! "$nginx" -p "$dir/" -c "$dir/nginx.conf" -e "$dir/error.log"; then
        cat "$dir/error.log" >&2 2>/dev/null || true
        exit 1
    fi
    wait_until_answering "$dir" "$listen"
    # Requests are counted by access log lines: the probe's must not count.
    : >"$dir/access.log"
}

stop() {
    dir=$(cd "$1" 2>/dev/null && pwd) || return 0
    pid=$(running_pid "$dir") || return 0
    kill -TERM "$pid"
    tries=$((limit * 10))
    while alive "$pid"; do
        tries=$((tries - 1))
        if [ "$tries" -le 0 ]; then
            kill -KILL "$pid" 2>/dev/null || true
            echo "nginx of $dir did not stop in time; killed" >&2
            return 1
        fi
        sleep 0.1
    done
}

[ $# -ge 2 ] || usage
case "$1" in
start)
    [ $# -eq 3 ] || usage
    start "$2" "$3"
    ;;
stop)
    [ $# -eq 2 ] || usage
    stop "$2"
    ;;
*) usage ;;
esac
