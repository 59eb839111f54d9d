#!/bin/bash
# Configures and builds everything for one product: the host tests, the
# artwork generator and, through the cross compiler, launcher.exe with the
# installation medium (medium/ and its image medium.iso) and the Wine test
# driver.
#
# Build options come from the environment (unset or empty: the default):
#   LAUNCHER_PRODUCT         the product folder (product/, the default product)
#   LAUNCHER_LANGUAGE        one of the product's languages (its first)
#   LAUNCHER_INSTALLER_DIR   folder copied as the medium's installer folder
#                            (the installer and what sits beside it); kept
#                            for later builds of the product until given
#                            again; empty: the sample installer
# Read by the product compiler, to sign the medium's launcher.exe with (see
# medium_builder/signing.py): LAUNCHER_SIGN_CERT and LAUNCHER_SIGN_KEY, a PEM
# certificate and its key, or LAUNCHER_SIGN_PFX, a PKCS#12 file, or
# LAUNCHER_SIGN_PKCS11_MODULE, a token's PKCS#11 module, with pkcs11: URIs in
# LAUNCHER_SIGN_KEY (and LAUNCHER_SIGN_CERT, or a file); the passphrase or
# PIN in the file LAUNCHER_SIGN_PASS_FILE; LAUNCHER_SIGN_TIMESTAMP_URL, an
# RFC 3161 timestamp server. LAUNCHER_EXTRA_DIR: files for the disc's root.
#
# Each product builds in a folder of its own, so building one never touches
# another's executable, medium or image: the default product in build/ (its
# Windows build, medium and image in build/win32/), any other in
# build/products/<folder name>-<hash of its path>/. The last line printed
# says where; scripts/build-dir.sh prints it without building.
set -euo pipefail

# Paths as the caller gave them, relative to where they stand.
# A pkcs11: URI names a key or certificate on a token, not a path.
for name in LAUNCHER_PRODUCT LAUNCHER_INSTALLER_DIR LAUNCHER_EXTRA_DIR LAUNCHER_SIGN_CERT LAUNCHER_SIGN_KEY \
            LAUNCHER_SIGN_PFX LAUNCHER_SIGN_PASS_FILE LAUNCHER_SIGN_PKCS11_MODULE; do
    if [ -n "${!name:-}" ] && [[ ${!name} != pkcs11:* ]]; then
        export "$name=$(realpath -m -- "${!name}")"
    fi
done
cd "$(dirname "$0")/.."
LAUNCHER_PRODUCT=${LAUNCHER_PRODUCT:-$PWD/product}
build=$(scripts/build-dir.sh "$LAUNCHER_PRODUCT")

# The product compiler reads the product folder, the maker's installer
# folder and the signing settings (from the environment, as they are) and
# checks everything first: a fault stops the build with one line before
# anything is compiled. CMake then reads only the model it wrote.
[ -d "$LAUNCHER_PRODUCT" ] || { echo "LAUNCHER_PRODUCT=$LAUNCHER_PRODUCT: no such folder" >&2; exit 1; }
/usr/bin/python3 product_compiler/compile.py --product "$LAUNCHER_PRODUCT" --out "$build/product" \
    --language "${LAUNCHER_LANGUAGE:-}" || exit 1
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)"
echo "build: $LAUNCHER_PRODUCT built in $build; its medium is $build/win32/medium, its image $build/win32/medium.iso"
