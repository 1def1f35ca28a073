# nginx serving the shipped stream block service/echo/marvoly-h323.conf,
# for tests and benchmarks (sourced after rig.sh and nginx.sh, not run):
#
#   h323_echo_start DIR   starts nginx as a daemon with prefix DIR, the block
#                         exactly as shipped but for its call-back socket,
#                         which lives in DIR; returns once TCP 1720 takes a
#                         connection (on 127.0.0.1, so loopback must be up),
#                         within 10 s, or fails with error.log shown. nginx
#                         itself logs to DIR/error.log, as Debian's does.
#   nginx_stop DIR        (nginx.sh) stops it
# shellcheck shell=sh

h323_echo_block=$rig_lib/../../service/echo/marvoly-h323.conf

h323_echo_answers() {
    timeout 1 bash -c 'exec 3<>/dev/tcp/127.0.0.1/1720' 2>/dev/null
}

h323_echo_start() {
    mkdir -p "$1" || return 1
    h323_echo_dir=$(cd "$1" && pwd) || return 1
    nginx_stop "$h323_echo_dir" || return 1
    # nginx's workers (nobody) reach the call-back socket in DIR.
    chmod 711 "$h323_echo_dir" "$(dirname "$h323_echo_dir")"
    sed "s|unix:/run/marvoly-h245.sock|unix:$h323_echo_dir/h245.sock|" "$h323_echo_block" \
        >"$h323_echo_dir/marvoly-h323.conf"
    h323_echo_source=$(dirname "$h323_echo_block")
    cp "$h323_echo_source/marvoly-h323.js" "$h323_echo_source/marvoly-callers.conf" "$h323_echo_dir/"
    cat >"$h323_echo_dir/nginx.conf" <<CONF
load_module /usr/lib/nginx/modules/ngx_stream_module.so;
load_module /usr/lib/nginx/modules/ngx_stream_js_module.so;
worker_processes ${MARVOLY_NGINX_WORKERS:-1};
pid $h323_echo_dir/nginx.pid;
error_log $h323_echo_dir/error.log;
events {
    worker_connections ${MARVOLY_NGINX_CONNECTIONS:-1024};
}
stream {
    include $h323_echo_dir/marvoly-h323.conf;
}
CONF
    rm -f "$h323_echo_dir/error.log"
    if ! "$nginx_binary" -p "$h323_echo_dir/" -c "$h323_echo_dir/nginx.conf" \
        -e "$h323_echo_dir/error.log"; then
        cat "$h323_echo_dir/error.log" >&2 2>/dev/null || true
        return 1
    fi
    wait_until 100 h323_echo_answers || {
        echo "nginx of $h323_echo_dir does not answer on 1720" >&2
        cat "$h323_echo_dir/error.log" >&2 2>/dev/null || true
        nginx_stop "$h323_echo_dir"
        return 1
    }
}
