#!/bin/sh
# One fault of the echo host, end to end with the real program, in a network
# namespace of its own (loopback only) so that the fault peer may take the
# echo port whatever listens on it outside:
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
# MARVOLY_FAULT_WORK (a directory kept between runs); for wine also
# MARVOLY_FAULT_WINE, MARVOLY_FAULT_WINESERVER, MARVOLY_FAULT_AUTOMATE.
# Wine's dialog is read by the UI-automation program, the terminal's from
# its screen in tmux.
# Needs Linux and root; elsewhere it ends with 77, a skip for CTest.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
. "$here/../e2e/lib.sh"
. "$here/../e2e/native/terminal.sh"

if [ "${1-}" != --inside ]; then
    [ "$(id -u)" -eq 0 ] || skip "network namespaces need root"
    unshare --net --mount true 2>/dev/null || skip "no network namespaces here"
    exec unshare --net --mount sh "$0" --inside "$@"
fi
kind=$2
fault=$3
work=$MARVOLY_FAULT_WORK/$kind
limit=120 # seconds for any one step
mkdir -p "$work"
ip link set lo up

peer_pid=
xvfb_pid=
cleanup() {
    status=$?
    if [ "$status" -ne 0 ] && [ -s "$work/wine.log" ]; then
        echo "failed with $status; Wine said:"
        tail -n 20 "$work/wine.log"
    fi
    [ "$kind" = wine ] && stop_wine
    [ "$kind" = native ] && stop_terminal
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    [ -n "$peer_pid" ] && kill "$peer_pid" 2>/dev/null
    return 0
}
trap cleanup EXIT
trap 'exit 1' HUP INT TERM

# Only this mount namespace sees these: no name but localhost and the
# machine's own resolves, and a name server query is refused at once.
isolate_resolver() {
    printf '127.0.0.1 localhost %s\n' "$(hostname)" >"$work/hosts"
    printf 'nameserver 127.0.0.1\noptions attempts:1 timeout:1\n' >"$work/resolv.conf"
    mount --bind "$work/hosts" /etc/hosts
    mount --bind "$work/resolv.conf" /etc/resolv.conf
}

start_peer() {
    python3 "$here/fault_peer.py" "$MARVOLY_FAULT_PORT" "$fault" >"$work/peer.log" 2>&1 &
    peer_pid=$!
    tries=100
    until grep -q '^listening' "$work/peer.log"; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || fail "the fault peer did not start: $(cat "$work/peer.log")"
        sleep 0.1
    done
}

# --- Marvoly.exe under Wine, driven by the UI-automation program ---------

export WINEPREFIX="$work/wineprefix" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES='mscoree,mshtml='

# Wine's background processes must not hold our output: files only.
wine_step() {
    timeout "$limit" "$@" </dev/null >>"$work/wine.log" 2>&1
}

# The prefix is made and used only inside namespaces like this one, by a
# wineserver of its own: never by a process outside.
start_wine() {
    if [ ! -e "$WINEPREFIX/.marvoly-ready" ]; then
        wine_step "$MARVOLY_FAULT_WINE" wineboot -i
        # Wine draws the frame itself, on a desktop of a known size.
        wine_step "$MARVOLY_FAULT_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
        wine_step "$MARVOLY_FAULT_WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f
        wine_step "$MARVOLY_FAULT_WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' \
            /v Default /d 1024x768 /f
        wine_step "$MARVOLY_FAULT_WINESERVER" -k || true
        wine_step "$MARVOLY_FAULT_WINESERVER" -w || true
        touch "$WINEPREFIX/.marvoly-ready"
    fi
    wine_step "$MARVOLY_FAULT_WINESERVER" -p
    wine_step "$MARVOLY_FAULT_WINE" cmd /c exit 0
}

stop_wine() {
    wine_step "$MARVOLY_FAULT_WINESERVER" -k || true
    wine_step "$MARVOLY_FAULT_WINESERVER" -w || true
}

run_wine() {
    start_xvfb
    start_wine
    out=$work/$fault.out
    timeout "$limit" "$MARVOLY_FAULT_WINE" "$MARVOLY_FAULT_AUTOMATE" \
        "$(windows_path "$MARVOLY_FAULT_PROGRAM")" idle fields state key:esc exit \
        </dev/null >"$out" 2>"$work/$fault.err" ||
        fail "the automation could not finish: $(cat "$work/$fault.err")"
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
wait_run_over() {
    tries=600
    until [ -n "$(notes)" ] && screen | grep -qF '[>Refresh<'; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || fail "no run came to its end: $(screen)"
        sleep 0.1
    done
}

run_native() {
    start_dialog "$work/$fault" "$MARVOLY_FAULT_PROGRAM"
    # At rest means at rest after the last queued run, not between two.
    wait_run_over
    sleep 0.5
    wait_run_over
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

isolate_resolver
rm -f "$work/peer.log"
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
connections=$(grep -c '^connection' "$work/peer.log" 2>/dev/null || true)
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
