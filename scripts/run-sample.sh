#!/bin/bash
# Builds the launcher and runs it from its installation medium under Wine,
# as Windows XP: the default product with the sample installer, or the
# product and installer folder that LAUNCHER_PRODUCT and
# LAUNCHER_INSTALLER_DIR name (see scripts/build.sh). With a display
# ($DISPLAY) it opens there and runs until you close it; without one it runs
# on Xvfb and saves a screenshot to <build folder>/screenshot.png.
set -euo pipefail
if [ -n "${LAUNCHER_PRODUCT:-}" ]; then
    export LAUNCHER_PRODUCT=$(realpath -m -- "$LAUNCHER_PRODUCT")
fi
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh
build=$(scripts/build-dir.sh "${LAUNCHER_PRODUCT:-}")
exec /usr/bin/python3 wine_lab/run_sample.py --build "$build/win32" --work "$build/sample-run" "$@"
