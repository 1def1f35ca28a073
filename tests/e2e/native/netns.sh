#!/bin/sh
# The real marvoly, as shipped (asking www.tolvaric.com), in a terminal, run
# in the client namespace of ../netns/topology.sh: behind a translating
# router, routed without translation, with the echo host out of reach,
# behind the router again with the echo service as a fleet, or behind a
# firewall that drops the connection requests to the echo host. In every
# mode the dialog must be usable within 12 s of the start; behind the
# firewall a SIGTERM during a run must also end the program within 1 s.
#
#   netns.sh nat|routed|unreachable|fleet|firewall
#
# Needs Linux and root; elsewhere it ends with 77 (a skip for CTest). The
# environment names MARVOLY_E2E_PROGRAM and MARVOLY_E2E_WORK, the folder of
# the runs' own folders.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib.sh"
rig_use netns terminal
rig_use topology

mode=${1-}
netns_require iptables nginx haproxy tmux

rig_begin "$MARVOLY_E2E_WORK/netns-$mode"
topology_up "$mode"

milliseconds() {
    echo $(($(date +%s%N) / 1000000))
}

started=$(milliseconds)
start_dialog "$rig_dir" "ip netns exec $client $MARVOLY_E2E_PROGRAM"
# An unreachable echo host refuses at once; the time-outs are the limit.
wait_idle 60
usable=$(($(milliseconds) - started))
screen
echo "usable after ${usable} ms"
[ "$usable" -le 12000 ] || fail "the dialog was usable only after ${usable} ms"

shown_local=$(field "Local IP address:")
shown_internet=$(field "Internet IP address:")
expect "local address" "$shown_local" "$expected_local"
expect "Internet address" "$shown_internet" "$expected_internet"
expect "note" "$(notes)" "$(as_shown "$expected_note")"
expect "echo requests" "$(wait_lines "$echo_log" "$expected_requests")" "$expected_requests"
keys Escape
wait_exit
check_restored

# The report of one run, in JSON, says what the dialog showed.
rc=0
timeout 60 ip netns exec "$client" "$MARVOLY_E2E_PROGRAM" --json </dev/null >"$rig_dir/json" || rc=$?
json_fields "$rig_dir/json" "$rig_dir/fields"
expect "report's local address" "$(value local_address "$rig_dir/fields")" "$shown_local"
case "$mode" in
nat | fleet) verdict="true 101 0 $shown_internet" requests=3 ;;
routed) verdict="false 100 0 $shown_internet" requests=3 ;;
unreachable | firewall) verdict="null 105 1 null" requests=0 ;;
esac
expect "behind NAT, note, exit code, Internet address" \
    "$(value behind_nat "$rig_dir/fields") $(value note_id "$rig_dir/fields") $rc $(value internet_address "$rig_dir/fields")" \
    "$verdict"
expect "echo requests" "$(wait_lines "$echo_log" "$requests")" "$requests"

# A connect that waits for the firewall is the slowest part of a run; a
# SIGTERM then ends the program at once, with the terminal as it was.
if [ "$mode" = firewall ]; then
    stop_terminal
    start_dialog "$rig_dir" "ip netns exec $client $MARVOLY_E2E_PROGRAM"
    wait_screen "Detecting..."
    sleep 1
    signalled=$(milliseconds)
    kill -TERM "$(cat "$rig_dir/pid")"
    while [ ! -s "$rig_dir/rc" ]; do
        [ $(($(milliseconds) - signalled)) -le 5000 ] || fail "the program outlived SIGTERM"
        sleep 0.02
    done
    gone=$(($(milliseconds) - signalled))
    echo "gone ${gone} ms after SIGTERM"
    [ "$gone" -le 1000 ] || fail "the program ended ${gone} ms after SIGTERM"
    wait_exit
    check_restored
    [ ! -s "$rig_dir/stderr" ] || fail "it said: $(cat "$rig_dir/stderr")"
fi
echo "PASS: $mode"
