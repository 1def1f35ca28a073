#!/bin/sh
# One shipped echo block on the real nginx, exactly as shipped, on port 80 of
# loopback; run it in a network namespace of its own (tests/lib/private-net.sh)
# so that 127.0.0.2 and 127.0.0.3 are other clients and no other test's port
# is touched (nor are 203.0.113.0/24 and 10.0.0.0/8, the public and private
# callers of the call-back page):
#
#   block.sh direct|proxied BASE
#
# direct is marvoly-echo.conf; proxied is marvoly-echo-proxied.conf with
# 127.0.0.1 as its only trusted balancer, asked with a PROXY header. BASE is
# a folder of the build tree for the runs' state.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
rig_lib=$here/../lib
. "$rig_lib/use.sh"
rig_use nginx
# shellcheck source=tests/service/answers.sh disable=SC2034
. "$here/answers.sh"

case "${1-}" in
direct) block=marvoly-echo.conf ;;
proxied) block=marvoly-echo-proxied.conf ;;
*)
    echo "usage: $0 direct|proxied BASE" >&2
    exit 2
    ;;
esac
kind=$1
{ command -v nginx && command -v nft; } >/dev/null || skip "nginx or nft is not installed"
rig_begin "$2"
answers=$rig_dir
state=$rig_dir/nginx
server=127.0.0.1:80
mkdir -p "$state"
if [ "$kind" = proxied ]; then
    echo 'set_real_ip_from 127.0.0.1;' >"$state/marvoly-echo-balancers.conf"
    proxy_header=--haproxy-protocol
fi
rig_own nginx "$state"
nginx_start "$state" "$here/../../service/echo/$block" 127.0.0.1:80 shipped
ip route add local 203.0.113.0/24 dev lo
ip route add local 10.0.0.0/8 dev lo

# One address holding half-sent requests, more than nginx has connections:
# the direct host's kernel rules let it hold 20, and another address gets
# the page meanwhile. Only balancers reach the proxied block: one slow client.
if [ "$kind" = direct ]; then
    nft -f "$here/../../service/echo/marvoly-echo.nft"
    set -- 300 20 127.0.0.5 ''
else
    set -- 1 1 127.0.0.1 'PROXY TCP4 192.0.2.5 127.0.0.1 4000 80\r\n'
fi
python3 "$here/hold.py" "$3" "$server" "$1" "$4" >"$rig_dir/held" &
holder=$!
rig_own_pid "$holder"
wait_until 50 test -s "$rig_dir/held" || fail "the holder did not start"
expect "connections that one address holds of $1" "$(cat "$rig_dir/held")" "$2"
ask 127.0.0.6 GET /firewall/ip.tpl --max-time 2
check_answer "another address meanwhile" 200 127.0.0.6 GET

# method path status; asked from 127.0.0.3, which nothing else uses.
while read -r method path code; do
    ask 127.0.0.3 "$method" "$path"
    check_answer "$method $path" "$code" 127.0.0.3 "$method"
done <<'CASES'
GET     /firewall/ip.tpl                  200
GET     /firewall/ip.tpl?product=KESTRAMO 200
HEAD    /firewall/ip.tpl                  200
POST    /firewall/ip.tpl                  405
PUT     /firewall/ip.tpl                  405
DELETE  /firewall/ip.tpl                  405
OPTIONS /firewall/ip.tpl                  405
GET     /                                 404
GET     /firewall/                        404
GET     /firewall/ip.tpl/x                404
GET     /firewall/IP.TPL                  404
POST    /index.html                       404
CASES

