#!/bin/sh
# One fault of the echo host, end to end with the real program, in network
# and mount namespaces of its own (loopback only, no name server) so that
# the fault peer may take the echo port whatever listens on it outside:
#
#   fault.sh wine|native FAULT
#
# FAULT is one of fault_peer.py's faults, or "unresolvable": the echo host's
# name resolves nowhere (for programs built with the shipped echo URL). The
# program must end each fault with the dialog usable: the Internet address's
# failure text, the note for it, Refresh enabled, and exit code 0 on Esc.
#
# Environment: MARVOLY_FAULT_PROGRAM, MARVOLY_FAULT_PORT (the echo port; not
# for unresolvable), MARVOLY_FAULT_TIMEOUT_MS (the program's socket time-out),
# MARVOLY_FAULT_WORK (the folder of the runs' own folders); for wine also
# MARVOLY_FAULT_WINE_RUN (the build's Wine wrapper, whose prefix each run
# copies) and MARVOLY_FAULT_AUTOMATE. Wine's dialog is read by the
# UI-automation program, the terminal's from its screen in tmux. The X
# screen and the prefix are made outside, the rest inside the namespaces.
# Needs Linux and root; elsewhere it ends with 77, a skip for CTest.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib.sh"
rig_use xvfb wine terminal

if [ "${1-}" != --inside ]; then
    [ "$(id -u)" -eq 0 ] || skip "network namespaces need root"
    unshare --net --mount true 2>/dev/null || skip "no network namespaces here"
    rig_begin "$MARVOLY_FAULT_WORK/$1"
    if [ "$1" = wine ]; then
        xvfb_start "$rig_dir" 1024x768
        wine_private "$MARVOLY_FAULT_WINE_RUN"
    fi
    export rig_dir wine wineserver
    "$rig_lib/private-net.sh" sh "$0" --inside "$@" &
    rig_own_pid $!
    wait $!
    exit 0
fi
kind=$2
fault=$3

# The run's things are ended from outside, by the trap of its first half.
trap '[ $? -eq 0 ] || tail -n 20 "$rig_dir/wine.log" 2>/dev/null' EXIT

start_peer() {
    python3 "$here/fault_peer.py" "$MARVOLY_FAULT_PORT" "$fault" >"$rig_dir/peer.log" 2>&1 &
    rig_own_pid $!
    wait_until 100 grep -q '^listening' "$rig_dir/peer.log" ||
        fail "the fault peer did not start: $(cat "$rig_dir/peer.log")"
}

# --- Marvoly.exe under Wine, driven by the UI-automation program ---------

run_wine() {
    wine_start
    out=$rig_dir/$fault.out
    timeout 120 "$wine" "$MARVOLY_FAULT_AUTOMATE" \
        "$(windows_path "$MARVOLY_FAULT_PROGRAM")" idle fields state key:esc exit \
        </dev/null >"$out" 2>"$rig_dir/$fault.err" ||
        fail "the automation could not finish: $(cat "$rig_dir/$fault.err")"
    cat "$out"
    expect "local address is an address" "$(is_dotted_quad "$(value local "$out")" && echo yes)" yes
    expect "Internet address" "$(value internet "$out")" "$text_no_internet"
    expect "note" "$(value note "$out")" "$note_no_internet"
    expect "Refresh" "$(value refresh "$out")" enabled
    expect "focused control" "$(value focus "$out")" 1
    expect "exit code on Esc" "$(value exit "$out")" 0
}

# --- marvoly in a terminal, read from the screen ----------------------------

# A run is over when it has left a note and Refresh is enabled (and focused)
# again; before the first run both fields and the note are still empty.
run_over() {
    [ -n "$(notes)" ] && screen | grep -qF '[>Refresh<'
}

run_native() {
    start_dialog "$rig_dir" "$MARVOLY_FAULT_PROGRAM"
    # At rest means at rest after the last queued run, not between two.
    wait_until 600 run_over || fail "no run came to its end: $(screen)"
    sleep 0.5
    wait_until 600 run_over || fail "no run came to its end: $(screen)"
    screen
    expect "local address is an address" \
        "$(is_dotted_quad "$(field 'Local IP address:')" && echo yes)" yes
    expect "Internet address" "$(field 'Internet IP address:')" "$text_no_internet"
    expect "note" "$(notes)" "$(as_shown "$note_no_internet")"
    keys Escape
    wait_exit
    check_restored
}

# --- the whole fault ------------------------------------------------------

[ "$fault" = unresolvable ] || start_peer
started=$(date +%s)
case "$kind" in
wine) run_wine ;;
native) run_native ;;
*) fail "unknown kind $kind" ;;
esac
seconds=$(($(date +%s) - started))
echo "the program's life took ${seconds}s"

# The program met the fault (an echo host that does not resolve is never
# asked); how many runs it makes is the dialog's own business.
connections=$(grep -c '^connection' "$rig_dir/peer.log" 2>/dev/null || true)
connections=${connections:-0}
echo "connections to the echo host: $connections"
if [ "$fault" = unresolvable ]; then
    expect "connections to the echo host" "$connections" 0
else
    [ "$connections" -ge 1 ] || fail "the program never asked the echo host"
fi
# A silent host costs each run one receive time-out, and no more.
if [ "$fault" = silent ]; then
    least=$((connections * MARVOLY_FAULT_TIMEOUT_MS / 1000))
    [ "$seconds" -ge "$least" ] || fail "over in ${seconds}s: the time-outs were not waited out"
    [ "$seconds" -le $((least + 30)) ] || fail "${seconds}s: the time-outs did not end the runs"
fi
