#!/bin/bash
# Builds, then prints the launcher's figures: sizes, start-up under Wine
# against the floor program (benchmark/floor.cpp) and memory over 200
# rounds of Exit then No. Asserts nothing; run it by hand. Measures the
# product LAUNCHER_PRODUCT names (the default product without it).
#
#   scripts/bench.sh                 41 rounds on a true-colour (24-bit) screen
#   scripts/bench.sh --depth 8       the same on a palette (8-bit) screen
#   scripts/bench.sh --rounds 101    more rounds
set -euo pipefail
if [ -n "${LAUNCHER_PRODUCT:-}" ]; then
    export LAUNCHER_PRODUCT=$(realpath -m -- "$LAUNCHER_PRODUCT")
fi
cd "$(dirname "$0")/.."

scripts/build.sh >/dev/null
build=$(scripts/build-dir.sh "${LAUNCHER_PRODUCT:-}")
cmake --build "$build/win32" --target bench_floor >/dev/null
echo "command: ${LAUNCHER_PRODUCT:+LAUNCHER_PRODUCT=$LAUNCHER_PRODUCT }scripts/bench.sh $*"
exec /usr/bin/python3 benchmark/bench.py --build "$build/win32" --work "$build/bench" "$@"
