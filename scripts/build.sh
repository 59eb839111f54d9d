#!/bin/bash
# Configures and builds everything in build/: the host tests, the artwork
# generator and, through the cross compiler, launcher.exe with its sample
# medium (build/win32/medium) and the Wine test driver.
# LAUNCHER_LANGUAGE (default en) picks the captions' string table:
# resources/strings/<LAUNCHER_LANGUAGE>.rc.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DLAUNCHER_LANGUAGE="${LAUNCHER_LANGUAGE:-en}" >/dev/null
cmake --build build -j"$(nproc)"
