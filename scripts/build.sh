#!/bin/bash
# Configures and builds everything in build/: the host tests, the artwork
# generator and, through the cross compiler, launcher.exe with the
# installation medium (build/win32/medium and its image
# build/win32/medium.iso) and the Wine test driver.
#
# Build options come from the environment and go to CMake as cache
# variables (unset or empty: the default):
#   LAUNCHER_INSTALLER_DIR   folder copied as the medium's installer folder
#                            (Setup.exe and what sits beside it)
#   LAUNCHER_LANGUAGE        the captions' string table,
#                            resources/strings/<LAUNCHER_LANGUAGE>.rc (en)
# Read at build time, to sign the medium's launcher.exe with (see
# scripts/make-medium.sh): LAUNCHER_SIGN_CERT and LAUNCHER_SIGN_KEY, a PEM
# certificate and its key, or LAUNCHER_SIGN_PFX, a PKCS#12 file; the
# passphrase in the file LAUNCHER_SIGN_PASS_FILE; LAUNCHER_SIGN_TIMESTAMP_URL,
# an RFC 3161 timestamp server.
set -euo pipefail

# Paths as the caller gave them, relative to where they stand.
for name in LAUNCHER_INSTALLER_DIR LAUNCHER_SIGN_CERT LAUNCHER_SIGN_KEY LAUNCHER_SIGN_PFX \
            LAUNCHER_SIGN_PASS_FILE; do
    if [ -n "${!name:-}" ]; then
        export "$name=$(realpath -m -- "${!name}")"
    fi
done
options=()
LAUNCHER_LANGUAGE=${LAUNCHER_LANGUAGE:-en}
for name in LAUNCHER_INSTALLER_DIR LAUNCHER_LANGUAGE; do
    options+=("-D$name=${!name:-}")
done

cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" >/dev/null
cmake --build build -j"$(nproc)"
