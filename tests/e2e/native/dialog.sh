#!/bin/sh
# The real marvoly in a terminal, against the echo page on loopback:
#
#   dialog.sh CASE
#
# CASE is one of the functions at the end. The environment names the pieces:
# MARVOLY_E2E_PROGRAM (the program), MARVOLY_E2E_ECHO_LOG (the echo page's
# access log: one line per request) and MARVOLY_E2E_WORK (the folder of the
# runs' own folders).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib.sh"
rig_use terminal

program=$MARVOLY_E2E_PROGRAM
echo_log=$MARVOLY_E2E_ECHO_LOG
rig_begin "$MARVOLY_E2E_WORK/$1"
work=$rig_dir
first=$(line_count "$echo_log")

requests() {
    echo $(($(wait_lines "$echo_log" $((first + $1))) - first))
}

# Both addresses and the note that their comparison calls for.
check_fields() {
    internet=$(field "Internet IP address:")
    local_address=$(field "Local IP address:")
    expect "Internet address" "$internet" 127.0.0.1
    is_dotted_quad "$local_address" || fail "local address: '$local_address'"
    expect "note" "$(notes)" "$(as_shown "$(verdict_for "$local_address" "$internet")")"
}

# Refresh until the screen shows that run's end and no other.
check_one_run() {
    what=$1
    shift
    keys "$@"
    count=$(requests "$((runs + 1))")
    expect "requests after $what" "$count" $((runs + 1))
    runs=$count
    wait_idle
    check_fields
}

first_display() {
    start_dialog "$work" "$program"
    wait_idle
    expect "requests" "$(requests 2)" 2
    screen | head -n 1 | grep -qF -- "+- Marvoly -" || fail "no caption in the frame"
    check_fields
    screen
    keys Escape
    wait_exit
}

refresh() {
    start_dialog "$work" "$program"
    wait_idle
    runs=$(requests 2)
    check_one_run Enter Enter
    check_one_run "the mnemonic" r
    check_one_run "the mnemonic with Alt" M-r
    check_one_run Space Space
    set -- $(where '[>Refresh<')
    click "$1" "$(($2 + 3))"
    count=$(requests "$((runs + 1))")
    expect "requests after a click" "$count" $((runs + 1))
    keys Escape
    wait_exit
}

links() {
    start_dialog "$work" "$program"
    wait_idle
    keys t
    expect "pages opened" "$(wait_lines "$work/opened" 1)" 1
    expect "maker's page" "$(cat "$work/opened")" \
        "http://www.tolvaric.com/products/buy.tpl?product=KESTRAMO"
    keys p
    expect "pages opened" "$(wait_lines "$work/opened" 2)" 2
    expect "products page" "$(sed -n 2p "$work/opened")" "http://www.pelorin.com"
    [ ! -e "$work/rc" ] || fail "the dialog closed"
    wait_screen "[ www.pelorin.com"
    expect "requests" "$(requests 2)" 2
    keys Escape
    wait_exit
}

esc() {
    start_dialog "$work" "$program"
    wait_idle
    keys Escape
    wait_exit
    check_restored
}

exit_button() {
    start_dialog "$work" "$program"
    wait_idle
    set -- $(where '[   Exit')
    click "$1" "$(($2 + 4))"
    wait_exit
    check_restored
}

# The signal comes while the dialog waits, or (for SIGTERM) right at the
# start, while the first runs may still be going.
signals() {
    for signal in TERM INT HUP QUIT TERM-early; do
        start_dialog "$work" "$program"
        if [ "$signal" = TERM-early ]; then
            wait_lines "$work/pid" 1 >/dev/null
            signal=TERM
        else
            wait_idle
        fi
        kill -"$signal" "$(cat "$work/pid")"
        wait_exit
        check_restored
        [ ! -s "$work/stderr" ] || fail "it said: $(cat "$work/stderr")"
        stop_terminal
    done
    # Ctrl-C and Ctrl-\ (byte 1c), as the user types them.
    for key in C-c '-H 1c'; do
        start_dialog "$work" "$program"
        wait_idle
        # shellcheck disable=SC2086 # send-keys' flag and its byte
        keys $key
        wait_exit
        check_restored
        stop_terminal
    done
}

# A key typed before the program has even started waits in the terminal
# and is handled once the first two runs are over.
typed_ahead() {
    start_dialog "$work" "$program" sleep 1
    keys r
    wait_lines "$work/pid" 1 >/dev/null
    expect "requests" "$(requests 3)" 3
    wait_idle
    keys Escape
    wait_exit
}

resize() {
    start_dialog "$work" "$program"
    wait_idle
    tmux_do resize-window -x 60 -y 20
    wait_screen "Marvoly needs a terminal of at least 80 x 24 characters"
    expect "lines shown" "$(screen | grep -c .)" 1
    # Narrower than the line itself: it is wrapped at its blanks.
    tmux_do resize-window -x 24 -y 20
    wait_screen "characters"
    expect "lines shown" "$(screen | grep . | tr '\n' '|')" \
        "Marvoly needs a terminal|of at least 80 x 24|characters|"
    tmux_do resize-window -x 100 -y 30
    wait_screen "+- Marvoly"
    expect "top left corner" "$(where '+- Marvoly')" "3 10"
    check_fields
    keys Escape
    wait_exit
}

# With standard input not a terminal there is no dialog: the report shows
# in the terminal instead.
no_terminal() {
    printf 'exec "$@" </dev/null\n' >"$work/no-stdin"
    start_dialog "$work" "sh $work/no-stdin $program"
    wait_exit
    screen | grep -qF "Internet IP address:  127.0.0.1" || fail "no report: $(screen)"
    expect "labels shown" "$(screen | grep -cE '^(Local IP address|Internet IP address|H.323 notes):')" 3
    expect "requests" "$(requests 1)" 1
}

case "$1" in
first-display) first_display ;;
refresh) refresh ;;
links) links ;;
esc) esc ;;
exit-button) exit_button ;;
signals) signals ;;
typed-ahead) typed_ahead ;;
resize) resize ;;
no-terminal) no_terminal ;;
*)
    echo "usage: $0 first-display|refresh|links|esc|exit-button|signals|typed-ahead|resize|no-terminal" >&2
    exit 2
    ;;
esac
echo "PASS: $1"
