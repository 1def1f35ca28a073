#!/bin/sh
# The time of each step of --deep in each namespace scenario of
# tests/e2e/native/deep.sh, from a build with the shipped echo URL and the
# benchmarks (native-release with -DMARVOLY_BENCH=ON):
#
#   bench/deep_steps.sh BUILD   (as root)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
export MARVOLY_E2E_PROGRAM="$build/src/app/marvoly" MARVOLY_E2E_WORK="$build/bench-deep"
export MARVOLY_DEEP_STEPS="$build/bench/bench_deep_steps"
for scenario in $(sh "$here/../tests/e2e/native/deep.sh" 2>&1 | sed -n 's/^usage: [^ ]* //p' | tr '|' ' '); do
    sh "$here/../tests/e2e/native/deep.sh" "$scenario" |
        sed -n "s/^--- marvoly --report --deep (\(.*\))/$scenario: --report --deep \1/p; s/^steps: /$scenario: /p"
done
