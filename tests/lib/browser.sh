# Headless Chromium for the program's page (sourced through use.sh), run as
# root in a namespace of the rig so that it has no way out, with a profile
# of its own in the run's folder.
#
#   browser_render NAMESPACE HTML PNG   renders HTML to PNG and its DOM to
#                                       HTML.dom; fails on a console message
# shellcheck shell=sh

browser_render() {
    profile=$(mktemp -d "$rig_dir/chromium.XXXXXX")
    for output in "--screenshot=$3" --dump-dom; do
        timeout 60 ip netns exec "$1" chromium --headless --no-sandbox --disable-gpu \
            --disable-quic --no-first-run --disable-background-networking \
            --disable-component-update --disable-sync --user-data-dir="$profile" \
            --enable-logging=stderr --v=0 --window-size=900,1400 "$output" "file://$2" \
            >"$2.out" 2>"$2.err" || fail "chromium could not render $2: $(tail -3 "$2.err")"
        ! grep -i 'CONSOLE' "$2.err" || fail "the page $2 logged to the console"
    done
    mv "$2.out" "$2.dom"
    [ -s "$3" ] || fail "chromium wrote no picture of $2"
}
