#!/bin/bash
# Signs a medium the way the build does (the product compiler, then the
# medium builder, with LAUNCHER_SIGN_CERT and LAUNCHER_SIGN_KEY) with a
# throw-away certificate,
# twice, and checks: osslsigncode verify finds a SHA-1 signature with a
# nested SHA-256 one; both signings gave the same bytes; the signed
# launcher still passes the import, header and resource checks; the image
# holds it. Then, through medium_builder/signing.py: a PKCS#12 file with its
# passphrase in a file signs too, and it says once that the signature has no
# timestamp; so does an RSA key on a SoftHSM2 token with its certificate
# there too, the same bytes twice, its PIN in a file; an EC key gets one
# line on the Windows that cannot verify it, or is refused when no release
# of the product can; half a key pair, a certificate not the key's, a wrong
# passphrase or PIN, a locked key with none, a token, key or module that is
# not there each get their one line rather than a prompt; the passphrase
# and the PIN are on no command line of openssl, osslsigncode or
# pkcs11-tool and in no file the build writes.
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

openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
    -subj "/CN=Throw-away test signer" 2>/dev/null

make_medium() {  # the medium's folder; its model goes beside it
    "$python" "$source_dir/product_compiler/compile.py" --product "$(fact folder)" --out "$1.product" &&
        "$python" "$source_dir/medium_builder/make_medium.py" --model "$1.product/product.json" \
            --launcher "$build/launcher.exe" --sample-installer "$build/sample-installer/sample_installer.exe" \
            --tree "$1" --image "$1.iso"
}

for run in first second; do
    LAUNCHER_SIGN_CERT=cert.pem LAUNCHER_SIGN_KEY=key.pem make_medium "$run" >"$run.txt"
done
name=$(fact launcher_name)
signed=first/$name
grep -q '^medium: on the disc: .*volume label ".*", autorun label ".*", '"$name"' signed .*by CN=Throw-away test signer (until ' first.txt ||
    fail "the build's summary does not say what was signed and by whom: $(cat first.txt)"
# The build folder remembers the signer: a later plain build (a preview)
# signs again; any LAUNCHER_SIGN_ variable set and empty forgets it.
make_medium first >again.txt
grep -q "$name signed .*by CN=Throw-away" again.txt || fail "a plain rebuild did not sign again: $(cat again.txt)"
LAUNCHER_SIGN_CERT= make_medium first >forgot.txt
grep -q "$name unsigned" forgot.txt || fail "LAUNCHER_SIGN_CERT= did not forget the signer: $(cat forgot.txt)"
LAUNCHER_SIGN_CERT=cert.pem LAUNCHER_SIGN_KEY=key.pem make_medium first >/dev/null
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
    --sample-installer "$build/sample-installer/sample_installer.exe" --product first.product/product.json first.iso

# signing.py, as the build runs it, with what the environment names.
signing() {
    "$python" "$source_dir/medium_builder/signing.py" "$@"
}
sign() {  # output file, then signing.py's options
    local out=$1
    shift
    signing sign --in "$build/launcher.exe" --out "$out" --name "$(fact name)" --epoch 1700000000 \
        --workdir work "$@"
}
verify() {  # signed file, CA file
    osslsigncode verify -CAfile "$2" -in "$1" >"$1.verify" 2>&1 || fail "osslsigncode verify $1: $(cat "$1.verify")"
    [ "$(sed -n 's/^Message digest algorithm   *: *//p' "$1.verify" | tr '\n' ' ')" = "SHA1 SHA256 " ] ||
        fail "$1: expected SHA1 then a nested SHA256: $(grep -i digest "$1.verify")"
}
mkdir work

# Every openssl, osslsigncode and pkcs11-tool the build runs, with its arguments.
mkdir shims
for tool in openssl osslsigncode pkcs11-tool; do
    printf '#!/bin/sh\necho "%s $*" >>%s/commands.log\nexec %s "$@"\n' \
        "$tool" "$PWD" "$(command -v "$tool")" >"shims/$tool"
    chmod +x "shims/$tool"
done

passphrase="throw-away passphrase 7f3a"
printf '%s\n' "$passphrase" >pass.txt
printf 'not it\n' >wrong.txt
openssl pkcs12 -export -in cert.pem -inkey key.pem -out signer.pfx -passout file:pass.txt
openssl pkey -in key.pem -aes256 -passout file:pass.txt -out locked.pem
openssl req -x509 -newkey rsa:2048 -nodes -keyout other.key -out other.pem -days 2 -subj "/CN=Another" 2>/dev/null
PATH=$PWD/shims:$PATH LAUNCHER_SIGN_PFX=signer.pfx LAUNCHER_SIGN_PASS_FILE=pass.txt sign pfx.exe >pfx.txt 2>&1 ||
    fail "signing with a PKCS#12 file and a passphrase file: $(cat pfx.txt)"
