# A Wine prefix of this run's own (sourced after rig.sh, not run).
#
#   wine_private WINE_RUN
#       makes $rig_dir/wineprefix, a copy in hard links of the build tree's
#       prefix, which its Wine wrapper WINE_RUN makes ready (a 1024x768
#       virtual desktop on which Wine draws the window frames itself, and
#       Wine's own fonts). Run it in the machine's namespaces, where that
#       prefix's wineserver lives. Exports WINEPREFIX and Wine's settings;
#       sets $wine and $wineserver.
#   wine_start [RUNNER...]
#       starts the prefix's wineserver and its desktop through RUNNER (for
#       example ip netns exec NAME, so that the program sees that
#       namespace's interfaces as the machine's); both are recorded for
#       rig_end. Every later Wine process of the prefix must run there too.
#   wine_step COMMAND...
#       one step, bounded to 120 s, its output appended to
#       $rig_dir/wine.log: Wine's background processes must never hold the
#       caller's pipes, or the test run would wait for them.
# shellcheck shell=sh

wine_step() {
    timeout 120 "$@" </dev/null >>"$rig_dir/wine.log" 2>&1
}

wine_private() {
    rig_setup=$("$1" --setup) || fail "the build's Wine prefix could not be made"
    wine=$(echo "$rig_setup" | sed -n 's/^wine=//p')
    wineserver=$(echo "$rig_setup" | sed -n 's/^wineserver=//p')
    # Wine replaces a registry file by a new one, never writes into it: the
    # links never carry a change back to the build's prefix.
    cp -al "$(echo "$rig_setup" | sed -n 's/^prefix=//p')" "$rig_dir/wineprefix"
    export WINEPREFIX="$rig_dir/wineprefix" WINEARCH=win64 WINEDEBUG=-all
    export WINEDLLOVERRIDES='mscoree,mshtml='
}

# The wineserver of a prefix works in a folder named for the prefix's
# device and inode.
wine_server_pid() {
    # shellcheck disable=SC2046,SC2183 # device and inode
    rig_server=$(printf '/server-%x-%x' $(stat -c '%d %i' "$1"))
    for rig_proc in /proc/[0-9]*; do
        case $(readlink "$rig_proc/cwd" 2>/dev/null) in
        *"$rig_server") echo "${rig_proc#/proc/}" ;;
        esac
    done
}

wine_server_found() {
    rig_pid=$(wine_server_pid "$WINEPREFIX")
    [ -n "$rig_pid" ]
}

wine_start() {
    rig_own wine "$wineserver" "$WINEPREFIX"
    wine_step "$@" "$wineserver" -p || fail "the wineserver did not start"
    # The server may still be settling into its folder when -p returns.
    wait_until 50 wine_server_found || fail "the wineserver of $WINEPREFIX is not to be found"
    rig_own_pid "$rig_pid"
    # Undone before the pid: -k ends the server with its clients, where a
    # signal to the server alone leaves Wine's services running.
    rig_own wine "$wineserver" "$WINEPREFIX"
    wine_step "$@" "$wine" cmd /c exit 0 || fail "Wine did not start: $(tail -n 20 "$rig_dir/wine.log")"
}

# The Windows name under Wine's drive Z: of an absolute Unix path.
windows_path() {
    # shellcheck disable=SC1003 # tr's '\\' is one backslash
    printf 'Z:%s' "$1" | tr / '\\'
}
