# The texts that the program shows, as the tests expect them byte for byte
# (sourced through use.sh): texts.txt holds them, one NAME=TEXT a line, for
# the scripts here and, as a generated header, for the C++ tests. A text
# with %s in it is a printf format, as the program fills it in.
#
#   rig_text NAME [ARG...]  the text NAME, its %s filled in with the ARGs
# shellcheck shell=sh disable=SC2034

rig_text() {
    rig_name=$1
    shift
    # shellcheck disable=SC2059 # the text is the format
    printf "$(sed -n "s/^$rig_name=//p" "$rig_lib/texts.txt")" "$@"
}

note_not_behind=$(rig_text kNotBehind)
note_behind=$(rig_text kBehind)
note_no_internet=$(rig_text kInternetUnknown)
text_no_internet=$(rig_text kNoInternet)
