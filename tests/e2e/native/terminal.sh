# Shared by the native end-to-end scripts (sourced, not run): the real
# marvoly in a terminal of its own, a tmux server on a private socket, read
# back from the screen and driven with keys, mouse bytes and signals.
# shellcheck shell=sh

# start_dialog WORK PROGRAM [COMMAND...]: the program in an 80 by 24
# terminal; COMMAND (default: nothing) runs first, in the same terminal.
# PROGRAM is a command line of words without blanks of their own, such as
# "ip netns exec NAME /path/to/marvoly" (ip execs the program in place).
# Afterwards WORK holds pid (the program's), rc (its exit code), stderr, and
# stty.before and stty.after, the terminal's modes around the program. A
# stand-in xdg-open, first on PATH, appends what it is asked to open to
# WORK/opened.
start_dialog() {
    work=$1
    program=$2
    shift 2
    before_program=${*:-true}
    tmux_socket=$work/tmux.sock
    rm -f "$work/pid" "$work/rc" "$work/stderr" "$work/stty.before" "$work/stty.after" \
        "$work/opened"
    mkdir -p "$work/bin"
    cat >"$work/bin/xdg-open" <<OPENER
#!/bin/sh
printf '%s\n' "\$*" >>"$work/opened"
OPENER
    chmod +x "$work/bin/xdg-open"
    cat >"$work/run.sh" <<RUN
#!/bin/sh
PATH="$work/bin:\$PATH"
export PATH
# Ctrl-C is for the program; this script must live on to see it end.
trap : INT
stty -g >"$work/stty.before"
$before_program
sh -c 'echo \$\$ >"$work/pid"; exec "\$@"' sh $program 2>"$work/stderr"
echo \$? >"$work/rc"
stty -g >"$work/stty.after"
exec sleep 600
RUN
    tmux -S "$tmux_socket" -f /dev/null new-session -d -x 80 -y 24 "sh $work/run.sh"
    tmux_pid=$(tmux -S "$tmux_socket" display -p '#{pid}')
}

# Ends the tmux server, by its pid, and what runs in it; the scripts call it
# on their way out.
stop_terminal() {
    if [ -n "${tmux_pid-}" ]; then
        kill "$tmux_pid" 2>/dev/null || true
        tmux_pid=
    fi
}

tmux_do() {
    timeout 10 tmux -S "$tmux_socket" "$@"
}

# The screen as plain ASCII: frame, rule and icon cells as | - + #.
screen() {
    tmux_do capture-pane -p | sed 's/│/|/g; s/─/-/g; s/[┌┐└┘]/+/g; s/▒/#/g'
}

# wait_screen TEXT [SECONDS]: until the screen shows TEXT.
wait_screen() {
    tries=$((${2:-10} * 10))
    while ! screen | grep -qF -- "$1"; do
        tries=$((tries - 1))
        if [ "$tries" -le 0 ]; then
            screen >&2
            fail "the screen never showed '$1'"
        fi
        sleep 0.1
    done
}

# The dialog at rest: both first runs over, Refresh enabled and focused.
wait_idle() {
    wait_screen '[>Refresh<' "${1:-10}"
}

# field LABEL: the text of the field to the right of LABEL.
field() {
    screen | sed -n "s/.*$1  *\\(.*[^ ]\\) *|\$/\\1/p" | head -n 1
}

# The note, its lines joined and runs of blanks made one: its lines start
# where the Internet field does, from the row of "H.323 notes:" on.
notes() {
    screen | awk '
        /Internet IP address:/ {
            column = index($0, "Internet IP address:") + 20
            while (substr($0, column, 1) == " ") column++
        }
        /H\.323 notes:/ { inside = 1 }
        /Tolvaric Software Product Information/ { inside = 0 }
        inside { line = substr($0, column); sub(/ *\|$/, "", line); printf "%s ", line }
    ' | tr -s ' ' | sed 's/ $//'
}

# What a note looks like on the screen: runs of blanks made one.
as_shown() {
    printf '%s' "$1" | tr -s ' '
}

keys() {
    tmux_do send-keys "$@"
}

# click ROW COLUMN: the left button down and up at a screen cell (0-based),
# as a terminal in the mouse mode that ncurses asks for reports it.
click() {
    row=$(($1 + 33))
    column=$(($2 + 33))
    press=$(printf "\\033[M %b%b" "\\0$(printf %o "$column")" "\\0$(printf %o "$row")")
    release=$(printf "\\033[M#%b%b" "\\0$(printf %o "$column")" "\\0$(printf %o "$row")")
    tmux_do send-keys -l "$press$release"
}

# where TEXT: "ROW COLUMN" (0-based) of the first place that shows TEXT.
where() {
    screen | awk -v text="$1" 'index($0, text) { print NR - 1, index($0, text) - 1; exit }'
}

# wait_file FILE LINES: until FILE has that many lines, then a moment more
# for any line too many to show up; prints the count.
wait_lines() {
    tries=50
    while [ "$(line_count "$1")" -lt "$2" ] && [ "$tries" -gt 0 ]; do
        tries=$((tries - 1))
        sleep 0.1
    done
    sleep 0.5
    line_count "$1"
}

# Until the program has ended; its exit code must be 0.
wait_exit() {
    tries=100
    while [ ! -s "$work/rc" ]; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || fail "the program did not end"
        sleep 0.1
    done
    expect "exit code" "$(cat "$work/rc")" 0
}

# The terminal as it was before: the same modes, the normal screen, the
# cursor shown, no mouse reporting, the cursor keys in normal mode.
check_restored() {
    cmp -s "$work/stty.before" "$work/stty.after" ||
        fail "terminal modes: $(cat "$work/stty.before") became $(cat "$work/stty.after")"
    expect "terminal state" \
        "$(tmux_do display -p '#{alternate_on} #{cursor_flag} #{mouse_any_flag} #{keypad_cursor_flag}')" \
        "0 1 0 0"
}
