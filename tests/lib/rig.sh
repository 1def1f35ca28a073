# The state of one rig run, and its clean-up (sourced, not run). Every rig
# keeps what it makes in a folder of its own and records each thing it
# starts there, so that its trap, or the next run after a kill, can end it.
#
#   rig_begin BASE        makes this run's folder $rig_dir (mktemp -d under
#                         BASE, a folder of the build tree) and its id $rig_id
#                         (mv and 6 letters or digits: names of namespaces and
#                         /etc/netns entries start with it), after reaping
#                         the folders under BASE of runs that are gone; sets
#                         the trap that ends this run (rig_end)
#   rig_fixture DIR       as rig_begin for a CTest fixture: DIR is the fixed
#                         folder of the fixture, whatever an earlier start
#                         left there is ended first; no trap, no owner
#   rig_own KIND ARG...   records one thing of this run, KIND one of
#                         pid PID          a process (its start time is kept,
#                                          so a reused pid is never hit)
#                         netns NAME       a network namespace
#                         etc NAME         the folder /etc/netns/NAME
#                         wine SERVER PREFIX  the wineserver SERVER of PREFIX
#                         nginx DIR        the nginx master of prefix DIR
#                         deb PACKAGE      a Debian package that the run
#                                          installs (recorded first)
#                         ARGs hold no blanks
#   rig_end               ends what this run recorded, newest first, and
#                         removes $rig_dir (the trap calls it)
#   rig_reap DIR          the same for the run that DIR belonged to
#   rig_alive PID START   true while that process (not a reuse of its pid)
#                         lives
#   rig_start_time PID    the start time of a process, in clock ticks
#   skip TEXT / fail TEXT ends the script with 77 (a skip for CTest) or 1
#   expect WHAT ACTUAL EXPECTED
#   wait_until TENTHS COMMAND...  polls COMMAND every tenth of a second,
#                         false when it never succeeded
#   line_count FILE       its lines, 0 when it does not exist (yet)
#
# The caller sets rig_lib to this folder before sourcing. Everything the
# helpers keep is in variables named rig_*.
# shellcheck shell=sh disable=SC2034,SC2154

skip() {
    echo "SKIP: $*"
    exit 77
}

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# expect WHAT ACTUAL EXPECTED
expect() {
    [ "$2" = "$3" ] || fail "$1: expected '$3', got '$2'"
    echo "ok: $1 = '$2'"
}

wait_until() {
    rig_tries=$1
    shift
    until "$@"; do
        rig_tries=$((rig_tries - 1))
        [ "$rig_tries" -gt 0 ] || return 1
        sleep 0.1
    done
}

line_count() {
    if [ -f "$1" ]; then
        wc -l <"$1" | tr -d ' '
    else
        echo 0
    fi
}

# Field 22 of /proc/PID/stat; the name in field 2 may hold blanks and
# parentheses, so fields are counted from its closing one.
rig_start_time() {
    sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -d ' ' -f 20
}

# A process that has exited but is not yet reaped counts as gone.
rig_alive() {
    [ -n "$2" ] && [ "$(rig_start_time "$1")" = "$2" ] &&
        ! grep -q '^State:[[:space:]]*Z' "/proc/$1/status" 2>/dev/null
}

rig_own() {
    echo "$*" >>"$rig_dir/own"
}

rig_own_pid() {
    rig_own pid "$1" "$(rig_start_time "$1")"
}

rig_gone() {
    ! rig_alive "$@"
}

rig_stop_pid() {
    rig_alive "$1" "$2" || return 0
    kill -TERM "$1" 2>/dev/null
    wait_until 50 rig_gone "$1" "$2" || kill -KILL "$1" 2>/dev/null
    wait_until 20 rig_gone "$1" "$2"
}

rig_netns_exists() {
    ip netns list | awk '{ print $1 }' | grep -qxF "$1"
}

# A folder or file of this user's that nobody else may write: a record in
# one of them was written by this user's own runs.
rig_private() {
    [ -n "$(find "$1" -maxdepth 0 -user "$(id -u)" ! -perm /022 2>/dev/null)" ]
}

