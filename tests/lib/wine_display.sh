#!/bin/sh
# The private X screen of the tests that open windows under Wine, a CTest
# fixture:
#
#   wine_display.sh start|stop STATE_DIR WINE_RUN
#
# start: ends what an earlier start left in STATE_DIR, starts a 1280x1024
# screen (its display and cookie in STATE_DIR, where WINE_RUN finds them
# when MARVOLY_WINE_SCREEN names that folder), and restarts the build
# prefix's wineserver, so that the desktop of the next Wine process is made
# on that screen. The server stays up until stop, so that a test without a
# display cannot make the desktop on Wine's null driver in the meantime.
# stop: ends that wineserver and the screen.
set -eu

rig_lib=$(cd "$(dirname "$0")" && pwd)
. "$rig_lib/use.sh"
rig_use xvfb

action=$1 state=$2 wine_run=$3
case $action in
start)
    rig_fixture "$state"
    xvfb_start "$rig_dir" 1280x1024
    setup=$("$wine_run" --setup)
    prefix=$(echo "$setup" | sed -n 's/^prefix=//p')
    wineserver=$(echo "$setup" | sed -n 's/^wineserver=//p')
    rig_own wine "$wineserver" "$prefix"
    rig_undo wine "$wineserver" "$prefix"
    WINEPREFIX=$prefix "$wineserver" -p </dev/null >/dev/null 2>&1
    MARVOLY_WINE_SCREEN=$rig_dir "$wine_run" cmd /c exit 0
    ;;
stop) rig_reap "$state" ;;
*)
    echo "usage: $0 start|stop STATE_DIR WINE_RUN" >&2
    exit 2
    ;;
esac
