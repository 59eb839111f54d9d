#!/bin/bash
# Builds the launcher and runs it from the sample installation medium under
# Wine, as Windows XP. With a display ($DISPLAY) it opens there and runs
# until you close it; without one it runs on Xvfb and saves a screenshot to
# build/screenshot.png.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh
exec /usr/bin/python3 scripts/run_sample.py --build build/win32 --work build/sample-run "$@"
