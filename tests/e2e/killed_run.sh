#!/bin/sh
# A rig killed in the middle, as a test time-out kills it, leaves nothing
# that its next run does not end:
#
#   killed_run.sh BASE COUNT COMMAND...
#
# Runs COMMAND, a rig that keeps its runs' folders under BASE, and kills its
# shell alone with SIGKILL once its record names COUNT processes (what it
# has made by then stays behind, as it would after a time-out).
# Then COMMAND must pass, and of what the killed run recorded nothing may be
# left: no process (Xvfb, wineserver, tmux, peers), namespace, /etc/netns
# entry or nginx master of its prefix, nor its folder.
set -eu

rig_lib=$(cd "$(dirname "$0")/../lib" && pwd)
. "$rig_lib/use.sh"

base=$1 count=$2
shift 2
mkdir -p "$base"
before=$(ls -d "$base"/run.* 2>/dev/null || true)

"$@" >"$base/killed.log" 2>&1 &
rig=$!
new_run() {
    killed=$(ls -d "$base"/run.* 2>/dev/null | grep -vxF "$before" | head -n 1) &&
        [ "$(grep '^pid ' "$killed/own" 2>/dev/null | wc -l)" -ge "$count" ]
}
# A rig that ended on its own passes on its skip, or fails.
if ! wait_until 1200 eval 'new_run || ! kill -0 "$rig"' || ! kill -0 "$rig" 2>/dev/null; then
    rc=0
    kill -KILL "$rig" 2>/dev/null || wait "$rig" || rc=$?
    [ "$rc" != 77 ] || skip "$(cat "$base/killed.log")"
    fail "the rig never started $count processes: $(cat "$base/killed.log")"
fi
kill -KILL "$rig" || fail "the rig ended before it was killed: $(cat "$base/killed.log")"
cp "$killed/own" "$base/killed.own"
echo "killed the run in $killed; it had made:"
cat "$base/killed.own"

# left KIND ARG...: true while that recorded thing is still there.
left() {
    case "$1" in
    pid) rig_alive "$2" "$3" ;;
    netns) rig_netns_exists "$2" ;;
    etc) [ -e "/etc/netns/$2" ] ;;
    nginx)
        for title in /proc/[0-9]*/cmdline; do
            { tr '\0' ' ' <"$title" && echo; } 2>/dev/null
        done | grep '^nginx: master process ' | grep -qF -- " -p $2/ "
        ;;
    wine) [ -d "$3" ] ;;
    esac
}

# Every recorded thing that is still there, one line each.
leftovers() {
    while read -r line; do
        # shellcheck disable=SC2086 # the recorded words
        if left $line; then
            echo "$line"
        fi
    done <"$base/killed.own"
}

[ -n "$(leftovers)" ] || fail "the kill left nothing behind: nothing was tested"
"$@" || fail "the run after the kill failed"
rest=$(leftovers)
[ -z "$rest" ] || fail "left by the killed run: $rest"
[ ! -e "$killed" ] || fail "the killed run's folder is still there"
rm -f "$base/killed.log" "$base/killed.own"
echo "PASS: the next run ended everything of the killed one"
