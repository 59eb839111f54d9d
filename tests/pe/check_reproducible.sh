#!/bin/bash
# Builds launcher.exe twice, from two copies of the sources in different
# folders with build folders of different names, and checks that the two
# executables are byte for byte the same.
# Usage: check_reproducible.sh <source folder> <scratch folder>
set -euo pipefail

source_dir=$(cd "$1" && pwd)
scratch=$2
rm -rf "$scratch"
mkdir -p "$scratch"

copy_sources() {
    local to=$1
    mkdir -p "$to"
    if git -C "$source_dir" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        (cd "$source_dir" && git ls-files -z --cached --others --exclude-standard) |
            (cd "$source_dir" && xargs -0 cp --parents -t "$to" 2>/dev/null || true)
    else
        cp -a "$source_dir/." "$to"
    fi
}

build() {
    local src=$1 out=$2
    cmake -S "$src" -B "$out" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-i686.cmake" \
        -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
    cmake --build "$out" --target launcher >/dev/null
}

copy_sources "$scratch/first/src"
copy_sources "$scratch/second-copy/sources"
build "$scratch/first/src" "$scratch/first/build"
build "$scratch/second-copy/sources" "$scratch/second-copy/out-of-tree"

a="$scratch/first/build/launcher.exe"
b="$scratch/second-copy/out-of-tree/launcher.exe"
if cmp "$a" "$b"; then
    echo "ok: two builds in different folders are identical ($(stat -c %s "$a") bytes, sha256 $(sha256sum "$a" | cut -c1-16))"
else
    echo "FAIL: launcher.exe differs between builds in different folders"
    exit 1
fi
