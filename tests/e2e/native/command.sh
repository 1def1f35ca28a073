#!/bin/sh
# The real command against the echo page on loopback: the native marvoly,
# or under Wine the Windows console program marvoly-cli.exe, which must
# answer alike:
#
#   command.sh report|json|echo-down|echo-url|usage|help-and-version
#
# The environment names MARVOLY_E2E_PROGRAM, MARVOLY_E2E_ECHO_URL (the page
# the program asks by default), MARVOLY_E2E_ECHO_LOG (one line per request,
# kept by the test's nginx) and MARVOLY_E2E_WORK (a folder for its files);
# for the Windows program MARVOLY_E2E_WINE_RUN, the build's Wine wrapper.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib.sh"
rig_use schema

program=$MARVOLY_E2E_PROGRAM
name=$(basename "$program" .exe)
echo_log=$MARVOLY_E2E_ECHO_LOG
work=$MARVOLY_E2E_WORK/command-$1
mkdir -p "$work"
cr=$(printf '\r')

# The Windows console's lines end in CR LF, the terminal's in LF: each line
# of FILE must end as its platform's do. The checks read them without CR.
check_line_ends() {
    ended=$(grep -c "$cr\$" "$1" || true)
    [ -n "${MARVOLY_E2E_WINE_RUN-}" ] || [ "$ended" -eq 0 ] || fail "a CR in $(cat "$1")"
    [ -z "${MARVOLY_E2E_WINE_RUN-}" ] || expect "lines ending in CR LF" "$ended" "$(line_count "$1")"
    tr -d "$cr" <"$1" >"$1.lf"
    mv "$1.lf" "$1"
}

# run ARGUMENT...: the program without a terminal (under Wine for the
# Windows one); out, err and rc in $work, its JSON (if any) read into
# $work/fields.
run() {
    first=$(line_count "$echo_log")
    rc=0
    timeout 30 ${MARVOLY_E2E_WINE_RUN:+"$MARVOLY_E2E_WINE_RUN"} "$program" "$@" </dev/null \
        >"$work/out" 2>"$work/err" || rc=$?
    check_line_ends "$work/out"
    check_line_ends "$work/err"
    json_fields "$work/out" "$work/fields" 2>/dev/null || true
}

requests() {
    sleep 0.3 # a second request would be logged by now
    echo $(($(line_count "$echo_log") - first))
}

field() {
    value "$1" "$work/fields"
}

check_found_json() {
    expect "exit code, lines, requests" "$rc $(line_count "$work/out") $(requests)" "0 1 1"
    check_report_schema "$work/out"
    expect "keys" "$(field keys)" "local_address,internet_address,behind_nat,note_id,note"
    expect "Internet address" "$(field internet_address)" 127.0.0.1
    is_dotted_quad "$(field local_address)" || fail "local address: $(field local_address)"
    expect "note" "$(field note)" "$(verdict_for "$(field local_address)" 127.0.0.1)"
    if [ "$(field note)" = "$note_behind" ]; then
        expect "behind NAT" "$(field behind_nat) $(field note_id)" "true 101"
    else
        expect "behind NAT" "$(field behind_nat) $(field note_id)" "false 100"
    fi
}

report() {
    run --report
    expect "exit code, lines, requests" "$rc $(line_count "$work/out") $(requests)" "0 3 1"
    local_address=$(sed -n 's/^Local IP address:     //p' "$work/out")
    is_dotted_quad "$local_address" || fail "report: $(cat "$work/out")"
    expect "Internet line" "$(sed -n 2p "$work/out")" "Internet IP address:  127.0.0.1"
    expect "notes line" "$(sed -n 3p "$work/out")" \
        "H.323 notes:          $(verdict_for "$local_address" 127.0.0.1)"
    # Without a terminal the program gives the same report unasked.
    mv "$work/out" "$work/report"
    run
    expect "requests" "$(requests)" 1
    cmp "$work/report" "$work/out" || fail "$name without options gave: $(cat "$work/out")"
}

json() {
    run --json
    check_found_json
}

