#!/bin/bash
# Builds everything and runs every test: unit tests, the artwork check, the
# executable's import and header check, the reproducibility check and the
# launcher under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh
start=$(date +%s)
ctest --test-dir build --output-on-failure -j2
echo "All tests passed in $(( $(date +%s) - start )) s."
