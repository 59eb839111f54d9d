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
# Read at build time, to sign the medium's launcher.exe with (see
# medium_builder/make-medium.sh): LAUNCHER_SIGN_CERT and LAUNCHER_SIGN_KEY, a PEM
# certificate and its key, or LAUNCHER_SIGN_PFX, a PKCS#12 file, or
# LAUNCHER_SIGN_PKCS11_MODULE, a token's PKCS#11 module, with pkcs11: URIs in
# LAUNCHER_SIGN_KEY (and LAUNCHER_SIGN_CERT, or a file); the passphrase or
# PIN in the file LAUNCHER_SIGN_PASS_FILE; LAUNCHER_SIGN_TIMESTAMP_URL, an
# RFC 3161 timestamp server.
#
# Each product builds in a folder of its own, so building one never touches
# another's executable, medium or image: the default product in build/ (its
# Windows build, medium and image in build/win32/), any other in
# build/products/<folder name>-<hash of its path>/. The last line printed
# says where; scripts/build-dir.sh prints it without building.
set -euo pipefail

# Paths as the caller gave them, relative to where they stand.
# A pkcs11: URI names a key or certificate on a token, not a path.
for name in LAUNCHER_PRODUCT LAUNCHER_INSTALLER_DIR LAUNCHER_SIGN_CERT LAUNCHER_SIGN_KEY \
            LAUNCHER_SIGN_PFX LAUNCHER_SIGN_PASS_FILE LAUNCHER_SIGN_PKCS11_MODULE; do
    if [ -n "${!name:-}" ] && [[ ${!name} != pkcs11:* ]]; then
        export "$name=$(realpath -m -- "${!name}")"
    fi
done
cd "$(dirname "$0")/.."
LAUNCHER_PRODUCT=${LAUNCHER_PRODUCT:-$PWD/product}
build=$(scripts/build-dir.sh "$LAUNCHER_PRODUCT")

# The product folder is checked first: a bad value stops the build with one
# line naming the file, the key and what is wrong.
[ -d "$LAUNCHER_PRODUCT" ] || { echo "LAUNCHER_PRODUCT=$LAUNCHER_PRODUCT: no such folder" >&2; exit 1; }
/usr/bin/python3 product_compiler/compile.py --product "$LAUNCHER_PRODUCT" --out "$build/product" \
    --language "${LAUNCHER_LANGUAGE:-}" || exit 1
# So is a maker's installer folder: what it may not carry onto the disc, or
# a missing installer, stops the build before anything is built.
if [ -n "${LAUNCHER_INSTALLER_DIR:-}" ]; then
    installer=$(/usr/bin/python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["installer"])' \
                "$build/product/product.json")
    /usr/bin/python3 product_compiler/installer_folder.py --installer-dir "$LAUNCHER_INSTALLER_DIR" \
        --installer "$installer" >/dev/null || exit 1
fi

options=()
for name in LAUNCHER_PRODUCT LAUNCHER_LANGUAGE; do
    options+=("-D$name=${!name:-}")
done
# A product's installer folder stays what it was last given, so that a later
# plain build of that product does not swap the sample installer onto its
# medium; LAUNCHER_INSTALLER_DIR= (set, empty) goes back to the sample.
if [ -n "${LAUNCHER_INSTALLER_DIR+set}" ]; then
    options+=("-DLAUNCHER_INSTALLER_DIR=$LAUNCHER_INSTALLER_DIR")
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
echo "build: $LAUNCHER_PRODUCT built in $build; its medium is $build/win32/medium, its image $build/win32/medium.iso"
