# Shared by the end-to-end scripts of both programs, one folder down
# (sourced, not run, once they have set here to their own folder): the rig
# library (tests/lib/use.sh), the texts that the dialog shows, and small
# helpers to read what the UI-automation program printed.
# shellcheck shell=sh disable=SC2034
rig_lib=$(cd "$here/../../lib" && pwd)
. "$rig_lib/use.sh"
rig_use texts

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
