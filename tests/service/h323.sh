#!/bin/sh
# The shipped Setup echo (marvoly-h323.conf) on the real nginx, exactly as
# shipped but for its call-back socket, at 192.0.2.1 on loopback; run it in
# a network namespace of its own (tests/lib/private-net.sh), where every
# other 192.0.2.x is a client that may be called and 127.0.0.x one that may
# not:
#
#   h323.sh SETUP_DUMP BASE
#
# SETUP_DUMP prints marvoly's Setup (tests/h323); BASE is a folder of the
# build tree for the runs' state.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
rig_lib=$here/../lib
# shellcheck source=tests/lib/rig.sh
. "$rig_lib/rig.sh"
# shellcheck source=tests/lib/nginx.sh
. "$rig_lib/nginx.sh"
# shellcheck source=tests/lib/h323-echo.sh
. "$rig_lib/h323-echo.sh"

command -v nginx >/dev/null || skip "nginx is not installed"
[ -f /usr/lib/nginx/modules/ngx_stream_js_module.so ] || skip "nginx's stream JavaScript module is not installed"
dump=$1
rig_begin "$2"
ip addr add 192.0.2.1/24 dev lo
rig_own nginx "$rig_dir/echo"
h323_echo_start "$rig_dir/echo" || fail "nginx did not start"

client() {
    python3 "$here/h323_client.py" "$@"
}

# setup FROM PORT: the Setup from FROM naming H.245 port PORT, in hex.
setup() {
    "$dump" "$1" "$2" 40002 00112233445566778899aabbccddeeff ffeeddccbbaa99887766554433221100 |
        cut -c8- | tr -d ' \n'
}

# from   message     callee  verdict    within (ms); the echo is the
# message exactly, and "closed" means nothing came back at all.
while read -r from message callee verdict within; do
    case "$message" in
    setup) bytes=$(setup "$from" 40001) ;;
    elsewhere) bytes=$(setup 192.0.2.99 40001) ;; # naming another address
    port-1000) bytes=$(setup "$from" 1000) ;;
    other) bytes=0300000801020304 ;;      # TPKT around no Setup
    version) bytes=0400000801020304 ;;
    reserved) bytes=0301000801020304 ;;
    short) bytes=03000003ff ;;
    long) bytes=03000401ff ;;
    garbage) bytes=474554202f20485454502f312e300d0a0d0a ;;
    silent) bytes= ;;
    slow) bytes=03,00,00,08,01,02,03,04,05 ;; # the last piece 4 s on
    esac
    client tcp "$from" "$bytes" "$callee" >"$rig_dir/answer"
    took=$(sed -n 's/^closed //p' "$rig_dir/answer")
    case "$verdict" in
    closed) expected="" ;;
    *) expected=$(printf 'echo %s\nh245 %s' "$(echo "$bytes" | tr -d ,)" "$verdict") ;;
    esac
    expect "$message from $from to a callee $callee" "$(sed '$d' "$rig_dir/answer")" "$expected"
    [ "$took" -lt "$within" ] || fail "$message from $from: closed after $took ms"
    echo "ok: closed after $took ms"
done <<'CASES'
192.0.2.11 setup     answer  reached    1000
192.0.2.18 elsewhere answer  reached    1000
192.0.2.12 setup     silent  unreached  3500
192.0.2.13 setup     babble  unreached  1000
192.0.2.19 setup     trickle unreached  3500
192.0.2.14 setup     none    unreached  1000
192.0.2.15 port-1000 answer  not-tried  1000
127.0.0.2  setup     answer  not-tried  1000
192.0.2.16 other     answer  not-tried  1000
192.0.2.17 version   none    closed     500
192.0.2.17 reserved  none    closed     500
192.0.2.17 short     none    closed     500
192.0.2.17 long      none    closed     500
192.0.2.17 garbage   none    closed     2300
192.0.2.17 silent    none    closed     2300
192.0.2.17 slow      none    closed     2300
CASES

# A flood from one address: beyond its first four connections each is
# closed at once, while another address is served.
client flood 192.0.2.30 20 >"$rig_dir/flood" &
sleep 0.2
client tcp 192.0.2.31 "$(setup 192.0.2.31 40001)" answer | grep -qx 'h245 reached' ||
    fail "another address was not served during the flood"
wait $!
expect "connections of the flood closed at once" "$(cat "$rig_dir/flood")" 16

# The gatekeeper port answers a datagram as long as its answer or longer
# with the caller's address, and a shorter one not at all.
expect "the answer on UDP 1719" "$(client udp 192.0.2.11 00112233445566778899aabbccddeeff)" 192.0.2.11
expect "the answer to a short datagram" "$(client udp 192.0.2.11 00112233445566778899aabbccddee)" ""

# Nothing of all this names a client in nginx's logs.
[ -f "$rig_dir/echo/error.log" ] || fail "no error.log"
! grep -E '127\.0\.0\.|192\.0\.2\.' "$rig_dir/echo/error.log" || fail "error.log names clients"
expect "logs nginx wrote" "$(ls "$rig_dir/echo" | grep -c '\.log$')" 1
echo "PASS"