# rig_checked KIND ARG...: true when the record is one a rig writes. Names
# are this rig's own (mv, six letters or digits, a suffix) without a "/";
# a Wine server is a system program of that name; the package is Marvoly's;
# an nginx prefix lies inside the run's folder (rig_reaping).
rig_checked() {
    case "$1" in
    pid) echo "$2 $3" | grep -Eqx '[0-9]+ [0-9]+' ;;
    netns | etc) echo "$2" | grep -Eqx 'mv[0-9A-Za-z]{6}(-[0-9A-Za-z-]+)?' ;;
    wine)
        case "$2" in /usr/*/wineserver | /usr/*/wineserver64) ;; *) return 1 ;; esac
        [ -x "$2" ] && [ -n "$(find -L "$2" -maxdepth 0 -user 0 ! -perm /022 2>/dev/null)" ]
        ;;
    nginx)
        case "$2" in "$rig_reaping"/*) ;; *) return 1 ;; esac
        case "$2" in */../* | */..) return 1 ;; esac
        ;;
    deb) [ "$2" = marvoly ] ;;
    *) return 1 ;;
    esac
}

# Ends one recorded thing; whatever is gone already is no failure.
rig_undo() {
    rig_kind=$1
    shift
    case "$rig_kind" in
    pid) rig_stop_pid "$1" "$2" ;;
    netns) ! rig_netns_exists "$1" || timeout 20 ip netns delete "$1" ;;
    etc) rm -rf "/etc/netns/$1" ;;
    wine)
        if [ -d "$2" ]; then
            WINEPREFIX=$2 timeout 30 "$1" -k 2>/dev/null
            WINEPREFIX=$2 timeout 30 "$1" -w
        fi
        ;;
    nginx) sh "$rig_lib/echo_service.sh" stop "$1" ;;
    deb)
        ! dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed" ||
            DEBIAN_FRONTEND=noninteractive timeout 120 apt-get remove -y -qq \
                -o DPkg::Lock::Timeout=60 "$1" >/dev/null
        ;;
    esac
}

# rig_reap DIR: ends what DIR records, newest first, and removes DIR. A
# record that no rig writes is left alone, and said so.
rig_reap() {
    rig_reaping=$(cd "$1" 2>/dev/null && pwd -P) || return 0
    if [ -f "$1/own" ] && rig_private "$1/own"; then
        sed '1!G;h;$!d' "$1/own" | while read -r rig_line; do
            # shellcheck disable=SC2086 # the recorded words
            if rig_checked $rig_line; then
                rig_undo $rig_line </dev/null || echo "could not end: $rig_line" >&2
            else
                echo "not a rig's record, left alone: $rig_line" >&2
            fi
        done
    fi
    rm -rf "$1"
}

# The folders under BASE of runs whose shell is gone, where BASE and the
# folder are this user's alone. A folder without an owner is a run killed
# before it could start anything, or a neighbour that is just beginning: it
# goes once it is a minute old.
rig_reap_dead() {
    rig_private "$1" || fail "$1 may be written by others: no run folder in it is reaped"
    for rig_old in "$1"/run.*; do
        [ -d "$rig_old" ] && rig_private "$rig_old" || continue
        if [ -f "$rig_old/owner" ]; then
            # shellcheck disable=SC2046 # pid and start time
            rig_alive $(cat "$rig_old/owner") || rig_reap "$rig_old"
        elif [ -n "$(find "$rig_old" -maxdepth 0 -mmin +1 2>/dev/null)" ]; then
            rig_reap "$rig_old"
        fi
    done
}

rig_begin() {
    mkdir -p "$1"
    rig_base=$(cd "$1" && pwd -P)
    rig_reap_dead "$rig_base"
    rig_dir=$(mktemp -d "$rig_base/run.XXXXXX")
    echo "$$ $(rig_start_time $$)" >"$rig_dir/owner"
    rig_id=mv${rig_dir##*.}
    trap rig_end EXIT
    trap 'exit 1' HUP INT TERM
}

rig_fixture() {
    mkdir -p "$1"
    rig_dir=$(cd "$1" && pwd -P)
    rig_reap "$rig_dir"
    mkdir -p "$rig_dir"
    rig_id=mv$(od -An -N3 -tx1 /dev/urandom | tr -d ' \n')
}

rig_end() {
    rig_status=$?
    [ -z "${rig_dir-}" ] || rig_reap "$rig_dir"
    exit "$rig_status"
}
