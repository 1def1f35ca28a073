#!/bin/sh
# Holds the Windows program to its budget: at most MAX_BYTES on disk, and
# importing no DLL outside the allowed list (names compared in any case).
#
#   check_executable.sh EXE OBJDUMP MAX_BYTES DLL...
set -eu
exe=$1
objdump=$2
max=$3
shift 3

size=$(wc -c <"$exe")
imports=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | sort -u)
echo "$exe: $size bytes (budget $max)"
echo "imports: $(echo $imports)"

status=0
if [ "$size" -gt "$max" ]; then
    echo "over budget by $((size - max)) bytes"
    status=1
fi
[ -n "$imports" ] || { echo "no import table found"; status=1; }
for dll in $imports; do
    allowed=no
    for ok in "$@"; do
        [ "$(echo "$dll" | tr a-z A-Z)" = "$(echo "$ok" | tr a-z A-Z)" ] && allowed=yes
    done
    [ "$allowed" = yes ] || { echo "imports $dll, which is not allowed"; status=1; }
done
exit $status
