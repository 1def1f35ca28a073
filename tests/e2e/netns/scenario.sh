#!/bin/sh
# The real Marvoly.exe, as shipped (asking www.tolvaric.com), under Wine in
# the client namespace of topology.sh: behind a translating router, routed
# without translation, or with the echo host out of reach.
#
#   scenario.sh nat|routed|unreachable
#
# Needs Linux and root; elsewhere it ends with 77 (a skip for CTest). The
# environment names the pieces: MARVOLY_E2E_WINE, MARVOLY_E2E_WINESERVER,
# MARVOLY_E2E_AUTOMATE, MARVOLY_E2E_PROGRAM, and MARVOLY_E2E_WORK, a
# directory that keeps this scenario's own Wine prefix from run to run. With
# MARVOLY_E2E_SCREENSHOT set to a file name, a PNG of the dialog as it shows
# its result is written there.
#
# The client's Wine runs under a wineserver started inside the namespace, so
# that the program sees the namespace's interfaces as the machine's; X comes
# from a private Xvfb through its socket in /tmp/.X11-unix.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=SCRIPTDIR/../lib.sh
. "$here/../lib.sh"

mode=${1-}
require_netns_scenario "$mode" Xvfb

wine=$MARVOLY_E2E_WINE
wineserver=$MARVOLY_E2E_WINESERVER
work=$MARVOLY_E2E_WORK
limit=120 # seconds for any one Wine step
mkdir -p "$work"
export WINEPREFIX="$work/wineprefix" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES='mscoree,mshtml='

prefix=mve$$
client=
xvfb_pid=

# A run that was killed (a test time-out does that) could not clean up: its
# namespaces go now, once the process that named them is gone.
remove_leftovers() {
    ip netns list | sed -n 's/^\(mve[0-9][0-9]*\)-client.*/\1/p' | while read -r old; do
        kill -0 "${old#mve}" 2>/dev/null || sh "$here/topology.sh" down "$old"
    done
}

# Wine's background processes must not hold our output, or the test run
# would wait for them: every Wine step gets files of its own.
in_client() {
    timeout "$limit" ip netns exec "$client" "$@" </dev/null >>"$work/wine.log" 2>&1
}

cleanup() {
    if [ -n "$client" ]; then
        in_client "$wineserver" -k || true
        in_client "$wineserver" -w || true
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
    fi
    sh "$here/topology.sh" down "$prefix"
}
trap cleanup EXIT
trap 'exit 1' HUP INT TERM

# The prefix is made inside the namespace too: none of its processes may
# run outside while the client uses it.
prepare_prefix() {
    [ -e "$WINEPREFIX/.marvoly-ready" ] && return 0
    in_client "$wine" wineboot -i
    # Debian's Wine does not find its own fonts where the package puts them;
    # in the prefix it does. Without them the caption buttons lack their
    # symbols and the dialog is laid out in a stranger's font.
    if [ -d /usr/share/wine/fonts ]; then
        cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
    fi
    # Wine draws the frame itself, on a desktop of a known size.
    in_client "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
    in_client "$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f
    in_client "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f
    in_client "$wineserver" -k
    in_client "$wineserver" -w
    touch "$WINEPREFIX/.marvoly-ready"
}

start_wine() {
    prepare_prefix
    in_client "$wineserver" -p
    in_client "$wine" cmd /c exit 0
}

# automate STEP...: one life of the program, the report in $out. While a
# screenshot is wanted the dialog is held open until it has been taken.
automate() {
    out=$work/$mode.out
    rm -f "$out"
    timeout "$limit" ip netns exec "$client" "$wine" "$MARVOLY_E2E_AUTOMATE" \
        "$(windows_path "$MARVOLY_E2E_PROGRAM")" "$@" </dev/null >"$out" 2>"$work/$mode.err" &
    automation=$!
    if [ -n "${MARVOLY_E2E_SCREENSHOT-}" ]; then
        take_screenshot
    fi
    wait "$automation" || fail "the automation could not finish: $(cat "$work/$mode.err")"
    cat "$out"
}

take_screenshot() {
    tries=300
    while ! grep -q '^rect=' "$out" 2>/dev/null; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || fail "the dialog's rectangle never came"
        sleep 0.1
    done
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

remove_leftovers
sh "$here/topology.sh" up "$mode" "$prefix" >"$work/topology"
cat "$work/topology"
client=$(value client "$work/topology")
expected_local=$(value local "$work/topology")
expected_internet=$(value internet "$work/topology")
echo_log=$(value echo_log "$work/topology")

start_xvfb
start_wine
if [ -n "${MARVOLY_E2E_SCREENSHOT-}" ]; then
    automate idle fields rect sleep:3000 click:2 exit
else
    automate idle fields click:2 exit
fi

expect "exit code" "$(value exit "$out")" 0
expect "local address" "$(value local "$out")" "$expected_local"
case "$mode" in
nat)
    expect "Internet address" "$(value internet "$out")" "$expected_internet"
    expect "note" "$(value note "$out")" "$note_behind"
    expect "echo requests" "$(line_count "$echo_log")" 2
    ;;
routed)
    expect "Internet address" "$(value internet "$out")" "$expected_local"
    expect "note" "$(value note "$out")" "$note_not_behind"
    expect "echo requests" "$(line_count "$echo_log")" 2
    ;;
unreachable)
    expect "Internet address" "$(value internet "$out")" "$text_no_internet"
    expect "note" "$(value note "$out")" "$note_no_internet"
    expect "echo requests" "$(line_count "$echo_log")" 0
    ;;
esac
