#!/bin/bash
# Builds launcher.exe and the medium's disc image twice, from two clones of
# the sources in different folders with build folders of different names,
# under different umasks and time zones, some seconds apart, and checks that
# the two executables and the two images are byte for byte the same.
# Uncommitted changes are copied into both clones, so they are checked too;
# the image's dates come from the last commit.
# The two builds also run in different locales (C and C.UTF-8): nothing on
# the disc may depend on the build machine's character set.
# Usage: check_reproducible.sh <source folder> <scratch folder> [<product.json>]
set -euo pipefail

source_dir=$(cd "$1" && pwd)
scratch=$2
# A product folder inside the sources is taken from each clone; one outside
# is shared by both builds.
product=$source_dir/product
if [ -n "${3:-}" ]; then
    product=$(/usr/bin/python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["folder"])' "$3")
fi
case $product/ in
    "$source_dir"/*) product_in_sources=${product#"$source_dir"/} ;;
    *) product_in_sources= ;;
esac
rm -rf "$scratch"
mkdir -p "$scratch"
# The dates come from the last commit; the build signs nothing here.
unset SOURCE_DATE_EPOCH LAUNCHER_INSTALLER_DIR LAUNCHER_EXTRA_DIR LAUNCHER_SIGN_CERT LAUNCHER_SIGN_KEY \
    LAUNCHER_SIGN_PFX LAUNCHER_SIGN_PASS_FILE LAUNCHER_SIGN_TIMESTAMP_URL LAUNCHER_SIGN_PKCS11_MODULE

copy_sources() {
    local to=$1
    local top
    if top=$(git -C "$source_dir" rev-parse --show-toplevel 2>/dev/null) && [ "$top" -ef "$source_dir" ]; then
        git clone -q "$source_dir" "$to"
        (cd "$source_dir" && git ls-files -z --cached --others --exclude-standard) |
            (cd "$source_dir" && xargs -0 cp --parents -t "$to" 2>/dev/null || true)
        (cd "$source_dir" && git ls-files -z --deleted) | (cd "$to" && xargs -0 rm -f)
    else
        mkdir -p "$to"
        cp -a "$source_dir/." "$to"
    fi
}

build() {
    local src=$1 out=$2
    local product_folder=$product
    [ -z "$product_in_sources" ] || product_folder=$src/$product_in_sources
    /usr/bin/python3 "$src/product_compiler/compile.py" --product "$product_folder" --out "$out/product" >/dev/null
    cmake -S "$src" -B "$out" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-i686.cmake" \
        -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
    cmake --build "$out" --target medium >/dev/null
}

copy_sources "$scratch/first/src"
copy_sources "$scratch/second-copy/sources"
(umask 022 && export TZ=UTC LC_ALL=C && build "$scratch/first/src" "$scratch/first/build")
(umask 077 && export TZ=Asia/Kolkata LC_ALL=C.UTF-8 && build "$scratch/second-copy/sources" "$scratch/second-copy/out-of-tree")

status=0
for file in launcher.exe medium.iso; do
    a="$scratch/first/build/$file"
    b="$scratch/second-copy/out-of-tree/$file"
    if cmp "$a" "$b"; then
        echo "ok: $file is identical from both builds ($(stat -c %s "$a") bytes, sha256 $(sha256sum "$a" | cut -c1-16))"
    else
        echo "FAIL: $file differs between builds in different folders"
        status=1
    fi
done
exit $status
