# A private X screen (sourced after rig.sh, not run).
#
#   xvfb_start DIR WIDTHxHEIGHT
#       starts Xvfb, recorded for rig_end, with a cookie made for it in
#       DIR/xauthority: no client without the cookie gets in. Xvfb chooses
#       its display itself (-displayfd), among those free in this network
#       namespace; it must be the machine's, where the X servers of other
#       runs are seen. The display's path socket must lead to this server
#       (a server of another namespace, which cannot see our abstract
#       socket, could have put its own there). Exports DISPLAY and
#       XAUTHORITY for the clients; DIR/display holds ":N". Its log is
#       DIR/xvfb.log.
# shellcheck shell=sh

# The cookie never stands on a command line, where every user of the
# machine could read it: xauth and the greeting below take it on standard
# input.
#
# x_hello SOCKET < COOKIE: true when the X server on the path SOCKET lets in
# a client with COOKIE (hexadecimal).
x_hello() {
    python3 -c '
import socket, struct, sys
name, data = b"MIT-MAGIC-COOKIE-1", bytes.fromhex(sys.stdin.read().strip())
pad = lambda b: b + b"\0" * (-len(b) % 4)
s = socket.socket(socket.AF_UNIX)
s.settimeout(5)
s.connect(sys.argv[1])
s.sendall(struct.pack("<cxHHHHxx", b"l", 11, 0, len(name), len(data)) + pad(name) + pad(data))
sys.exit(0 if s.recv(1) == b"\1" else 1)' "$1" 2>/dev/null
}

# x_cookie DISPLAY: adds the run's cookie for DISPLAY to the file.
x_cookie() {
    echo "add $1 . $rig_cookie" | xauth -q -f "$rig_x/xauthority" source -
}

xvfb_start() {
    # Where pid 1 cannot be looked at, the callers' word must do.
    rig_net=$(readlink /proc/1/ns/net 2>/dev/null) || rig_net=$(readlink /proc/self/ns/net)
    [ "$(readlink /proc/self/ns/net)" = "$rig_net" ] ||
        fail "Xvfb must start in the machine's network namespace"
    rig_x=$1
    mkdir -p "$rig_x"
    rig_cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
    # The server reads every cookie of the file; a client looks for its
    # display's, which is added once the display is known.
    rm -f "$rig_x/xauthority" "$rig_x/display"
    x_cookie :0 2>/dev/null
    # Xvfb writes the number to fd 3 once it accepts clients. Its output
    # goes to a file: the test run must not wait on a pipe that it holds.
    setsid Xvfb -displayfd 3 -auth "$rig_x/xauthority" -nolisten tcp -screen 0 "${2}x24" \
        3>"$rig_x/number" </dev/null >"$rig_x/xvfb.log" 2>&1 &
    rig_own_pid $!
    wait_until 100 test -s "$rig_x/number" || fail "Xvfb did not start: $(cat "$rig_x/xvfb.log")"
    rig_number=$(cat "$rig_x/number")
    echo "$rig_cookie" | x_hello "/tmp/.X11-unix/X$rig_number" ||
        fail "the socket of :$rig_number leads to another X server"
    ! od -An -N16 -tx1 /dev/urandom | tr -d ' \n' | x_hello "/tmp/.X11-unix/X$rig_number" ||
        fail "the X server of :$rig_number lets in a client without the cookie"
    x_cookie ":$rig_number"
    echo ":$rig_number" >"$rig_x/display"
    export DISPLAY=":$rig_number" XAUTHORITY="$rig_x/xauthority"
}
