#!/bin/sh
# The native marvoly's peak memory over a whole life: started in a tmux
# terminal against the shipped echo page on nginx, read from /proc once both
# first runs have shown their verdict, then ended with Esc.
#
#   bench/memory.sh MARVOLY PORT   (MARVOLY built for http://127.0.0.1:PORT/...)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
marvoly=$1 port=$2
. "$here/loopback.sh"
require_loopback "$marvoly" "$port"
dir=$(mktemp -d /tmp/marvoly-memory.XXXXXX)
session=mvh6mem$$
cleanup() {
    tmux -S "$dir/tmux.sock" kill-server 2>/dev/null || true
    sh "$here/../tests/lib/echo_service.sh" stop "$dir/echo" || true
    rm -rf "$dir"
}
trap cleanup EXIT

mkdir -p "$dir/echo"
sh "$here/../tests/lib/echo_service.sh" start "$dir/echo" "127.0.0.1:$port"
tmux -S "$dir/tmux.sock" new-session -d -s "$session" -x 100 -y 30 "exec '$marvoly'"
pid=$(tmux -S "$dir/tmux.sock" display-message -p -t "$session" '#{pane_pid}')
tries=200
until [ "$(wc -l <"$dir/echo/access.log")" -ge 2 ] && tmux -S "$dir/tmux.sock" capture-pane -p -t "$session" |
    grep -qF "[>Refresh<"; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || { echo "no verdict came" >&2; exit 1; }
    sleep 0.1
done
sleep 0.5
grep -E '^(VmHWM|VmRSS|VmPeak|VmSize)' "/proc/$pid/status"
tmux -S "$dir/tmux.sock" send-keys -t "$session" Escape
