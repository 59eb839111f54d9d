#!/bin/bash
# A product whose values hold $( ), ;, quotes, trigraphs and letters
# outside ASCII (tests/product/round-trip), with an installer folder and an
# extra folder whose paths hold them too, built under the C locale: the executable's
# resources and compiled-in texts and the disc image must carry every value
# exactly as written.
# Usage: check_round_trip.sh <source folder> <Windows build folder> <scratch folder>
set -euo pipefail

source_dir=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
scratch=$3
python=/usr/bin/python3
rm -rf "$scratch"
mkdir -p "$scratch"
unset SOURCE_DATE_EPOCH LAUNCHER_SIGN_CERT LAUNCHER_SIGN_KEY LAUNCHER_SIGN_PFX LAUNCHER_SIGN_PASS_FILE \
    LAUNCHER_SIGN_TIMESTAMP_URL LAUNCHER_SIGN_PKCS11_MODULE
export LC_ALL=C

installer="$scratch/rel\$(V);x y'q"
mkdir -p "$installer/Daten"
cp "$build/sample-installer/sample_installer.exe" "$installer/Start.exe"
printf 'Übersicht\n' >"$installer/Daten/Übersicht.txt"
# Files for the disc's root, from a folder whose path is as hostile.
extra="$scratch/extra \$(HOME);\"q\""
mkdir -p "$extra/Handbuch"
printf 'Lies mich\n' >"$extra/Lies mich \$(X).txt"
printf 'Kapitel 1\n' >"$extra/Handbuch/Über.txt"
out=$scratch/build
LAUNCHER_EXTRA_DIR=$extra LAUNCHER_INSTALLER_DIR=$installer "$python" "$source_dir/product_compiler/compile.py" \
    --product "$source_dir/tests/product/round-trip" --out "$out/product" >/dev/null
cmake -S "$source_dir" -B "$out" -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-i686.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build "$out" --target medium >"$scratch/build.log" 2>&1 || { tail -20 "$scratch/build.log"; exit 1; }

model=$out/product/product.json
"$python" "$source_dir/tests/pe/check_resources.py" --product "$model" --language en "$out/launcher.exe"
"$python" "$source_dir/tests/medium/check_image.py" --launcher "$out/launcher.exe" \
    --sample-installer "$build/sample-installer/sample_installer.exe" --product "$model" "$out/medium.iso"
# The texts compiled into the code, as UTF-16 in the executable.
"$python" - "$model" "$out/launcher.exe" <<'PYTHON'
import json, sys
model = json.load(open(sys.argv[1], encoding="utf-8"))
data = open(sys.argv[2], "rb").read()
texts = model["texts"]["en"]
wanted = {key: texts[key] for key in ("refusal", "quit_title", "quit", "start_failure")}
wanted.update(version_line=model["version_line"], installer=model["installer"])
missing = [f"{key} {value!r}" for key, value in wanted.items()
           if value.encode("utf-16-le") + b"\0\0" not in data]
if missing:
    print("FAIL: not in launcher.exe as written: " + "; ".join(missing))
    sys.exit(1)
print(f"ok: {len(wanted)} compiled-in texts as written")
PYTHON
