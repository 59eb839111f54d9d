#!/bin/bash
# Prints the build folder of a product folder (default: product/): build/
# for the default product, build/products/<name>-<hash of its path>/ for
# any other, so that products never share outputs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
product=$(realpath -m -- "${1:-$root/product}")
if [ "$product" = "$root/product" ]; then
    echo "$root/build"
else
    # Only letters, digits, dots, dashes and underscores of the folder's
    # name: the build folder's path goes through CMake and make.
    name=$(basename "$product" | LC_ALL=C tr -c 'A-Za-z0-9._\n-' '_')
    echo "$root/build/products/$name-$(printf %s "$product" | sha256sum | cut -c1-8)"
fi
