#!/bin/sh
# The real marvoly, as shipped (asking www.tolvaric.com), in a terminal, run
# in the client namespace of ../netns/topology.sh: behind a translating
# router, routed without translation, or with the echo host out of reach.
#
#   netns.sh nat|routed|unreachable
#
# Needs Linux and root; elsewhere it ends with 77 (a skip for CTest). The
# environment names MARVOLY_E2E_PROGRAM and MARVOLY_E2E_WORK, a directory
# for this script's files.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib.sh"
. "$here/terminal.sh"

mode=${1-}
require_netns_scenario "$mode" tmux

work=$MARVOLY_E2E_WORK/netns-$mode
mkdir -p "$work"
prefix=mvn$$

cleanup() {
    stop_terminal
    sh "$here/../netns/topology.sh" down "$prefix"
}
trap cleanup EXIT
trap 'exit 1' HUP INT TERM

sh "$here/../netns/topology.sh" up "$mode" "$prefix" >"$work/topology"
cat "$work/topology"
client=$(value client "$work/topology")
expected_local=$(value local "$work/topology")
expected_internet=$(value internet "$work/topology")
echo_log=$(value echo_log "$work/topology")

start_dialog "$work" "ip netns exec $client $MARVOLY_E2E_PROGRAM"
# An unreachable echo host refuses at once; the time-outs are the limit.
wait_idle 60
screen

shown_local=$(field "Local IP address:")
shown_internet=$(field "Internet IP address:")
expect "local address" "$shown_local" "$expected_local"
case "$mode" in
nat)
    expect "Internet address" "$(field "Internet IP address:")" "$expected_internet"
    expect "note" "$(notes)" "$(as_shown "$note_behind")"
    expect "echo requests" "$(wait_lines "$echo_log" 2)" 2
    ;;
routed)
    expect "Internet address" "$(field "Internet IP address:")" "$expected_local"
    expect "note" "$(notes)" "$(as_shown "$note_not_behind")"
    expect "echo requests" "$(wait_lines "$echo_log" 2)" 2
    ;;
unreachable)
    expect "Internet address" "$(field "Internet IP address:")" "$text_no_internet"
    expect "note" "$(notes)" "$(as_shown "$note_no_internet")"
    expect "echo requests" "$(wait_lines "$echo_log" 0)" 0
    ;;
esac
keys Escape
wait_exit
check_restored

# The report of one run, in JSON, says what the dialog showed.
rc=0
timeout 60 ip netns exec "$client" "$MARVOLY_E2E_PROGRAM" --json </dev/null >"$work/json" || rc=$?
json_fields "$work/json" "$work/fields"
expect "report's local address" "$(value local_address "$work/fields")" "$shown_local"
case "$mode" in
nat) verdict="true 101 0 $shown_internet" requests=3 ;;
routed) verdict="false 100 0 $shown_internet" requests=3 ;;
unreachable) verdict="null 105 1 null" requests=0 ;;
esac
expect "behind NAT, note, exit code, Internet address" \
    "$(value behind_nat "$work/fields") $(value note_id "$work/fields") $rc $(value internet_address "$work/fields")" \
    "$verdict"
expect "echo requests" "$(wait_lines "$echo_log" "$requests")" "$requests"
echo "PASS: $mode"
