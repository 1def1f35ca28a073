# The JSON report held against its published schema (sourced through
# use.sh): docs/marvoly-report.schema.json, JSON Schema draft 2020-12, read
# by Debian's python3-jsonschema.
#
#   check_report_schema FILE [DEF]  fails unless FILE's one object follows
#                                    it, or with DEF each line $defs' DEF
# shellcheck shell=sh

check_report_schema() {
    python3 - "$rig_lib/../../docs/marvoly-report.schema.json" "$1" "${2-}" <<'CHECK' ||
import json, sys
import jsonschema
schema = json.load(open(sys.argv[1]))
if sys.argv[3]:
    schema = dict(schema, **{"$ref": "#/$defs/" + sys.argv[3]})
    for key in ("properties", "required", "dependentRequired", "additionalProperties", "type"):
        schema.pop(key, None)
    lines = [json.loads(line) for line in open(sys.argv[2])]
else:
    lines = [json.load(open(sys.argv[2]))]
for line in lines:
    jsonschema.Draft202012Validator(schema).validate(line)
CHECK
        fail "$1 does not follow the report's schema"
    echo "ok: $1 follows the report's schema"
}
