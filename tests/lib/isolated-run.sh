#!/bin/sh
# Runs one test program in network and mount namespaces of its own
# (private-net.sh: loopback only, every name server query refused), for the
# cases that ask names that resolve nowhere:
#
#   isolated-run.sh BASE WINE_RUN PROGRAM ARG...
#
# A Windows program (WINE_RUN is the build's Wine wrapper; "-" for a native
# one) runs in a copy of the build's prefix under a wineserver of its own
# inside: no process of the build's prefix may start in there. BASE is the
# folder of the runs' own folders. The program's output comes after it has
# ended, from files, since Wine's background processes must not hold ours.
set -eu

rig_lib=$(cd "$(dirname "$0")" && pwd)
. "$rig_lib/use.sh"
rig_use wine

if [ "$1" = --inside ]; then
    shift
    wine_start
    rc=0
    "$wine" "$@" </dev/null >"$rig_dir/out" 2>"$rig_dir/err" || rc=$?
    cat "$rig_dir/out"
    cat "$rig_dir/err" >&2
    exit "$rc"
fi
base=$1 wine_run=$2
shift 2
[ "$wine_run" != - ] || exec "$rig_lib/private-net.sh" "$@"
rig_begin "$base"
wine_private "$wine_run"
export rig_dir wine wineserver
"$rig_lib/private-net.sh" sh "$0" --inside "$@" &
rig_own_pid $!
wait $!
