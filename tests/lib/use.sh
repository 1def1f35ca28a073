# The one entry to the rig library (sourced, not run). A script sets
# rig_lib to this folder and sources this file, which brings rig.sh (the
# run's state and its clean-up); then
#
#   rig_use PART...   sources each named part of this folder once, for
#                     example rig_use netns nginx; a part that needs
#                     another names it itself
#   rig_private_net SCRIPT ARG...  runs SCRIPT again with ARGs in network
#                     namespaces of its own (private-net.sh) unless it is
#                     in them already; call it first
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

rig_private_net() {
    [ -n "${MARVOLY_PRIVATE_NET-}" ] ||
        MARVOLY_PRIVATE_NET=1 exec sh "$rig_lib/private-net.sh" sh "$@"
}