# The page of --echo-url (either form) is asked: a closed port refuses, and
# a query on the built-in page shows in its log.
echo_down() {
    url=http://127.0.0.1:$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')/firewall/ip.tpl
    run --json --echo-url "$url"
    expect "exit code, requests" "$rc $(requests)" "1 0"
    expect "Internet address, behind NAT, note" \
        "$(field internet_address) $(field behind_nat) $(field note_id)" "null null 105"
    check_report_schema "$work/out"
    expect "note" "$(field note)" "$note_no_internet"
    is_dotted_quad "$(field local_address)" || fail "local address: $(field local_address)"
    run --report --echo-url="$url"
    expect "exit code" "$rc" 1
    expect "Internet line" "$(sed -n 2p "$work/out")" "Internet IP address:  $text_no_internet"
    expect "notes line" "$(sed -n 3p "$work/out")" "H.323 notes:          $note_no_internet"
}

echo_url() {
    run --json --echo-url "$MARVOLY_E2E_ECHO_URL?asked=by-option"
    tail -n 1 "$echo_log" | grep -qF "GET /firewall/ip.tpl?asked=by-option " ||
        fail "the page was asked: $(tail -n 1 "$echo_log")"
    check_found_json
}

# Each wrong command line: exit code 2, one line on standard error that
# names the problem and points to --help, nothing else, no request. A host
# of 128 characters (its port with it) is one more than the program holds.
usage() {
    h124=$(printf '%0124d' 0 | tr 0 h)
    while IFS='|' read -r arguments said; do
        # shellcheck disable=SC2086 # the row's words
        run $arguments
        expect "'$arguments': exit code, lines said, bytes out, requests" \
            "$rc $(line_count "$work/err") $(wc -c <"$work/out" | tr -d ' ') $(requests)" "2 1 0 0"
        grep -F -- "$said" "$work/err" | grep -qF -- "--help" ||
            fail "for '$arguments' it said: $(cat "$work/err")"
    done <<ROWS
--verbose|unknown option '--verbose'
-x --report|unknown option '-x'
--report now|unexpected argument 'now'
--json --echo-url|option '--echo-url' needs a URL
--report --json|--report and --json cannot be given together
--deep|--deep needs --report, --json or --html
--watch 0|--watch takes 10 to 86400 SECONDS, not '0'
--watch abc|not 'abc'
--watch=9 --json|not '9'
--json --watch|option '--watch' needs SECONDS
--html|option '--html' needs a FILE
--html /nonexistent-folder/page.html|the page cannot be written to '/nonexistent-folder/page.html'
--html - --json|--html - writes the page where the report would go
--watch 10 --deep --json|--watch repeats the quick facts only
--timers --report --json|--report and --json cannot be given together
--echo-url ftp://127.0.0.1/firewall/ip.tpl|the echo URL 'ftp://127.0.0.1/firewall/ip.tpl' names no HTTP host
--echo-url 127.0.0.1:8080/firewall/ip.tpl|names no HTTP host
--echo-url http:///firewall/ip.tpl|names no HTTP host
--echo-url http://127.0.0.1:0/firewall/ip.tpl|names no HTTP host
--json --deep --stun|option '--stun' needs a HOST or HOST:PORT
--json --deep --stun=stun.example.net:0|is no HOST or HOST:PORT
--json --deep --stun stun/example|is no HOST or HOST:PORT
--echo-url http://127.0.0.1:4294967376/firewall/ip.tpl|names no HTTP host and port 1-65535
--echo-url http://127.0.0.1:65536/firewall/ip.tpl|names no HTTP host and port 1-65535
--echo-url http://${h124}h:80/firewall/ip.tpl|the echo URL is too long (at most 127 characters of host and port
--json --deep --stun ${h124}hhhh|the STUN server is longer than 127 characters
ROWS
}

help_and_version() {
    while IFS='|' read -r option line; do
        run "$option"
        expect "$option: exit code, requests, first line" "$rc $(requests) $(head -n 1 "$work/out")" \
            "0 0 $line"
    done <<ROWS
--help|Usage: $name [--report | --json] [--deep] [--timers] [--html FILE]
-h|Usage: $name [--report | --json] [--deep] [--timers] [--html FILE]
--version|Marvoly 1.0.0.1
-V|Marvoly 1.0.0.1
ROWS
    run --help
    grep -qF -- "$MARVOLY_E2E_ECHO_URL" "$work/out" || fail "the usage names no built-in URL"
}

case "$1" in
report | json | echo-down | echo-url | usage | help-and-version) "$(echo "$1" | tr - _)" ;;
*) fail "no case $1" ;;
esac
echo "PASS: $1"
