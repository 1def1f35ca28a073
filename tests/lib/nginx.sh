# nginx serving one shipped server block, for tests and benchmarks (sourced,
# not run). Each instance lives in a state directory of its own, its prefix:
#
#   nginx_start DIR BLOCK LISTEN [MODE]
#       starts nginx as a daemon with prefix DIR, serving the server block
#       file BLOCK (for example service/echo/marvoly-echo.conf) with the
#       address and port of its listen line set to LISTEN (127.0.0.1:18480,
#       or 80 in a namespace); the line's other parameters stay, and its
#       logs in /var/log/nginx/ are written in DIR instead. MODE:
#         counted   (default) one line per request in DIR/access.log, or
#                   in MARVOLY_NGINX_LOG, which several may share: the
#                   block's own "access_log off;" is replaced in DIR's copy.
#                   A line is "CLIENT SERVER_ADDRESS "REQUEST" STATUS"; the
#                   health checks of haproxy.cfg are not written.
#         shipped   the block exactly as shipped, under an http {} that logs
#                   to DIR/access.log and DIR/error.log as Debian's does
#         unlimited as shipped (no log), but with the rate limit, its
#                   burst and the connection limits raised out of reach,
#                   so that load from one address measures the page and
#                   the limiter's work, not refusals
#       Files that the block includes by a relative name are read from DIR:
#       those not written there (or older there) are copied from beside the
#       block. A block with js_ directives gets nginx's JavaScript module
#       loaded, and the scripts it imports are copied from beside it.
#       Returns when the page answers, within 10 s (access.log emptied
#       again), or fails with error.log shown.
#   nginx_stop DIR
#       stops the nginx of DIR by its pid; nothing to do is no failure.
#
# A master left by a killed run is found by the prefix in its command line
# and stopped before a new one starts with the same DIR. Reached on
# 127.0.0.1 when LISTEN has no address, so loopback must be up there.
# MARVOLY_NGINX_WORKERS and MARVOLY_NGINX_CONNECTIONS size it (1 and 256).
# shellcheck shell=sh

nginx_binary=/usr/sbin/nginx
nginx_js_module=/usr/lib/nginx/modules/ngx_http_js_module.so
nginx_limit=10 # seconds for start-up and for shutdown

# A process that has exited but is not yet reaped by its parent counts as gone.
nginx_alive() {
    kill -0 "$1" 2>/dev/null || return 1
    ! grep -q '^State:[[:space:]]*Z' "/proc/$1/status" 2>/dev/null
}

# The masters whose command line names prefix $1/: never a stranger's.
nginx_masters() {
    for nginx_status in /proc/[0-9]*/cmdline; do
        nginx_pid=${nginx_status#/proc/}
        nginx_pid=${nginx_pid%/cmdline}
        if { tr '\0' ' ' <"$nginx_status"; } 2>/dev/null | grep '^nginx: master process ' |
            grep -qF -- " -p $1/ " && nginx_alive "$nginx_pid"; then
            echo "$nginx_pid"
        fi
    done
}

# nginx_one_line FILE PATTERN: FILE must have exactly one line matching
# PATTERN for the rig to change it.
nginx_one_line() {
    nginx_count=$(grep -c "$2" "$1")
    [ "$nginx_count" -eq 1 ] || {
        echo "$1: expected one line matching '$2', found $nginx_count" >&2
        return 1
    }
}

nginx_write_config() {
    nginx_dir=$1
    nginx_block=$2
    nginx_listen=$3
    nginx_mode=$4
    nginx_one_line "$nginx_block" '^[[:space:]]*listen[[:space:]]' || return 1
    nginx_edit="s|^\([[:space:]]*listen[[:space:]]\{1,\}\)[^[:space:];]*|\1$nginx_listen|"
    nginx_edit="$nginx_edit;s|/var/log/nginx/|$nginx_dir/|"
    case "$nginx_mode" in
    counted)
        nginx_one_line "$nginx_block" '^[[:space:]]*access_log[[:space:]]\{1,\}off;' || return 1
        nginx_edit="$nginx_edit;s|^\([[:space:]]*access_log\)[[:space:]]\{1,\}off;|\1 $nginx_log marvoly_rig if=\$marvoly_rig_counted;|"
        ;;
    shipped) ;;
    unlimited) nginx_edit="$nginx_edit;s|rate=[0-9]*r/s|rate=1000000r/s|;s|burst=[0-9]*|burst=1000000|;s|\(limit_conn [a-z_]*\) [0-9]*;|\1 65535;|" ;;
    *)
        echo "nginx_start: unknown mode $nginx_mode" >&2
        return 1
        ;;
    esac
    sed "$nginx_edit" "$nginx_block" >"$nginx_dir/server.conf"
    nginx_modules=
    ! grep -q '^[[:space:]]*js_' "$nginx_dir/server.conf" ||
        nginx_modules="load_module $nginx_js_module;"
    for nginx_script in $(sed -n -e 's/^[[:space:]]*js_import[[:space:]].*[[:space:]]from[[:space:]]*\([^;[:space:]]*\);.*/\1/p' \
        -e 's/^[[:space:]]*include[[:space:]]*\([^;[:space:]/]*\);.*/\1/p' "$nginx_block"); do
        [ ! -f "$(dirname "$nginx_block")/$nginx_script" ] ||
            cp -u "$(dirname "$nginx_block")/$nginx_script" "$nginx_dir/" || return 1
    done
    cat >"$nginx_dir/nginx.conf" <<CONF
