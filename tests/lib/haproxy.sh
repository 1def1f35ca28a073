# HAProxy with the shipped service/echo/haproxy.cfg, for tests and
# benchmarks (sourced after rig.sh, not run).
#
#   haproxy_start DIR BIND SERVER... [-- RUNNER...]
#       writes DIR/haproxy.cfg, the shipped file with its bind line set to
#       BIND ([address]:port) and its server lines replaced by one per SERVER
#       (address:port), and starts HAProxy on it as a daemon through RUNNER
#       (for example in_netns NAME), recorded for rig_end. Returns once it
#       listens, within 10 s. With MARVOLY_HAPROXY_UNLIMITED set, it
#       refuses no source for its connections, so that load from one
#       address measures the balancer.
# shellcheck shell=sh disable=SC2154

haproxy_shipped=$rig_lib/../../service/echo/haproxy.cfg

haproxy_start() {
    haproxy_dir=$1
    haproxy_bind=$2
    shift 2
    haproxy_servers=
    while [ $# -gt 0 ] && [ "$1" != -- ]; do
        haproxy_servers="$haproxy_servers $1"
        shift
    done
    [ $# -eq 0 ] || shift
    mkdir -p "$haproxy_dir"
    # The first server line becomes the list; the other ones go.
    awk -v bind="$haproxy_bind" -v servers="$haproxy_servers" -v unlimited="${MARVOLY_HAPROXY_UNLIMITED-}" '
        unlimited != "" && /^[[:space:]]*tcp-request connection reject/ { next }
        /^[[:space:]]*bind[[:space:]]/ { sub(/bind[[:space:]].*/, "bind " bind) }
        /^[[:space:]]*server[[:space:]]/ {
            if (!done) {
                n = split(servers, list, " ")
                for (i = 1; i <= n; i++) printf "    server echo%d %s\n", i, list[i]
                done = 1
            }
            next
        }
        { print }' "$haproxy_shipped" >"$haproxy_dir/haproxy.cfg"
    rm -f "$haproxy_dir/haproxy.pid"
    "$@" haproxy -D -p "$haproxy_dir/haproxy.pid" -f "$haproxy_dir/haproxy.cfg" ||
        fail "HAProxy did not start"
    rig_own_pid "$(cat "$haproxy_dir/haproxy.pid")"
    haproxy_host=${haproxy_bind%:*}
    wait_until 100 "$@" bash -c "exec 3<>/dev/tcp/${haproxy_host:-127.0.0.1}/${haproxy_bind##*:}" \
        2>/dev/null ||
        fail "HAProxy does not listen on $haproxy_bind"
}
