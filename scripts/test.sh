#!/bin/sh
# Installs what the tests need, then builds every preset and runs every test.
set -eu
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/check-format.sh
for preset in native sanitize windows release native-release fuzz; do
    echo "=== $preset"
    cmake --workflow --preset "$preset" --fresh
done
# Two build trees of one preset run all their tests at the same time: each
# has its own echo port, namespaces and folders, so neither may fail.
echo "=== native, twice at once"
cmake --preset native -B build/native-twin --fresh >/dev/null
cmake --build build/native-twin -j2
ctest --test-dir build/native --output-on-failure >build/native-first.log 2>&1 &
first=$!
twin=0
ctest --test-dir build/native-twin --output-on-failure || twin=$?
wait "$first" || {
    cat build/native-first.log
    exit 1
}
[ "$twin" -eq 0 ]
echo "=== all tests passed"
