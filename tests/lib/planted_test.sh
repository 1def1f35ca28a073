#!/bin/sh
# Records that a rig did not write are never acted on: a dead run's folder
# planted with records that would run a program, delete a file outside the
# tree or remove a package is reaped, and nothing of it is done; a folder
# that others may write is not even read.
#
#   planted_test.sh BASE   (a folder of the build tree)
set -eu

rig_lib=$(cd "$(dirname "$0")" && pwd)
. "$rig_lib/use.sh"

rig_begin "$1"
victim=$rig_dir/victim
payload=$rig_dir/payload
touch "$victim"
printf '#!/bin/sh\ntouch "%s.ran"\n' "$payload" >"$payload"
chmod 755 "$payload"

# plant NAME MODE RECORDS: a dead run's folder under the base.
plant() {
    mkdir -p "$rig_base/run.$1"
    echo "1 0" >"$rig_base/run.$1/owner"
    echo "$3" >"$rig_base/run.$1/own"
    chmod "$2" "$rig_base/run.$1" "$rig_base/run.$1/own"
}

planted="etc ../..$victim
netns ../..$victim
wine $payload $rig_dir
nginx $rig_dir
deb marvoly-planted-none"
plant planted 700 "$planted"
plant shared 777 "wine $payload $rig_dir"

rig_reap_dead "$rig_base" 2>"$rig_dir/reap.log"
cat "$rig_dir/reap.log"
[ -e "$victim" ] || fail "a planted record deleted a file outside its run"
[ ! -e "$payload.ran" ] || fail "a planted record ran a program"
[ ! -e "$rig_base/run.planted" ] || fail "the planted run's folder was not removed"
[ -e "$rig_base/run.shared" ] || fail "a folder that others may write was reaped"
rm -rf "$rig_base/run.shared"
expect "records left alone" "$(grep -c 'left alone' "$rig_dir/reap.log")" 5
echo "PASS"
