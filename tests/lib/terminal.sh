# The real marvoly in a terminal of its own (sourced after rig.sh, not run):
# a tmux server on a private socket, recorded for rig_end, read back from
# the screen and driven with keys, mouse bytes and signals. The helpers keep
# their state in variables named terminal_*, tmux_* and click_*, so that the
# scripts' own names stay theirs.
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
    terminal_dir=$1
    terminal_program=$2
    shift 2
    terminal_before=${*:-true}
    tmux_socket=$terminal_dir/tmux.sock
    rm -f "$terminal_dir/pid" "$terminal_dir/rc" "$terminal_dir/stderr" \
        "$terminal_dir/stty.before" "$terminal_dir/stty.after" \
        "$terminal_dir/opened"
    mkdir -p "$terminal_dir/bin"
    cat >"$terminal_dir/bin/xdg-open" <<OPENER
#!/bin/sh
printf '%s\n' "\$*" >>"$terminal_dir/opened"
OPENER
    chmod +x "$terminal_dir/bin/xdg-open"
    cat >"$terminal_dir/run.sh" <<RUN
#!/bin/sh
PATH="$terminal_dir/bin:\$PATH"
export PATH
# Ctrl-C and Ctrl-\\ are for the program; this script must live on to see it end.
trap : INT QUIT
stty -g >"$terminal_dir/stty.before"
$terminal_before
sh -c 'echo \$\$ >"$terminal_dir/pid"; exec "\$@"' sh $terminal_program 2>"$terminal_dir/stderr"
echo \$? >"$terminal_dir/rc"
stty -g >"$terminal_dir/stty.after"
exec sleep 600
RUN
    tmux -S "$tmux_socket" -f /dev/null new-session -d -x 80 -y 24 "sh $terminal_dir/run.sh"
    tmux_pid=$(tmux -S "$tmux_socket" display -p '#{pid}')
    rig_own_pid "$tmux_pid"
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
    terminal_tries=$((${2:-10} * 10))
    while ! screen | grep -qF -- "$1"; do
        terminal_tries=$((terminal_tries - 1))
        if [ "$terminal_tries" -le 0 ]; then
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
    click_at=$(printf "%b%b" "\\0$(printf %o $(($2 + 33)))" "\\0$(printf %o $(($1 + 33)))")
    tmux_do send-keys -l "$(printf '\033[M %s\033[M#%s' "$click_at" "$click_at")"
}

# where TEXT: "ROW COLUMN" (0-based) of the first place that shows TEXT.
where() {
    screen | awk -v text="$1" 'index($0, text) { print NR - 1, index($0, text) - 1; exit }'
}

# wait_file FILE LINES: until FILE has that many lines, then a moment more
# for any line too many to show up; prints the count.
wait_lines() {
    terminal_tries=50
    while [ "$(line_count "$1")" -lt "$2" ] && [ "$terminal_tries" -gt 0 ]; do
        terminal_tries=$((terminal_tries - 1))
        sleep 0.1
    done
    sleep 0.5
    line_count "$1"
}

# Until the program has ended; its exit code must be 0.
wait_exit() {
    terminal_tries=100
    while [ ! -s "$terminal_dir/rc" ]; do
        terminal_tries=$((terminal_tries - 1))
        [ "$terminal_tries" -gt 0 ] || fail "the program did not end"
        sleep 0.1
    done
    expect "exit code" "$(cat "$terminal_dir/rc")" 0
}

# The terminal as it was before: the same modes, the normal screen, the
# cursor shown, no mouse reporting, the cursor keys in normal mode.
check_restored() {
    cmp -s "$terminal_dir/stty.before" "$terminal_dir/stty.after" ||
        fail "terminal modes: $(cat "$terminal_dir/stty.before") became $(cat "$terminal_dir/stty.after")"
    expect "terminal state" \
        "$(tmux_do display -p '#{alternate_on} #{cursor_flag} #{mouse_any_flag} #{keypad_cursor_flag}')" \
        "0 1 0 0"
}
