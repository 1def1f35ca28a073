# nginx serving the shipped stream block service/echo/marvoly-h323.conf
# (sourced after rig.sh and nginx.sh, not run):
#
#   h323_echo_require  skips (77) without nginx and its stream JavaScript module
#   h323_echo_start DIR
#       starts nginx as a daemon with prefix DIR and the block as shipped,
#       but for its call-back socket's folder, DIR/run, made as the shipped
#       tmpfiles line makes it, for the workers' user (nobody); returns once TCP
#       1720 of 127.0.0.1 takes a connection, within 10 s, or fails with
#       error.log shown; nginx's own log is DIR/error.log. nginx_stop ends it.
# shellcheck shell=sh

h323_echo_modules=/usr/lib/nginx/modules

h323_echo_require() {
    command -v nginx >/dev/null || skip "nginx is not installed"
    [ -f $h323_echo_modules/ngx_stream_js_module.so ] || skip "nginx's stream JavaScript module is not installed"
}

h323_echo_answers() {
    timeout 1 bash -c 'exec 3<>/dev/tcp/127.0.0.1/1720' 2>/dev/null
}

h323_echo_start() {
    mkdir -p "$1" && h323_echo_dir=$(cd "$1" && pwd) && nginx_stop "$h323_echo_dir" || return 1
    # nginx's workers (nobody) reach the call-back socket's folder in DIR.
    chmod 711 "$h323_echo_dir" "$(dirname "$h323_echo_dir")"
    h323_echo_source=$rig_lib/../../service/echo
    h323_echo_mode=$(awk '$2 == "/run/marvoly-h323" { print $3 }' "$h323_echo_source/marvoly-h323.tmpfiles")
    install -d -m "$h323_echo_mode" -o nobody "$h323_echo_dir/run" || return 1
    sed "s|unix:/run/marvoly-h323/|unix:$h323_echo_dir/run/|" \
        "$h323_echo_source/marvoly-h323.conf" >"$h323_echo_dir/marvoly-h323.conf"
    cp "$h323_echo_source/marvoly-h323.js" "$h323_echo_source/marvoly-callers.conf" "$h323_echo_dir/"
    cat >"$h323_echo_dir/nginx.conf" <<CONF
load_module $h323_echo_modules/ngx_stream_module.so;
load_module $h323_echo_modules/ngx_stream_js_module.so;
worker_processes ${MARVOLY_NGINX_WORKERS:-1};
pid $h323_echo_dir/nginx.pid;
error_log $h323_echo_dir/error.log;
events { worker_connections ${MARVOLY_NGINX_CONNECTIONS:-1024}; }
stream { include $h323_echo_dir/marvoly-h323.conf; }
CONF
    "$nginx_binary" -p "$h323_echo_dir/" -c "$h323_echo_dir/nginx.conf" -e "$h323_echo_dir/error.log" &&
        wait_until 100 h323_echo_answers && return 0
    cat "$h323_echo_dir/error.log" >&2
    nginx_stop "$h323_echo_dir"
    return 1
}
