#!/bin/sh
# Loads the echo page with wrk, a new connection per request (as Marvoly
# asks): first one nginx with the direct block, then HAProxy with the
# shipped haproxy.cfg in front of two nginx hosts with the proxied block.
# Everything runs on loopback in a network namespace of its own, on the
# machine's cores, with the blocks and haproxy.cfg as shipped but for their
# limits per address, raised out of reach since all the load comes from one.
#
#   bench/load.sh [SECONDS [CONNECTIONS [PAIRS]]]   defaults 5 50 5
set -eu
here=$(cd "$(dirname "$0")" && pwd)
rig_lib=$here/../tests/lib
. "$rig_lib/use.sh"
rig_private_net "$0" "$@"
rig_use nginx haproxy
seconds=${1-5}
connections=${2-50}
pairs=${3-5}
blocks=$here/../service/echo
rig_begin "$here/../build/bench-load"
export MARVOLY_NGINX_CONNECTIONS=4096 MARVOLY_HAPROXY_UNLIMITED=1


# load NAME URL: one wrk run, summed up as "NAME rps p50 p99" in
# requests/s and milliseconds; a failed request fails the benchmark.
load() {
    timeout $((seconds + 30)) wrk -t2 -c"$connections" -d"${seconds}s" --latency \
        -H "Connection: close" "$2" >"$rig_dir/wrk.out"
    ! grep -q 'Non-2xx\|Socket errors' "$rig_dir/wrk.out" || fail "$1: $(cat "$rig_dir/wrk.out")"
    awk -v name="$1" '
        function ms(t) { return t ~ /us$/ ? t / 1000 : t ~ /ms$/ ? t + 0 : t * 1000 }
        /^Requests\/sec:/ { rps = $2 }
        $1 == "50%" { p50 = ms($2) }
        $1 == "99%" { p99 = ms($2) }
        END { printf "%s %d %.2f %.2f\n", name, rps, p50, p99 }' "$rig_dir/wrk.out"
}

# median COLUMN NAME: the median of one column of NAME's runs.
median() {
    awk -v name="$2" -v column="$1" '$1 == name { print $column }' "$rig_dir/runs" |
        sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# One nginx with a worker per core; two hosts of one worker each behind
# HAProxy, which has a thread per core.
rig_own nginx "$rig_dir/direct"
MARVOLY_NGINX_WORKERS=$(nproc) nginx_start "$rig_dir/direct" "$blocks/marvoly-echo.conf" \
    127.0.0.1:80 unlimited
for host in 2 3; do
    mkdir -p "$rig_dir/host$host"
    echo 'set_real_ip_from 127.0.0.1;' >"$rig_dir/host$host/marvoly-echo-balancers.conf"
    rig_own nginx "$rig_dir/host$host"
    MARVOLY_NGINX_WORKERS=1 nginx_start "$rig_dir/host$host" "$blocks/marvoly-echo-proxied.conf" \
        "127.0.0.$host:80" unlimited
done
haproxy_start "$rig_dir/haproxy" 127.0.0.1:8080 127.0.0.2:80 127.0.0.3:80

# Pairs of runs, direct and through in turn, so that whatever else the
# machine does weighs on both alike.
for _ in $(seq "$pairs"); do
    load direct http://127.0.0.1/firewall/ip.tpl | tee -a "$rig_dir/runs"
    load through http://127.0.0.1:8080/firewall/ip.tpl | tee -a "$rig_dir/runs"
    awk '$1 == "direct" { d = $2 } $1 == "through" { t = $2 }
        END { printf "ratio %.2f\n", t / d }' "$rig_dir/runs" | tee -a "$rig_dir/runs"
done
echo "medians of $pairs pairs of ${seconds} s runs, $connections connections:"
for name in direct through; do
    echo "$name: $(median 2 $name) requests/s, p50 $(median 3 $name) ms, p99 $(median 4 $name) ms"
done
echo "through/direct: $(median 2 ratio)"
