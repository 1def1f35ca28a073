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
echo "=== all tests passed"
