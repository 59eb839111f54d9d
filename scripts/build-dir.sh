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
    echo "$root/build/products/$(basename "$product")-$(printf %s "$product" | sha256sum | cut -c1-8)"
fi
