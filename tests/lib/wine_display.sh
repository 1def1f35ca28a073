#!/bin/sh
# A virtual X screen for the tests that open windows under Wine.
#
#   display.sh start|stop DISPLAY_NUMBER STATE_DIR WINE_RUN WINESERVER WINEPREFIX
#
# start: runs Xvfb on :DISPLAY_NUMBER (its pid goes to STATE_DIR/xvfb.pid),
# sets Wine to draw its own window frames on a 1024x768 virtual desktop, and
# restarts the prefix's wineserver so that the desktop of the next Wine
# process is made on that screen. The server stays up until stop, so that a
# test without a display cannot make the desktop on Wine's null driver in the
# meantime. stop: ends that wineserver and Xvfb.
set -eu

action=$1 number=$2 state=$3 wine_run=$4 wineserver=$5 prefix=$6
pid_file=$state/xvfb.pid
ready_file=$state/xvfb.ready
log_file=$state/xvfb.log

# Ends our own Xvfb of an earlier start, if it still runs.
stop_xvfb() {
    [ -s "$pid_file" ] || return 0
    pid=$(cat "$pid_file")
    if [ "$(cat /proc/"$pid"/comm 2>/dev/null)" = Xvfb ]; then
        kill "$pid"
        i=0
        while kill -0 "$pid" 2>/dev/null && [ $i -lt 50 ]; do
            sleep 0.1
            i=$((i + 1))
        done
        kill -0 "$pid" 2>/dev/null && kill -9 "$pid"
    fi
    rm -f "$pid_file" "$ready_file"
}

stop_wineserver() {
    WINEPREFIX=$prefix timeout 30 "$wineserver" -k 2>/dev/null || true
    WINEPREFIX=$prefix timeout 30 "$wineserver" -w
}

start_xvfb() {
    mkdir -p "$state"
    rm -f "$ready_file"
    # Xvfb writes the display number to fd 3 once it accepts clients. Its
    # output goes to a file: ctest must not wait on a pipe that Xvfb holds.
    setsid Xvfb ":$number" -screen 0 1280x1024x24 -nolisten tcp -displayfd 3 \
        3>"$ready_file" </dev/null >"$log_file" 2>&1 &
    echo $! >"$pid_file"
    i=0
    until [ -s "$ready_file" ]; do
        if ! kill -0 "$(cat "$pid_file")" 2>/dev/null || [ $i -ge 100 ]; then
            echo "Xvfb did not come up on :$number" >&2
            cat "$log_file" >&2
            stop_xvfb
            exit 1
        fi
        sleep 0.1
        i=$((i + 1))
    done
}

case $action in
start)
    stop_xvfb
    start_xvfb
    "$wine_run" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
    "$wine_run" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null
    "$wine_run" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null
    stop_wineserver
    WINEPREFIX=$prefix "$wineserver" -p </dev/null >/dev/null 2>&1
    DISPLAY=":$number" "$wine_run" cmd /c exit 0
    ;;
stop)
    stop_wineserver
    stop_xvfb
    ;;
*)
    echo "usage: $0 start|stop DISPLAY_NUMBER STATE_DIR WINE_RUN WINESERVER WINEPREFIX" >&2
    exit 2
    ;;
esac