$nginx_modules
worker_processes ${MARVOLY_NGINX_WORKERS:-1};
pid $nginx_dir/nginx.pid;
error_log $nginx_dir/error.log;
events {
    worker_connections ${MARVOLY_NGINX_CONNECTIONS:-256};
}
http {
    access_log $nginx_dir/access.log;
    # What counted mode writes: the balancer's health checks do not count.
    log_format marvoly_rig '\$remote_addr \$server_addr "\$request" \$status';
    map \$http_user_agent \$marvoly_rig_counted {
        marvoly-echo-health-check 0;
        default 1;
    }
    client_body_temp_path $nginx_dir/temp/body;
    proxy_temp_path $nginx_dir/temp/proxy;
    fastcgi_temp_path $nginx_dir/temp/fastcgi;
    uwsgi_temp_path $nginx_dir/temp/uwsgi;
    scgi_temp_path $nginx_dir/temp/scgi;
    include $nginx_dir/server.conf;
}
CONF
}

# One request over bash's /dev/tcp, bounded; true when the page came. A
# listener of the PROXY protocol gets the header first.
# shellcheck disable=SC2016 # the inner script expands its own arguments
nginx_page_answers() {
    timeout 2 bash -c '
        exec 3<>"/dev/tcp/$1/$2" || exit 1
        printf "$3GET /firewall/ip.tpl HTTP/1.0\r\n\r\n" >&3
        cat <&3' sh "$1" "$2" "$3" 2>/dev/null | grep -q '<body>'
}

nginx_wait_until_answering() {
    nginx_dir=$1
    nginx_listen=$2
    nginx_proxy=$3
    case "$nginx_listen" in
    *:*) nginx_host=${nginx_listen%:*} nginx_port=${nginx_listen##*:} ;;
    *) nginx_host=127.0.0.1 nginx_port=$nginx_listen ;;
    esac
    case "$nginx_host" in
    0.0.0.0 | "*") nginx_host=127.0.0.1 ;;
    esac
    [ -z "$nginx_proxy" ] || nginx_proxy="PROXY TCP4 127.0.0.1 $nginx_host 1024 $nginx_port\r\n"
    nginx_tries=$((nginx_limit * 10))
    while ! nginx_page_answers "$nginx_host" "$nginx_port" "$nginx_proxy"; do
        nginx_tries=$((nginx_tries - 1))
        if [ "$nginx_tries" -le 0 ]; then
            echo "nginx of $nginx_dir does not answer on $nginx_host:$nginx_port" >&2
            cat "$nginx_dir/error.log" >&2 2>/dev/null || true
            nginx_stop "$nginx_dir"
            return 1
        fi
        sleep 0.1
    done
}

nginx_start() {
    mkdir -p "$1/temp" || return 1
    nginx_dir=$(cd "$1" && pwd) || return 1
    nginx_stop "$nginx_dir" || return 1 # a leftover of an earlier run would hold the port
    nginx_log=${MARVOLY_NGINX_LOG:-$nginx_dir/access.log}
    nginx_write_config "$nginx_dir" "$2" "$3" "${4:-counted}" || return 1
    rm -f "$nginx_dir/access.log" "$nginx_dir/error.log"
    if ! "$nginx_binary" -p "$nginx_dir/" -c "$nginx_dir/nginx.conf" -e "$nginx_dir/error.log"; then
        cat "$nginx_dir/error.log" >&2 2>/dev/null || true
        return 1
    fi
    nginx_proxy=$(grep '^[[:space:]]*listen[[:space:]].*proxy_protocol' "$nginx_dir/server.conf") || true
    nginx_wait_until_answering "$nginx_dir" "$3" "$nginx_proxy" || return 1
    # Requests are counted by access log lines: the probes' must not count.
    : >"$nginx_log"
}

nginx_stop() {
    nginx_dir=$(cd "$1" 2>/dev/null && pwd) || return 0
    nginx_pids=$(nginx_masters "$nginx_dir")
    [ -n "$nginx_pids" ] || return 0
    # shellcheck disable=SC2086 # one word per pid
    kill -TERM $nginx_pids
    nginx_tries=$((nginx_limit * 10))
    for nginx_pid in $nginx_pids; do
        while nginx_alive "$nginx_pid"; do
            nginx_tries=$((nginx_tries - 1))
            if [ "$nginx_tries" -le 0 ]; then
                kill -KILL "$nginx_pid" 2>/dev/null || true
                echo "nginx of $nginx_dir did not stop in time; killed" >&2
                return 1
            fi
            sleep 0.1
        done
    done
}
