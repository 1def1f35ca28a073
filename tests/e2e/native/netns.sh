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

expect "local address" "$(field "Local IP address:")" "$expected_local"
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
echo "PASS: $mode"
