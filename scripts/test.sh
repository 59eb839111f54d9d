#!/bin/bash
# Builds everything and runs every test: unit tests, the artwork check, the
# executable's import, header and resource checks, the medium, the
# reproducibility check and the launcher under Wine. Every check reads what
# it expects from the product folder.
#
# With LAUNCHER_PRODUCT set, for that product; without, for the default
# product and then for the example products, examples/orbisk and
# examples/wiklinor.
set -euo pipefail
if [ -n "${LAUNCHER_PRODUCT:-}" ]; then
    export LAUNCHER_PRODUCT=$(realpath -m -- "$LAUNCHER_PRODUCT")
fi
cd "$(dirname "$0")/.."

scripts/install-deps.sh
if [ -n "${LAUNCHER_PRODUCT:-}" ]; then
    products=("$LAUNCHER_PRODUCT")
else
    products=(product examples/orbisk examples/wiklinor)
fi
start=$(date +%s)
for product in "${products[@]}"; do
    echo "=== $product"
    LAUNCHER_PRODUCT=$product scripts/build.sh
    ctest --test-dir "$(scripts/build-dir.sh "$product")" --output-on-failure -j2
done
echo "All tests passed in $(( $(date +%s) - start )) s."
