# The one entry to the rig library (sourced, not run). A script sets
# rig_lib to this folder and sources this file, which brings rig.sh (the
# run's state and its clean-up); then
#
#   rig_use PART...   sources each named part of this folder once, for
#                     example rig_use netns nginx; a part that needs
#                     another names it itself
#
# The parts: netns, nginx, haproxy, fleet, topology, terminal, wine, xvfb,
# texts (the texts that the program shows, from texts.txt).
# shellcheck shell=sh disable=SC1090

. "$rig_lib/rig.sh"

rig_use() {
    for rig_part in "$@"; do
        case " ${rig_used-} " in
        *" $rig_part "*) continue ;;
        esac
        rig_used="${rig_used-} $rig_part"
        . "$rig_lib/$rig_part.sh"
    done
}
