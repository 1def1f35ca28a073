#!/bin/sh
# The real Marvoly.exe under Wine, driven from outside by the UI-automation
# program, against the echo page on loopback:
#
#   dialog.sh CASE
#
# CASE is one of the functions at the end (install-browser registers the URL
# recorder as the prefix's web browser and is the fixture of the link cases).
# The environment names the pieces: MARVOLY_E2E_WINE_RUN (the build's Wine
# wrapper), MARVOLY_E2E_AUTOMATE, MARVOLY_E2E_PROGRAM, MARVOLY_E2E_RECORDER,
# MARVOLY_E2E_ECHO_LOG (the echo page's access log: one line per request)
# and MARVOLY_E2E_WORK (a directory for this script's files).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib.sh"
rig_use wine

wine_run=$MARVOLY_E2E_WINE_RUN echo_log=$MARVOLY_E2E_ECHO_LOG
work=$MARVOLY_E2E_WORK
urls=$work/urls.txt
mkdir -p "$work"

# drive NAME STEP...: one life of the program, the automation's report in
# $work/NAME.out. The requests it made are left in $requests.
drive() {
    out=$work/$1.out
    shift
    before=$(line_count "$echo_log")
    if ! timeout 120 "$wine_run" "$MARVOLY_E2E_AUTOMATE" "$(windows_path "$MARVOLY_E2E_PROGRAM")" \
        "$@" >"$out"; then
        cat "$out"
        fail "the automation could not finish: $*"
    fi
    cat "$out"
    requests=$(($(line_count "$echo_log") - before))
}

# Both addresses shown, and the one note that their comparison calls for.
check_fields() {
    local_ip=$(value local "$out" "$1")
    internet_ip=$(value internet "$out" "$1")
    is_dotted_quad "$local_ip" || fail "local address '$local_ip' is no dotted address"
    expect "Internet address" "$internet_ip" 127.0.0.1
    expect "note" "$(value note "$out" "$1")" "$(verdict_for "$local_ip" "$internet_ip")"
}

check_idle_state() {
    expect "Refresh" "$(value refresh "$out")" enabled
    expect "focused control" "$(value focus "$out")" 1
}

check_ended() {
    expect "exit code" "$(value exit "$out")" 0
    expect "echo requests" "$requests" "$1"
}

# The fields after an action that must not touch them are those before it.
check_unchanged() {
    for field in local internet note; do
        expect "$field after the action" "$(value "$field" "$out" 2)" "$(value "$field" "$out" 1)"
    done
    expect "dialog open" "$(value open "$out")" 1
}

install_browser() {
    rm -f "$urls"
    "$wine_run" reg add 'HKCR\http\shell\open\command' /ve /f /d \
        "\"$(windows_path "$MARVOLY_E2E_RECORDER")\" \"$(windows_path "$urls")\" \"%1\""
}

# opened_urls TENTHS: the recorder runs on its own once the dialog has
# started it; wait up to TENTHS tenths of a second for its line, then a
# little longer for any second one.
opened_urls() {
    tries=$1
    while [ ! -s "$urls" ] && [ "$tries" -gt 0 ]; do
        sleep 0.1
        tries=$((tries - 1))
    done
    sleep 1
    cat "$urls" 2>/dev/null || true
}

first_display() {
    drive first-display idle fields state click:2 exit
    check_fields 1
    check_idle_state
    check_ended 2
}

refresh_button() {
    drive refresh idle fields click:1 idle fields state click:2 exit
    check_fields 2
    check_idle_state
    check_ended 3
}

enter_key() {
    drive enter idle key:enter idle fields state click:2 exit
    check_fields 1
    check_idle_state
    check_ended 3
}

# ending STEP: one way of ending the program.
ending() {
    drive "end-$(echo "$1" | tr : -)" idle fields "$1" exit
    check_fields 1
    check_ended 2
}

link() {
    rm -f "$urls"
    drive "link-$1" idle fields "click:$1" sleep:500 open fields state click:2 exit
    check_unchanged
    expect "Refresh" "$(value refresh "$out")" enabled
    check_ended 2
    opened=$(opened_urls 100)
    case "$opened" in
    "$2" | "$2/") echo "ok: opened '$opened'" ;;
    *) fail "the link opened '$opened', expected exactly '$2'" ;;
    esac
}

# Commands with a notification code in the high word, even with the ids of
# Exit, Refresh or a link in the low word, are not the buttons' commands.
notified_commands() {
    rm -f "$urls"
    drive notified idle fields command:0x10002 command:0x10001 command:0x103e8 \
        command:0x103e9 sleep:500 open fields click:2 exit
    check_unchanged
    check_ended 2
    expect "opened URLs" "$(opened_urls 10)" ""
}

case "${1-}" in
install-browser) install_browser ;;
first-display) first_display ;;
refresh) refresh_button ;;
enter) enter_key ;;
exit-button) ending click:2 ;;
esc) ending key:esc ;;
close-box) ending closebox ;;
system-menu) ending sysmenu ;;
products-link) link 1000 "http://www.pelorin.com" ;;
maker-link) link 1001 "http://www.tolvaric.com/products/buy.tpl?product=KESTRAMO" ;;
notified-commands) notified_commands ;;
*)
    echo "usage: $0 CASE" >&2
    exit 2
    ;;
esac