verify pfx.exe cert.pem
[ "$(grep -c "no timestamp" pfx.txt)" = 1 ] || fail "expected one line on the missing timestamp: $(cat pfx.txt)"

# A token of the test's own (SoftHSM2, in this folder) with an RSA and an
# EC key made on it, and a certificate for each; the RSA key's also on the
# token. The PIN reaches the tools here through the environment and a file.
pin="token-pin-5c2e91"
printf '%s\n' "$pin" >pin.txt
softhsm=$(find /usr/lib -name libsofthsm2.so -print -quit)
[ -n "$softhsm" ] || fail "no libsofthsm2.so (package softhsm2)"
mkdir tokens
printf 'directories.tokendir = %s/tokens\nobjectstore.backend = file\n' "$PWD" >softhsm2.conf
export SOFTHSM2_CONF=$PWD/softhsm2.conf
printf 'openssl_conf = init\n[init]\nengines = engines\n[engines]\npkcs11 = pkcs11\n[pkcs11]\nengine_id = pkcs11\nMODULE_PATH = %s\ninit = 0\n' \
    "$softhsm" >engine.cnf
PIN=$pin softhsm2-util --init-token --free --label "Test token" --so-pin 0000 --pin "$pin" >/dev/null
for key in rsa:2048:1:rsa EC:prime256v1:2:ec; do
    IFS=: read -r type size id label <<<"$key"
    PIN=$pin pkcs11-tool --module "$softhsm" --token-label "Test token" --login --pin env:PIN \
        --keypairgen --key-type "$type:$size" --id "0$id" --label "$label" >/dev/null 2>&1
    OPENSSL_CONF=engine.cnf openssl req -new -x509 -days 2 -subj "/CN=Token $label" -engine pkcs11 -keyform engine \
        -key "pkcs11:token=Test%20token;object=$label;type=private" -passin file:pin.txt -out "$label.pem" 2>/dev/null
done
openssl x509 -in rsa.pem -outform DER -out rsa.der
PIN=$pin pkcs11-tool --module "$softhsm" --token-label "Test token" --login --pin env:PIN \
    --write-object rsa.der --type cert --id 01 --label rsa >/dev/null
token_key="pkcs11:token=Test%20token;object=rsa;type=private"
for run in 1 2; do
    PATH=$PWD/shims:$PATH LAUNCHER_SIGN_PKCS11_MODULE=$softhsm LAUNCHER_SIGN_KEY=$token_key \
        LAUNCHER_SIGN_CERT="pkcs11:token=Test%20token;object=rsa;type=cert" LAUNCHER_SIGN_PASS_FILE=pin.txt \
        sign "token$run.exe" >token.txt 2>&1 || fail "signing with a key on a token: $(cat token.txt)"
done
verify token1.exe rsa.pem
cmp token1.exe token2.exe || fail "two signings with the same key on a token gave different bytes"
"$python" "$source_dir/tests/pe/check_pe.py" --exports "$source_dir/tests/pe/win9x-nt4-exports.txt" token1.exe
grep -q -- "-pkcs11module $softhsm -key $token_key -certs work/token-certificate.pem -readpass pin.txt" commands.log ||
    fail "osslsigncode was not given the token's key and the PIN file: $(grep osslsigncode commands.log)"

# An EC key: one line on what it costs, once.
releases="98 Me NT4 2000 XP Vista 7 10"
LAUNCHER_SIGN_PKCS11_MODULE=$softhsm LAUNCHER_SIGN_KEY="pkcs11:token=Test%20token;object=ec" \
    LAUNCHER_SIGN_CERT=ec.pem LAUNCHER_SIGN_PASS_FILE=pin.txt signing check --windows "$releases" >ec.txt 2>&1 ||
    fail "an EC key was refused for $releases: $(cat ec.txt)"
[ "$(grep -c "EC key" ec.txt)" = 1 ] &&
    grep -q "Windows 98, Me, NT4, 2000, XP, Vista and 7 cannot verify its ECDSA signature, and Windows 11's Smart App Control accepts only programs signed with RSA keys" ec.txt ||
    fail "expected one line on the EC key: $(cat ec.txt)"

