# Asking the echo service and checking its answers, for the service tests
# (sourced, not run). Requests go to $server (host:port)
# with curl, each over a new connection as Marvoly makes them, from the
# local address given (--interface), bounded to 5 s. $answers is a
# directory for the last answer: header (CR removed) and body. With
# $proxy_header set to --haproxy-protocol every connection begins with a
# PROXY header naming its own addresses. $runner, when set, runs curl (for
# example "ip netns exec NAME").
# shellcheck shell=sh disable=SC2154

proxy_header=
runner=

# ask FROM METHOD PATH [CURL_ARGUMENT...]
ask() {
    ask_from=$1
    ask_method=$2
    ask_path=$3
    shift 3
    case "$ask_method" in
    HEAD) ask_how=--head ;;
    *) ask_how="--request $ask_method" ;;
    esac
    # shellcheck disable=SC2086 # $runner, $ask_how and $proxy_header are words
    $runner curl --silent --http1.0 --max-time 5 --interface "$ask_from" $ask_how $proxy_header \
        --header 'Accept-Encoding: gzip, deflate' --dump-header "$answers/header.crlf" \
        --output "$answers/body" "$@" "http://$server$ask_path" || true
    tr -d '\r' <"$answers/header.crlf" >"$answers/header" 2>/dev/null || : >"$answers/header"
}

# send FROM BYTES: BYTES (printf's escapes) as they are, the answer in body.
send() {
    # shellcheck disable=SC2059,SC2086 # the bytes are the format; $runner is words
    printf "$2" | $runner timeout 5 curl --silent --interface "$1" "telnet://$server" \
        >"$answers/body" || true
}

# The address the last page showed, empty without one.
shown_address() {
    sed -n 's/.*<body>\([0-9.]*\)<\/body>.*/\1/p' "$answers/body"
}

# The status codes of COUNT requests of the page from FROM, one a line, in
# the order sent.
flood() {
    # shellcheck disable=SC2086 # $runner and $proxy_header are words
    $runner curl --silent --max-time 30 --interface "$1" $proxy_header --header 'Connection: close' \
        --output /dev/null --write-out '%{http_code}\n' \
        "http://$server/firewall/ip.tpl?n=[1-$2]" || true
}

answer_status() {
    sed -n '1s/^HTTP\/[0-9.]* \([0-9]*\).*/\1/p' "$answers/header"
}

has_line() {
    grep -qxF -- "$1" "$answers/header"
}

# check_answer WHAT CODE FROM METHOD: the last answer had status CODE, the
# headers that every answer carries, Allow exactly on 405, and the page
# with FROM's address exactly on 200 to GET.
check_answer() {
    ask_what=$1
    ask_code=$2
    expect "$ask_what: status" "$(answer_status)" "$ask_code"
    for ask_line in 'Cache-Control: no-store, no-cache, must-revalidate, max-age=0' \
        'Pragma: no-cache' 'Expires: Thu, 01 Jan 1970 00:00:00 GMT' 'Server: nginx'; do
        has_line "$ask_line" || fail "$ask_what: no '$ask_line' in $(cat "$answers/header")"
    done
    ! grep -qi '^Content-Encoding:' "$answers/header" || fail "$ask_what: compressed"
    ask_allow=$(sed -n 's/^Allow: //p' "$answers/header")
    if [ "$ask_code" = 405 ]; then
        expect "$ask_what: Allow" "$ask_allow" "GET, HEAD"
    else
        expect "$ask_what: Allow" "$ask_allow" ""
    fi
    case "$ask_code $4" in
    "200 GET")
        expect "$ask_what: page" "$(cat "$answers/body")" \
            "<html><head><title>IP address</title></head><body>$3</body></html>"
        ;;
    "200 HEAD") expect "$ask_what: page's length" "$(sed -n 's/^Content-Length: //p' "$answers/header")" \
        $((${#3} + 65)) ;;
    *) ! grep -qF "<body>$3<" "$answers/body" || fail "$ask_what: the page came" ;;
    esac
}