# The call-back page. A stand-in for the caller's port 1720, on every
# local address but 127.0.0.1 and 127.0.0.2 (where nothing is to
# listen), replies by the token's first digit: 0 with the token, 1 without
# it, 2 with it only after 300 bytes, 3 not at all, 4 a byte a second.
python3 -c 'import socket, threading, time
def reply(c):
    token = c.recv(512).split(b" ")[1].rsplit(b"/", 1)[-1]
    body = {b"0": token, b"1": b"nothing", b"2": b"x" * 300 + token}.get(token[:1])
    if body is not None:
        c.sendall(b"HTTP/1.0 200 OK\r\n\r\n" + body)
    for byte in (b"HTTP/1.0 200 OK\r\n\r\n" + token if token[:1] == b"4" else b""):
        c.send(bytes([byte]))
        time.sleep(1)
    c.close()
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("0.0.0.0", 1720))
s.listen(16)
while True:
    c = s.accept()[0]
    if c.getsockname()[0] in ("127.0.0.1", "127.0.0.2"):
        c.close()
    else:
        threading.Thread(target=reply, args=(c,), daemon=True).start()' &
rig_own_pid $!
wait_until 50 sh -c 'ss -Hltn "sport = :1720" | grep -q .' || fail "the call-back stand-in did not start"

reach_page() {
    echo "<html><head><title>Call-back</title></head><body>$1</body></html>"
}

# from method token status verdict; each case from an address of its own,
# as the page's own limit is strict.
while read -r from method token code verdict; do
    ask "$from" "$method" "/firewall/reach.tpl?token=$token"
    check_answer "call-back $token" "$code" "$from" "$method reach"
    [ "$verdict" = - ] || expect "call-back $token" "$(cat "$answers/body")" "$(reach_page "$verdict")"
done <<'CASES'
203.0.113.11 GET  0123456789abcdef           200 reachable
203.0.113.12 GET  1123456789abcdef           200 unreachable
203.0.113.13 GET  2123456789abcdef           200 unreachable
203.0.113.14 GET  3123456789abcdef           200 unreachable
203.0.113.15 GET  0123456789ABCDEF           200 reachable
203.0.113.16 GET  0123456789abcde            400 -
203.0.113.17 GET  0123456789abcdef0          400 -
203.0.113.18 GET  0123456789abcdeg           400 -
203.0.113.19 GET  0123456789abcdef@127.0.0.1 400 -
203.0.113.20 POST 0123456789abcdef           405 -
127.0.0.24   GET  0123456789abcdef           400 -
10.0.0.24    GET  0123456789abcdef           400 -
CASES

# A reply that trickles in is given up at 3 s.
started=$(date +%s%N)
ask 203.0.113.23 GET /firewall/reach.tpl?token=4123456789abcdef
took=$((($(date +%s%N) - started) / 1000000))
expect "trickled call-back" "$(cat "$answers/body")" "$(reach_page unreachable)"
[ "$took" -lt 3500 ] || fail "the trickled call-back took $took ms"
echo "ok: the trickled call-back ended after $took ms"

# Its own limit: from one address the sixth call-back in a row is the last.
codes=$(curl --silent --max-time 30 --interface 203.0.113.21 $proxy_header --output /dev/null \
    --write-out '%{http_code}\n' "http://$server/firewall/reach.tpl?token=312345678912345[0-9]") || true
expect "ten call-backs in a row" "$(echo $codes)" "200 200 200 200 200 200 429 429 429 429"

# Who the proxied block believes: the PROXY header (v1 or v2) of a trusted
# balancer, never that of anyone else nor an X-Forwarded-For line.
get='GET /firewall/ip.tpl HTTP/1.0\r\n'
v1='PROXY TCP4 192.0.2.7 127.0.0.1 4000 80\r\n'
v2='\r\n\r\n\0\r\nQUIT\n\041\021\0\014\300\0\2\10\177\0\0\1\17\240\0\120'
[ "$kind" = direct ] || while read -r from header extra shown; do
    case "$header" in
    v1) bytes=$v1 ;;
    v2) bytes=$v2 ;;
    esac
    case "$extra" in
    xff) bytes="$bytes${get}X-Forwarded-For: 192.0.2.9\r\n\r\n" ;;
    *) bytes="$bytes$get\r\n" ;;
    esac
    send "$from" "$bytes"
    expect "$header $extra from $from shows" "$(shown_address)" "$shown"