# What the build says of a signer it cannot use, before signing; no
# terminal (setsid) for anything to prompt on.
while IFS='|' read -r what windows module pfx cert key pass expected; do
    if PATH=$PWD/shims:$PATH LAUNCHER_SIGN_PKCS11_MODULE=${module/SOFTHSM/$softhsm} LAUNCHER_SIGN_PFX=$pfx \
        LAUNCHER_SIGN_CERT=$cert LAUNCHER_SIGN_KEY=$key LAUNCHER_SIGN_PASS_FILE=$pass \
        setsid -w "$python" "$source_dir/medium_builder/signing.py" sign --in "$build/launcher.exe" \
        --out refused.exe --name Acme --epoch 0 --workdir work --windows "$windows" >refused.txt 2>&1; then
        fail "$what: signed"
    fi
    [ "$(cat refused.txt)" = "signing: $expected" ] || fail "$what: expected \"$expected\", got: $(cat refused.txt)"
    [ ! -e refused.exe ] || fail "$what: left refused.exe"
done <<'CASES'
a certificate without its key||||cert.pem|||signing needs both LAUNCHER_SIGN_CERT (certificate) and LAUNCHER_SIGN_KEY (its key)
a certificate not the key's||||other.pem|key.pem||LAUNCHER_SIGN_CERT: other.pem is not the certificate of the key key.pem (LAUNCHER_SIGN_KEY)
a wrong passphrase|||signer.pfx|||wrong.txt|the passphrase in wrong.txt (LAUNCHER_SIGN_PASS_FILE) does not open signer.pfx
a locked PKCS#12 file without one|||signer.pfx||||signer.pfx is protected by a passphrase: name a file holding it in LAUNCHER_SIGN_PASS_FILE
a locked key without one||||cert.pem|locked.pem||locked.pem is protected by a passphrase: name a file holding it in LAUNCHER_SIGN_PASS_FILE
a module that does not load||/bin/true||rsa.pem|pkcs11:object=rsa|pin.txt|LAUNCHER_SIGN_PKCS11_MODULE: /bin/true does not load as a PKCS#11 module: sc_dlopen failed: /bin/true: cannot dynamically load position-independent executable
a token key without its module||||rsa.pem|pkcs11:object=rsa|pin.txt|a key or certificate on a token (pkcs11:) needs the token's PKCS#11 module in LAUNCHER_SIGN_PKCS11_MODULE
a token not there||SOFTHSM||rsa.pem|pkcs11:token=Other;object=rsa|pin.txt|LAUNCHER_SIGN_KEY: no token matches pkcs11:token=Other;object=rsa (tokens present: "Test token")
a key not on the token||SOFTHSM||rsa.pem|pkcs11:object=nothing|pin.txt|LAUNCHER_SIGN_KEY: no private key on the token "Test token" matches pkcs11:object=nothing
a certificate not on the token||SOFTHSM||pkcs11:object=ec;type=cert|pkcs11:object=ec|pin.txt|LAUNCHER_SIGN_CERT: no certificate on the token "Test token" matches pkcs11:object=ec;type=cert
a wrong PIN||SOFTHSM||rsa.pem|pkcs11:object=rsa|wrong.txt|the PIN in wrong.txt (LAUNCHER_SIGN_PASS_FILE) does not open the token "Test token" (each wrong try counts towards locking it)
no PIN||SOFTHSM||rsa.pem|pkcs11:object=rsa||the token "Test token" wants its PIN: name a file holding it in LAUNCHER_SIGN_PASS_FILE
the token's certificate for another key||SOFTHSM||rsa.pem|pkcs11:object=ec|pin.txt|LAUNCHER_SIGN_CERT: rsa.pem is not the certificate of the key pkcs11:object=ec (LAUNCHER_SIGN_KEY)
an EC key no release verifies|98 XP|SOFTHSM||ec.pem|pkcs11:object=ec|pin.txt|LAUNCHER_SIGN_KEY: an EC key signs with ECDSA, which none of the product's Windows releases (98 and XP) can verify: sign with an RSA key
CASES
grep -q -- "-readpass pass.txt" commands.log || fail "osslsigncode was not given the passphrase file: $(cat commands.log)"
if grep -rlF -e "$passphrase" -e "$pin" --exclude=pass.txt --exclude=pin.txt .; then
    fail "the passphrase or PIN is in the files above (commands.log: the command lines)"
fi

echo "ok: signed with SHA-1 and nested SHA-256 ($(osslsigncode --version | head -1 | cut -d, -f1)), the same bytes twice; PKCS#12 with a passphrase file; a key on a SoftHSM2 token with its PIN in a file"
