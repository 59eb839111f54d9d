#!/bin/bash
# Signs a medium the way the build does (scripts/make-medium.sh with
# LAUNCHER_SIGN_CERT and LAUNCHER_SIGN_KEY) with a throw-away certificate,
# twice, and checks: osslsigncode verify finds a SHA-1 signature with a
# nested SHA-256 one; both signings gave the same bytes; the signed
# launcher still passes the import, header and resource checks; the image
# holds it; half a key pair is refused rather than ignored.
# Usage: check_signing.sh <source folder> <Windows build folder> <scratch folder>
#                         <product.json> <language>
set -euo pipefail

python=/usr/bin/python3
source_dir=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
scratch=$3
product=$(realpath "$4")
language=$5
fact() {
    "$python" -c 'import json, sys; print(json.load(open(sys.argv[1]))[sys.argv[2]])' "$product" "$1"
}
rm -rf "$scratch"
mkdir -p "$scratch"
cd "$scratch"

fail() {
    echo "FAIL: $*"
    exit 1
}

openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
    -subj "/CN=Throw-away test signer" 2>/dev/null

make_medium() {
    "$source_dir/scripts/make-medium.sh" --launcher "$build/launcher.exe" \
        --installer-dir "$build/sample-installer" --installer "$(fact installer)" \
        --product "$(fact name)" --volume "$(fact volume_label)" --label "$(fact autorun_label)" \
        --sources "$source_dir" --tree "$1" --image "$1.iso"
}

for run in first second; do
    LAUNCHER_SIGN_CERT=cert.pem LAUNCHER_SIGN_KEY=key.pem make_medium "$run" >/dev/null
done
signed=first/launcher.exe
cmp first.iso second.iso || fail "two signings with the same key gave different images"

osslsigncode verify -CAfile cert.pem -in "$signed" >verify.txt 2>&1 ||
    fail "osslsigncode verify: $(cat verify.txt)"
# One "Message digest algorithm  :" line a signature, in order (the
# attribute lines below each say it again with one space, or indented).
digests=$(sed -n 's/^Message digest algorithm   *: *//p' verify.txt | tr '\n' ' ')
[ "$digests" = "SHA1 SHA256 " ] ||
    fail "signatures: expected SHA1 then a nested SHA256, got ${digests:-none}"
grep -q "Number of verified signatures: 2" verify.txt ||
    fail "expected 2 verified signatures: $(grep -i signatures verify.txt)"

"$python" "$source_dir/tests/pe/check_pe.py" --exports "$source_dir/tests/pe/win9x-nt4-exports.txt" "$signed"
"$python" "$source_dir/tests/pe/check_resources.py" --product "$product" --language "$language" "$signed"
"$python" "$source_dir/tests/medium/check_image.py" --launcher "$build/launcher.exe" \
    --installer-dir "$build/sample-installer" --product "$product" first.iso

if LAUNCHER_SIGN_CERT=cert.pem make_medium half >half.txt 2>&1; then
    fail "a certificate without its key was accepted"
fi
grep -q "LAUNCHER_SIGN_KEY" half.txt || fail "no clear message for a missing key: $(cat half.txt)"

echo "ok: signed with SHA-1 and nested SHA-256 ($(osslsigncode --version | head -1 | cut -d, -f1)), the same bytes twice"
