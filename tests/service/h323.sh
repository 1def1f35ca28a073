#!/bin/sh
# The shipped Setup echo (marvoly-h323.conf, but for its call-back socket)
# on the real nginx at 192.0.2.1, in a network namespace of its own
# (tests/lib/private-net.sh), where every other 192.0.2.x is a client that
# may be called and 127.0.0.x one that may not:
#
#   h323.sh H323_DRIVER BASE     (H323_DRIVER prints marvoly's Setups)
set -eu

here=$(cd "$(dirname "$0")" && pwd)
rig_lib=$here/../lib
. "$rig_lib/use.sh"
rig_use nginx h323-echo

h323_echo_require
command -v nft >/dev/null || skip "nft is not installed"
driver=$1
rig_begin "$2"
ip addr add 192.0.2.1/24 dev lo
ip addr add 198.51.100.1/24 dev lo
rig_own nginx "$rig_dir/echo"
h323_echo_start "$rig_dir/echo" || fail "nginx did not start"
nft -f "$here/../../service/echo/marvoly-h323.nft"
setup() {
    "$driver" setup "$1" 40001
}

client() {
    python3 "$here/h323_client.py" "$@"
}

# from; message: hex pieces sent 0.5 s apart, - for none, or the Setup from
# ADDRESS naming H.245 port PORT, with the line "control CONTROL" in the
# same piece when one is named (setup/ADDRESS/PORT[/CONTROL]); callee; the
# verdicts after the echo of the message (h245[,control]), or closed for no
# answer at all; the bound.
while read -r from message callee verdict within; do
    line=
    case "$message" in
    setup/*)
        IFS=/ read -r _ address port control <<EOF
$message
EOF
        bytes=$("$driver" setup "$address" "$port")
        [ -z "$control" ] || line=$(printf 'control %s\n' "$control" | od -An -tx1 | tr -d ' \n')
        ;;
    -) bytes= ;;
    *) bytes=$message ;;
    esac
    client tcp "$from" "$bytes$line" "$callee" >"$rig_dir/answer"
    expected=$(printf 'echo %s\nh245 %s' "$(echo "$bytes" | tr -d ,)" "$(echo "$verdict" | sed 's/,/\ncontrol /')")
    [ "$verdict" != closed ] || expected=
    expect "$message from $from to $callee" "$(sed '$d' "$rig_dir/answer")" "$expected"
    took=$(sed -n 's/^closed //p' "$rig_dir/answer")
    [ "$took" -lt "$within" ] || fail "$message from $from: closed after $took ms"
    echo "ok: closed after $took ms"
done <<'CASES'
192.0.2.11 setup/192.0.2.11/40001 answer  reached   1000
192.0.2.18 setup/192.0.2.99/40001 answer  reached   1000
192.0.2.12 setup/192.0.2.12/40001 silent  unreached 3500
192.0.2.13 setup/192.0.2.13/40001 babble  unreached 1000
192.0.2.19 setup/192.0.2.19/40001 trickle unreached 3500
192.0.2.14 setup/192.0.2.14/40001 none    unreached 1000
192.0.2.15 setup/192.0.2.15/1000  answer  not-tried 1000
127.0.0.2  setup/127.0.0.2/40001  answer  not-tried 1000
192.0.2.21 setup/192.0.2.21/40001/40002 answer reached,reached     1000
192.0.2.22 setup/192.0.2.22/40001/40003 answer reached,unreached   1000
192.0.2.23 setup/192.0.2.23/40001/04002 answer reached,not-tried   1000
192.0.2.23 setup/192.0.2.23/40001/1023  answer reached,not-tried   1000
192.0.2.23 setup/192.0.2.23/40001/65536 answer reached,not-tried   1000
192.0.2.24 setup/192.0.2.24/40001/40002 silent unreached,unreached 3500
127.0.0.3  setup/127.0.0.3/40001/40002  answer not-tried,not-tried 1000
192.0.2.16 0300000801020304       answer  not-tried 1000
192.0.2.17 0400000801020304       none    closed    500
192.0.2.17 0301000801020304       none    closed    500
192.0.2.17 03000003ff             none    closed    500
192.0.2.17 03000401ff             none    closed    500
192.0.2.17 474554202f20485454502f312e300d0a0d0a none closed 500
192.0.2.17 -                      none    closed    2300
192.0.2.17 03,00,00,08,01,02,03,04,05 none closed   2300
CASES

# A flood from one address: the kernel refuses all but its first eight
# connections, and of those, beyond four at once each is closed at once,
# while another address is served.
client flood 192.0.2.30 20 0.5 >"$rig_dir/flood" &
sleep 0.2
client tcp 192.0.2.31 "$(setup 192.0.2.31)" answer | grep -qx 'h245 reached' ||
    fail "another address was not served during the flood"
wait $!
expect "of 20 at once: refused, closed at once, closed" "$(cat "$rig_dir/flood")" "12 4 4"

# Five addresses of one /24, four silent connections each: 16 are held,
# until the Setup's 2 s are up, and then the network is served again.
client flood "$(seq -s, -f 198.51.100.%g 1 5)" 4 3.5 >"$rig_dir/flood" &
sleep 2.7
client tcp 198.51.100.1 "$(setup 198.51.100.1)" answer | grep -qx 'h245 reached' ||
    fail "the /24 was not served once its silent connections were cut"
wait $!
expect "of 20 from one /24: refused, closed at once, closed" "$(cat "$rig_dir/flood")" "0 4 20"

# A caller that streams after its Setup costs the worker little memory.
worker=$(pgrep -P "$(cat "$rig_dir/echo/nginx.pid")")
peak() {
    sed -n 's/^VmHWM:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$worker/status"
}
before=$(peak)
client stream 192.0.2.32 "$(setup 192.0.2.32)" 3
grown=$((($(peak) - before) / 1024))
[ "$grown" -lt 16 ] || fail "a streaming caller grew the worker by $grown MiB"
echo "ok: a streaming caller grew the worker by $grown MiB"

expect "three held from one caller (two held, a third closed before its answer), another's" \
    "$(client hold 192.0.2.33 3 | paste -sd,) / $(client hold 192.0.2.34 1)" "held pong,held pong,closed / held pong"

# The call-back socket: no other user may reach it, and what nginx itself
# tells it is checked again (address port, as told).
socket=$rig_dir/echo/run/h245.sock
expect "another user connecting to the call-back socket" "$(cd / && setpriv --reuid=daemon \
    --regid=daemon --clear-groups /usr/bin/python3 -c 'import socket, sys
try:
    socket.socket(socket.AF_UNIX).connect(sys.argv[1])
    print("connected")
except OSError as e:
    print(type(e).__name__)' "$socket")" PermissionError
while read -r address port called; do
    expect "an order to $address $port" "$(client order "$socket" "$address" "$port")" "$called"
done <<'CASES'
192.0.2.40 40001 called
192.0.2.40 0022  not called
192.0.2.40 1023  not called
192.0.2.40 1000  not called
127.0.0.5  40001 not called
CASES

# UDP 1719 answers a datagram as long as its answer with the caller's
# address, and a shorter one not at all.
expect "the answer on UDP 1719" "$(client udp 192.0.2.11 00112233445566778899aabbccddeeff)" 192.0.2.11
expect "the answer to a short datagram" "$(client udp 192.0.2.11 00112233445566778899aabbccddee)" ""

# Per source, 1719 answers 20 at once; when the kernel's set of sources
# is full, the sources it cannot hold share one source's allowance (on
# 1720, one connection in 10 s). Last: the forged sources stay.
datagram=00112233445566778899aabbccddeeff
expect "answers to 100 datagrams" "$(python3 "$here/forge.py" ask 192.0.2.50 192.0.2.1 1719 100 $datagram)" 20
python3 "$here/forge.py" fill ip marvoly_h323 gatekeeper_askers udp 192.0.2.1 1719 $datagram
python3 "$here/forge.py" forge udp 192.0.2.1 1719 1000 $datagram
answered=$(python3 "$here/forge.py" ask 192.0.2.51 192.0.2.1 1719 100 $datagram)
[ "$answered" -le 20 ] || fail "with the set full, $answered of 100 datagrams were answered"
echo "ok: with the set full, $answered of 100 datagrams answered"
python3 "$here/forge.py" fill ip marvoly_h323 callers syn 192.0.2.1 1720
python3 "$here/forge.py" forge syn 192.0.2.1 1720 1000 # the shared allowance spent again
refused=$(client flood "$(seq -s, -f 192.0.2.%g 52 57)" 1 0.5 | cut -d' ' -f1)
[ "$refused" -ge 5 ] || fail "with the set full, only $refused of 6 new sources were refused"
echo "ok: with the set full, $refused of 6 new sources refused"

# Nothing names a client in nginx's one log.
! grep -E '127\.0\.0\.|192\.0\.2\.' "$rig_dir/echo/error.log" || fail "error.log names clients"
expect "logs nginx wrote" "$(ls "$rig_dir/echo" | grep -c '\.log$')" 1
echo "PASS"
