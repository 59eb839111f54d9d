#!/bin/bash
# Signs a medium the way the build does (medium_builder/make-medium.sh with
# LAUNCHER_SIGN_CERT and LAUNCHER_SIGN_KEY) with a throw-away certificate,
# twice, and checks: osslsigncode verify finds a SHA-1 signature with a
# nested SHA-256 one; both signings gave the same bytes; the signed
# launcher still passes the import, header and resource checks; the image
# holds it; half a key pair is refused rather than ignored. Then a PKCS#12
# file with its passphrase in a file signs too, and the build says once that
# the signature has no timestamp; a wrong passphrase, or a locked key with
# none, gets a clear line rather than a prompt; the passphrase is on no
# command line of openssl or osslsigncode and in no file the build writes.
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
. "$source_dir/tests/medium/signing_scratch.sh" "$scratch"

mkdir installer
cp "$build/sample-installer/sample_installer.exe" "installer/$(fact installer | sed 's/.*\\//')"
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
    -subj "/CN=Throw-away test signer" 2>/dev/null

make_medium() {
    "$source_dir/medium_builder/make-medium.sh" --launcher "$build/launcher.exe" \
        --installer-dir installer --installer "$(fact installer)" \
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
    --sample-installer "$build/sample-installer/sample_installer.exe" --product "$product" first.iso

if LAUNCHER_SIGN_CERT=cert.pem make_medium half >half.txt 2>&1; then
    fail "a certificate without its key was accepted"
fi
grep -q "LAUNCHER_SIGN_KEY" half.txt || fail "no clear message for a missing key: $(cat half.txt)"

passphrase="throw-away passphrase 7f3a"
printf '%s\n' "$passphrase" >pass.txt
printf 'not it\n' >wrong.txt
openssl pkcs12 -export -in cert.pem -inkey key.pem -out signer.pfx -passout file:pass.txt
openssl pkey -in key.pem -aes256 -passout file:pass.txt -out locked.pem
# Every openssl and osslsigncode the build runs, with its arguments.
mkdir shims
for tool in openssl osslsigncode; do
    printf '#!/bin/sh\necho "%s $*" >>%s/commands.log\nexec %s "$@"\n' \
        "$tool" "$PWD" "$(command -v "$tool")" >"shims/$tool"
    chmod +x "shims/$tool"
done
PATH=$PWD/shims:$PATH LAUNCHER_SIGN_PFX=signer.pfx LAUNCHER_SIGN_PASS_FILE=pass.txt make_medium pfx >pfx.txt 2>&1 ||
    fail "signing with a PKCS#12 file and a passphrase file: $(cat pfx.txt)"
osslsigncode verify -CAfile cert.pem -in pfx/launcher.exe >verify-pfx.txt 2>&1 ||
    fail "osslsigncode verify (PKCS#12): $(cat verify-pfx.txt)"
[ "$(grep -c "no timestamp" pfx.txt)" = 1 ] || fail "expected one line on the missing timestamp: $(cat pfx.txt)"

# What the build says of a passphrase it cannot use; no terminal (setsid)
# for anything to prompt on.
while IFS='|' read -r what pfx cert key pass expected; do
    if PATH=$PWD/shims:$PATH LAUNCHER_SIGN_PFX=$pfx LAUNCHER_SIGN_CERT=$cert LAUNCHER_SIGN_KEY=$key \
        LAUNCHER_SIGN_PASS_FILE=$pass setsid -w "$source_dir/medium_builder/make-medium.sh" \
        --launcher "$build/launcher.exe" --installer-dir installer \
        --installer "$(fact installer)" --product "$(fact name)" --label "$(fact autorun_label)" \
        --sources "$source_dir" --tree locked --image locked.iso >locked.txt 2>&1; then
        fail "$what: signed"
    fi
    [ "$(cat locked.txt)" = "make-medium: $expected" ] || fail "$what: expected \"$expected\", got: $(cat locked.txt)"
done <<'CASES'
a wrong passphrase|signer.pfx|||wrong.txt|the passphrase in wrong.txt (LAUNCHER_SIGN_PASS_FILE) does not open signer.pfx
a locked PKCS#12 file without one|signer.pfx||||signer.pfx is protected by a passphrase: name a file holding it in LAUNCHER_SIGN_PASS_FILE
a locked key without one||cert.pem|locked.pem||locked.pem is protected by a passphrase: name a file holding it in LAUNCHER_SIGN_PASS_FILE
CASES
grep -q -- "-readpass pass.txt" commands.log || fail "osslsigncode was not given the passphrase file: $(cat commands.log)"
if grep -rlF --exclude=pass.txt "$passphrase" .; then
    fail "the passphrase is in the files above (commands.log: the command lines)"
fi

echo "ok: signed with SHA-1 and nested SHA-256 ($(osslsigncode --version | head -1 | cut -d, -f1)), the same bytes twice; PKCS#12 with a passphrase file"
