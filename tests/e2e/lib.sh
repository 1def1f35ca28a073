# Shared by the end-to-end scripts (sourced, not run): the texts that the
# dialog shows, and small helpers to read and check what the UI-automation
# program printed.
# shellcheck shell=sh disable=SC2034
note_not_behind="You appear to not be behind a firewall.  You should not have any problems running H.323 videoconferencing products such as Corimba from Tolvaric Software."
note_behind="You appear to be behind a firewall.  You may experience problems with H.323 videoconferencing products.  In your current environment, you will be able to call others within your network, but might not be able to call Internet users."
note_no_internet="Your Internet IP address cannot be determined.  You may not be connected to the Internet.  Connect and try again."
text_no_internet="Unable to retrieve Internet IP address"

# A test that this machine cannot run ends with 77, a skip for CTest.
skip() {
    echo "SKIP: $*"
    exit 77
}

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The note that belongs to two addresses that were both found.
verdict_for() {
    if [ "$1" = "$2" ]; then
        echo "$note_not_behind"
    else
        echo "$note_behind"
    fi
}

# value NAME FILE [N]: the Nth (default first) NAME= line that the
# automation printed into FILE, without its name.
value() {
    sed -n "s/^$1=//p" "$2" | sed -n "${3:-1}p"
}

# expect WHAT ACTUAL EXPECTED
expect() {
    [ "$2" = "$3" ] || fail "$1: expected '$3', got '$2'"
    echo "ok: $1 = '$2'"
}

is_dotted_quad() {
    echo "$1" | grep -Eqx '([0-9]{1,3}\.){3}[0-9]{1,3}'
}

# json_fields IN OUT: the one JSON object in IN as NAME=VALUE lines in OUT
# (strings as they are, anything else as JSON), after a line keys= that
# lists the names in order; read them with value.
json_fields() {
    python3 -c '
import json, sys
fields = json.loads(sys.stdin.read())
print("keys=" + ",".join(fields))
for key, value in fields.items():
    print(key + "=" + (value if isinstance(value, str) else json.dumps(value)))
' <"$1" >"$2"
}

# Lines of a file, 0 when it does not exist (yet).
line_count() {
    if [ -f "$1" ]; then
        wc -l <"$1" | tr -d ' '
    else
        echo 0
    fi
}

# The Windows name under Wine's drive Z: of an absolute Unix path.
windows_path() {
    # shellcheck disable=SC1003 # tr's '\\' is one backslash
    printf 'Z:%s' "$1" | tr / '\\'
}

# Starts our own X screen (pid in xvfb_pid, log in $work) on the first
# display from MARVOLY_E2E_DISPLAY (default 140) whose socket is not there.
# The number is chosen here and not by Xvfb: an X server in another network
# namespace cannot see the abstract sockets of ours, and would take over the
# path socket of the first display.
start_xvfb() {
    number=${MARVOLY_E2E_DISPLAY:-140}
    while [ -e "/tmp/.X11-unix/X$number" ]; do
        number=$((number + 1))
    done
    rm -f "$work/display"
    Xvfb ":$number" -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" \
        </dev/null >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    tries=100
    while [ ! -s "$work/display" ]; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
        sleep 0.1
    done
    export DISPLAY=":$number"
}

# The namespace scenario in MODE (nat, routed or unreachable) needs Linux,
# root, network namespaces, and these tools besides ip, iptables and nginx.
require_netns_scenario() {
    case "$1" in
    nat | routed | unreachable) ;;
    *)
        echo "usage: $0 nat|routed|unreachable" >&2
        exit 2
        ;;
    esac
    shift
    [ "$(uname -s)" = Linux ] || skip "network namespaces exist on Linux only"
    [ "$(id -u)" -eq 0 ] || skip "building network namespaces needs root"
    unshare --net true 2>/dev/null || skip "this machine does not allow network namespaces"
    for tool in ip iptables nginx "$@"; do
        command -v "$tool" >/dev/null || skip "$tool is not installed"
    done
}
