#!/bin/sh
# The real marvoly as a command, against the echo page on loopback:
#
#   command.sh CASE
#
# CASE is one of the functions at the end. The environment names
# MARVOLY_E2E_PROGRAM, MARVOLY_E2E_ECHO_URL (the page the program asks by
# default), MARVOLY_E2E_ECHO_LOG (one line per request, kept by the test's
# nginx) and MARVOLY_E2E_WORK (a directory for this script's files).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib.sh"

program=$MARVOLY_E2E_PROGRAM
echo_log=$MARVOLY_E2E_ECHO_LOG
work=$MARVOLY_E2E_WORK/command-$1
mkdir -p "$work"

# run ARGUMENT...: the program without a terminal; out, err and rc in $work.
run() {
    first=$(line_count "$echo_log")
    rc=0
    timeout 30 "$program" "$@" </dev/null >"$work/out" 2>"$work/err" || rc=$?
}

requests() {
    sleep 0.3 # a second request would be logged by now
    echo $(($(line_count "$echo_log") - first))
}

field() {
    value "$1" "$work/fields"
}

# A closed port on loopback: connections there are refused at once.
closed_url() {
    port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    echo "http://127.0.0.1:$port/firewall/ip.tpl"
}

check_found_json() {
    expect "exit code" "$rc" 0
    expect "lines" "$(line_count "$work/out")" 1
    json_fields "$work/out" "$work/fields"
    expect "keys" "$(field keys)" "local_address,internet_address,behind_nat,note_id,note"
    expect "Internet address" "$(field internet_address)" 127.0.0.1
    is_dotted_quad "$(field local_address)" || fail "local address: $(field local_address)"
    note=$(verdict_for "$(field local_address)" 127.0.0.1)
    expect "note" "$(field note)" "$note"
    case "$note" in
    "$note_behind") expect "behind NAT" "$(field behind_nat) $(field note_id)" "true 101" ;;
    *) expect "behind NAT" "$(field behind_nat) $(field note_id)" "false 100" ;;
    esac
}

report() {
    run --report
    expect "exit code" "$rc" 0
    expect "requests" "$(requests)" 1
    expect "lines" "$(line_count "$work/out")" 3
    local_address=$(sed -n 's/^Local IP address:     //p' "$work/out")
    is_dotted_quad "$local_address" || fail "report: $(cat "$work/out")"
    expect "Internet line" "$(sed -n 2p "$work/out")" "Internet IP address:  127.0.0.1"
    expect "notes line" "$(sed -n 3p "$work/out")" \
        "H.323 notes:          $(verdict_for "$local_address" 127.0.0.1)"
    cp "$work/out" "$work/report"
    # Without a terminal the program gives the same report unasked.
    first=$(line_count "$echo_log")
    "$program" </dev/null | cat >"$work/out"
    expect "requests" "$(requests)" 1
    cmp "$work/report" "$work/out" || fail "marvoly | cat gave: $(cat "$work/out")"
}

json() {
    run --json
    expect "requests" "$(requests)" 1
    check_found_json
}

echo_down() {
    url=$(closed_url)
    run --json --echo-url "$url"
    expect "exit code" "$rc" 1
    json_fields "$work/out" "$work/fields"
    expect "Internet address, behind NAT, note" \
        "$(field internet_address) $(field behind_nat) $(field note_id)" "null null 105"
    expect "note" "$(field note)" "$note_no_internet"
    is_dotted_quad "$(field local_address)" || fail "local address: $(field local_address)"
    run --report --echo-url="$url"
    expect "exit code" "$rc" 1
    expect "Internet line" "$(sed -n 2p "$work/out")" "Internet IP address:  $text_no_internet"
    expect "notes line" "$(sed -n 3p "$work/out")" "H.323 notes:          $note_no_internet"
    expect "requests" "$(requests)" 0
}

# The page that --echo-url names is the one asked: the built-in one with a
# query that its log shows.
echo_url() {
    run --json --echo-url "$MARVOLY_E2E_ECHO_URL?asked=by-option"
    expect "requests" "$(requests)" 1
    tail -n 1 "$echo_log" | grep -qF "GET /firewall/ip.tpl?asked=by-option " ||
        fail "the page was asked: $(tail -n 1 "$echo_log")"
    check_found_json
}

# Each wrong command line: exit code 2, one line on standard error that
# names the problem and points to --help, nothing else, no request.
usage() {
    while IFS='|' read -r arguments said; do
        # shellcheck disable=SC2086 # the row's words
        run $arguments
        expect "exit code of '$arguments'" "$rc" 2
        expect "lines said for '$arguments'" "$(line_count "$work/err")" 1
        grep -qF -- "$said" "$work/err" || fail "for '$arguments' it said: $(cat "$work/err")"
        grep -qF -- "--help" "$work/err" || fail "no pointer to --help: $(cat "$work/err")"
        expect "bytes on standard output" "$(wc -c <"$work/out" | tr -d ' ')" 0
        expect "requests" "$(requests)" 0
    done <<'ROWS'
--verbose|unknown option '--verbose'
-x --report|unknown option '-x'
--report now|unexpected argument 'now'
--json --echo-url|option '--echo-url' needs a URL
--report --json|--report and --json cannot be given together
--echo-url ftp://127.0.0.1/firewall/ip.tpl|the echo URL 'ftp://127.0.0.1/firewall/ip.tpl' names no HTTP host
--echo-url 127.0.0.1:8080/firewall/ip.tpl|names no HTTP host
--echo-url http:///firewall/ip.tpl|names no HTTP host
--echo-url http://127.0.0.1:0/firewall/ip.tpl|names no HTTP host
ROWS
}

help_and_version() {
    for option in --help -h; do
        run "$option"
        expect "exit code of $option" "$rc" 0
        expect "first line" "$(head -n 1 "$work/out")" "Usage: marvoly [--report | --json] [--echo-url URL]"
        grep -qF -- "$MARVOLY_E2E_ECHO_URL" "$work/out" || fail "no built-in URL in the usage"
    done
    for option in --version -V; do
        run "$option"
        expect "exit code of $option" "$rc" 0
        expect "version" "$(cat "$work/out")" "Marvoly 1.0.0.1"
    done
    expect "requests" "$(requests)" 0
}

case "$1" in
report) report ;;
json) json ;;
echo-down) echo_down ;;
echo-url) echo_url ;;
usage) usage ;;
help-and-version) help_and_version ;;
*)
    echo "usage: $0 report|json|echo-down|echo-url|usage|help-and-version" >&2
    exit 2
    ;;
esac
echo "PASS: $1"
