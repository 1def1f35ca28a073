#!/bin/sh
# Builds Marvoly for this machine and runs it in this terminal, installing
# what the build needs first (on Debian).
set -eu
cd "$(dirname "$0")/.."

scripts/setup.sh --run-only
cmake --preset native-release -DBUILD_TESTING=OFF >/dev/null
cmake --build --preset native-release --target marvoly
exec build/native-release/src/app/marvoly
