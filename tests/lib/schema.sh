# The JSON report held against its published schema (sourced through
# use.sh): docs/marvoly-report.schema.json, JSON Schema draft 2020-12, read
# by Debian's python3-jsonschema.
#
#   check_report_schema FILE   fails unless FILE's one object follows it
# shellcheck shell=sh

check_report_schema() {
    python3 - "$rig_lib/../../docs/marvoly-report.schema.json" "$1" <<'CHECK' ||
import json, sys
import jsonschema
schema = json.load(open(sys.argv[1]))
jsonschema.Draft202012Validator(schema).validate(json.load(open(sys.argv[2])))
CHECK
        fail "$1 does not follow the report's schema"
    echo "ok: $1 follows the report's schema"
}
