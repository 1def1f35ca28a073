# Sourced by the benchmarks that run a built program: they load only an
# echo page on this machine, never one outside.
#
#   require_loopback PROGRAM PORT   ends the script unless PROGRAM was built
#                                   to ask http://127.0.0.1:PORT/...
# shellcheck shell=sh
require_loopback() {
    grep -aq "http://127\.0\.0\.1:$2/" "$1" || {
        echo "$1 does not ask an echo page on 127.0.0.1:$2: refused" >&2
        exit 2
    }
}