done <<'CASES'
127.0.0.1 v1 - 192.0.2.7
127.0.0.1 v2 - 192.0.2.8
127.0.0.1 v1 xff 192.0.2.7
127.0.0.2 v1 - 127.0.0.2
127.0.0.2 v2 - 127.0.0.2
127.0.0.2 v1 xff 127.0.0.2
CASES

# The call-back goes to the address the block believes (through the
# untrusted 127.0.0.2, itself), and only to a public one.
[ "$kind" = direct ] || while read -r from claim answer; do
    send "$from" "PROXY TCP4 $claim 127.0.0.1 4000 80\r\nGET /firewall/reach.tpl?token=0123456789abcdef HTTP/1.0\r\n\r\n"
    grep -qE "^HTTP/1.1 $answer |<body>$answer<" "$answers/body" || fail "call-back for $claim via $from: $(cat "$answers/body")"
    echo "ok: a call-back for $claim asked through $from: $answer"
done <<'CASES'
127.0.0.1 203.0.113.22 reachable
127.0.0.2 203.0.113.22 400
127.0.0.1 0.0.0.0      400
127.0.0.1 100.64.0.22  400
CASES

# A flood from one address: the first tens pass, most of the rest is cut,
# and that address stays cut while another is still served.
codes=$(flood 127.0.0.1 300)
passed=$(echo "$codes" | grep -cx 200) || true
refused=$(echo "$codes" | grep -cx 429) || true
echo "flood of 300: $passed passed, $refused refused"
expect "first 40 of the flood passed" "$(echo "$codes" | head -n 40 | grep -cx 200)" 40
[ "$passed" -le 150 ] || fail "the flood was not cut: $passed of 300 passed"
expect "the flood's answers" "$((passed + refused))" 300
# Another tenth of a second gives it one more request: it is refused
# within the next few.
tries=10
while ask 127.0.0.1 GET /firewall/ip.tpl && [ "$(answer_status)" != 429 ] && [ "$tries" -gt 1 ]; do
    tries=$((tries - 1))
done
check_answer "flooding address" 429 127.0.0.1 GET
ask 127.0.0.2 GET /firewall/ip.tpl
check_answer "another address" 200 127.0.0.2 GET

# A connection without a PROXY header gets nothing from the proxied block.
if [ "$kind" = proxied ]; then
    send 127.0.0.1 "$get\r\n"
    expect "without a PROXY header, the answer" "$(cat "$answers/body")" ""
fi

# Requests that nginx complains of, after the half-sent ones have timed out:
# nothing of all this (nor the above) names a client in nginx's logs.
wait "$holder" || fail "half-sent requests outlived the time-outs"
long=$(printf '%09000d' 0)
while read -r code bytes; do
    send "$3" "$4$(printf %s "$bytes" | sed "s/LONG/$long/")"
    expect "status of ${bytes%%\\r*}" "$(sed -n '1s/^HTTP\/[0-9.]* \([0-9]*\).*/\1/p' "$answers/body")" "$code"
done <<'CASES'
413 POST /firewall/ip.tpl HTTP/1.0\r\nContent-Length: 5000000\r\n\r\n
405 POST /firewall/ip.tpl HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n
400 GET /firewall/ip.tpl HTTP/1.0 x\r\n\r\n
400 GET /firewall/ip.tpl HTTP/1.0\r\nX: LONG\r\n\r\n
CASES
# Forged sources that fill the kernel's set of holders leave no address
# unlimited: one the set cannot hold is refused.
if [ "$kind" = direct ]; then
    python3 "$here/forge.py" fill ip marvoly_echo holders syn 127.0.0.1 80
    expect "connections held by a new address with the set full" \
        "$(python3 "$here/hold.py" 127.0.0.8 "$server" 30)" 0
fi
for log in access.log error.log; do
    [ -f "$state/$log" ] || fail "no $log"
    ! grep -E '127\.0\.0\.|192\.0\.2\.|203\.0\.113\.|10\.0\.0\.' "$state/$log" || fail "$log names clients"
done
echo "PASS: $kind"
