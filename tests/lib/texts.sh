# The texts that the program shows, as the tests expect them byte for byte
# (sourced through use.sh): texts.txt holds them, one NAME=TEXT a line, for
# the scripts here and, as a generated header, for the C++ tests.
# shellcheck shell=sh disable=SC2034

rig_text() {
    sed -n "s/^$1=//p" "$rig_lib/texts.txt"
}

note_not_behind=$(rig_text kNotBehind)
note_behind=$(rig_text kBehind)
note_no_internet=$(rig_text kInternetUnknown)
text_no_internet=$(rig_text kNoInternet)
