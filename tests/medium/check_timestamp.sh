#!/bin/bash
# A timestamp keeps the launcher's signature valid after its certificate
# expires. With a throw-away CA, a code-signing certificate of two days and
# a TSA certificate, and an RFC 3161 server of the test's own on 127.0.0.1
# (timestamp_server.py), medium_builder/signing.py signs the launcher once
# with LAUNCHER_SIGN_TIMESTAMP_URL and once without; osslsigncode verify at
# a time after the certificate's end accepts both signatures of the first
# (each timestamped) and refuses the second: "certificate has expired". A
# server that does not answer gets one line, and nothing is signed.
# Usage: check_timestamp.sh <source folder> <Windows build folder> <scratch folder>
set -euo pipefail

source_dir=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
scratch=$3
. "$source_dir/tests/medium/signing_scratch.sh" "$scratch"

openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 30 \
    -subj "/CN=Throw-away test CA" 2>/dev/null
issue() {  # name, days, extended key usage
    openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=Throw-away $1" 2>/dev/null
    openssl x509 -req -in "$1.csr" -CA ca.pem -CAkey ca.key -CAcreateserial -days "$2" -out "$1.pem" \
        -extfile <(printf 'extendedKeyUsage=%s\n' "$3") 2>/dev/null
}
issue signer 2 codeSigning
issue tsa 30 critical,timeStamping
cat >tsa.cnf <<EOF
[tsa]
default_tsa = throw_away
[throw_away]
serial = $PWD/tsa.serial
signer_cert = $PWD/tsa.pem
certs = $PWD/tsa.pem
signer_key = $PWD/tsa.key
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha1, sha256
ess_cert_id_alg = sha256
EOF
echo 01 >tsa.serial

/usr/bin/python3 "$source_dir/tests/medium/timestamp_server.py" tsa.cnf >port.txt &
server=$!
trap 'kill "$server" 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -s port.txt ] && break; sleep 0.1; done
[ -s port.txt ] || fail "the timestamp server did not start"

sign() {
    LAUNCHER_SIGN_CERT=signer.pem LAUNCHER_SIGN_KEY=signer.key /usr/bin/python3 \
        "$source_dir/medium_builder/signing.py" sign --in "$build/launcher.exe" --out "$1.exe" --name Acme \
        --epoch "$(date +%s)" --workdir . >"$1.txt" 2>&1
}
LAUNCHER_SIGN_TIMESTAMP_URL=http://127.0.0.1:$(cat port.txt)/ sign stamped || fail "signing: $(cat stamped.txt)"
sign plain || fail "signing: $(cat plain.txt)"
# A server that does not answer: one line, and nothing signed.
if LAUNCHER_SIGN_TIMESTAMP_URL=http://127.0.0.1:1/ sign refused 2>/dev/null; then
    fail "signed with a timestamp server that does not answer"
fi
grep -qx "signing: the timestamp server http://127.0.0.1:1/ gave no timestamp: .*" refused.txt && [ ! -e refused.exe ] ||
    fail "a timestamp server that does not answer: $(cat refused.txt)"

after_end=$(( $(date -d "$(openssl x509 -in signer.pem -noout -enddate | cut -d= -f2)" +%s) + 86400 ))
verify() {
    osslsigncode verify -CAfile ca.pem -TSA-CAfile ca.pem -time "$after_end" -in "$1.exe" >"$1.verify" 2>&1
}
verify stamped || fail "a timestamped signature after the certificate's end: $(grep -i -e error -e fail stamped.verify)"
[ "$(grep -c "Timestamp Server Signature verification: ok" stamped.verify)" = 2 ] ||
    fail "expected both signatures (SHA-1 and SHA-256) timestamped: $(grep -i timestamp stamped.verify)"
if verify plain; then
    fail "a signature without a timestamp verified after the certificate's end"
fi
grep -q "certificate has expired" plain.verify || fail "expected \"certificate has expired\": $(cat plain.verify)"

echo "ok: both signatures timestamped by a local RFC 3161 server stay valid after the certificate's end; without, they expire; a silent server is one line"
