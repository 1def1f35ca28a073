#!/bin/sh
# The real Marvoly.exe, as shipped (asking www.tolvaric.com), under Wine in
# the client namespace of topology.sh: behind a translating router, routed
# without translation, with the echo host out of reach, behind the router
# again with the echo service as a fleet, or behind a firewall that drops
# the connection requests to the echo host. In every mode the dialog must
# be usable within 12 s of the program's start. Behind the router and
# routed, marvoly-cli.exe --json --deep must then find what the native
# command finds there.
#
#   scenario.sh nat|routed|unreachable|fleet|firewall
#
# Needs Linux and root; elsewhere it ends with 77 (a skip for CTest). The
# environment names the pieces: MARVOLY_E2E_WINE_RUN (the build's Wine
# wrapper, whose prefix this run copies), MARVOLY_E2E_AUTOMATE,
# MARVOLY_E2E_PROGRAM, MARVOLY_E2E_CLI, and MARVOLY_E2E_WORK, the folder of
# the runs' own folders. With MARVOLY_E2E_SCREENSHOT set to a file name, a PNG of the
# dialog as it shows its result is written there.
#
# The client's Wine runs under a wineserver started inside the namespace, so
# that the program sees the namespace's interfaces as the machine's; X comes
# from a private Xvfb through its socket in /tmp/.X11-unix.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib.sh"
rig_use netns xvfb wine
rig_use topology

mode=${1-}
netns_require iptables nginx haproxy Xvfb

rig_begin "$MARVOLY_E2E_WORK"
topology_up "$mode"
xvfb_start "$rig_dir" 1024x768
wine_private "$MARVOLY_E2E_WINE_RUN"
wine_start ip netns exec "$client"

take_screenshot() {
    wait_until 300 grep -q '^rect=' "$out" || fail "the dialog's rectangle never came"
    # Lets the dialog finish painting the last texts.
    sleep 1
    value rect "$out" | {
        IFS=, read -r left top right bottom
        import -display "$DISPLAY" -window root \
            -crop "$((right - left))x$((bottom - top))+$left+$top" +repage \
            "$MARVOLY_E2E_SCREENSHOT"
    }
    echo "screenshot: $MARVOLY_E2E_SCREENSHOT"
}

# One life of the program, the report in $out. While a screenshot is wanted
# the dialog is held open until it has been taken.
out=$rig_dir/$mode.out
steps="idle elapsed fields click:2 exit"
[ -z "${MARVOLY_E2E_SCREENSHOT-}" ] || steps="idle elapsed fields rect sleep:3000 click:2 exit"
# shellcheck disable=SC2086 # the steps are words
timeout 120 ip netns exec "$client" "$wine" "$MARVOLY_E2E_AUTOMATE" \
    "$(windows_path "$MARVOLY_E2E_PROGRAM")" $steps </dev/null >"$out" 2>"$rig_dir/$mode.err" &
automation=$!
rig_own_pid "$automation"
[ -z "${MARVOLY_E2E_SCREENSHOT-}" ] || take_screenshot
wait "$automation" || fail "the automation could not finish: $(cat "$rig_dir/$mode.err")"
cat "$out"

usable=$(value elapsed "$out")
[ "$usable" -le 12000 ] || fail "the dialog was usable only after ${usable} ms"
expect "exit code" "$(value exit "$out")" 0
expect "local address" "$(value local "$out")" "$expected_local"
expect "Internet address" "$(value internet "$out")" "$expected_internet"
expect "note" "$(value note "$out")" "$expected_note"
expect "echo requests" "$(line_count "$echo_log")" "$expected_requests"

# The deep facts as deep.sh's nat and routed rows have them for the native
# command: no router to ask (and on Windows none asked), double NAT
# unknown, and port 1720 refused by the router or reached through it.
case "$mode" in
nat) incoming=unreachable ;;
routed) incoming=reachable ;;
*) exit 0 ;;
esac
rc=0
timeout 60 ip netns exec "$client" "$wine" "$MARVOLY_E2E_CLI" --json --deep </dev/null \
    >"$rig_dir/cli.json" 2>"$rig_dir/cli.err" || rc=$?
cat "$rig_dir/cli.json" "$rig_dir/cli.err"
json_fields "$rig_dir/cli.json" "$rig_dir/cli.fields"
facts() {
    for key in local_address internet_address note double_nat port_mapping port_mapping_reason \
        inbound_tcp_1720 inbound_tcp_1720_reason; do
        value "$key" "$rig_dir/cli.fields"
    done
}
expect "marvoly-cli.exe's exit code and facts" "$rc $(facts | tr '\n' '|')" \
    "0 $expected_local|$expected_internet|$expected_note|null|null|$(rig_text kDeepMappingUnasked)|$incoming|null|"
