# Sourced by the signing tests: a fresh scratch folder to work in, nothing
# signing-related from the caller's environment, and fail().
# Usage: . signing_scratch.sh <scratch folder>
# Only what the test sets signs.
unset LAUNCHER_SIGN_CERT LAUNCHER_SIGN_KEY LAUNCHER_SIGN_PFX LAUNCHER_SIGN_PASS_FILE LAUNCHER_SIGN_TIMESTAMP_URL \
    LAUNCHER_SIGN_PKCS11_MODULE
rm -rf "$1"
mkdir -p "$1"
cd "$1"

fail() {
    echo "FAIL: $*"
    exit 1
}
