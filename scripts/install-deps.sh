#!/bin/bash
# Installs what building, running and testing the launcher need, on Debian 12.
# Idempotent: packages already installed are skipped, so a rerun is quick.
set -euo pipefail

PACKAGES=(
    cmake make g++ libgtest-dev                        # host build and unit tests
    g++-mingw-w64-i686-win32 binutils-mingw-w64-i686   # the 32-bit Windows build
    g++-mingw-w64-x86-64-win32                         # a 64-bit one, for machines that run no 32-bit code
    wine wine32:i386 wine64 fonts-wine                 # running it
    xvfb x11-utils xdotool imagemagick                 # a display, keys, screenshots
    fonts-liberation                                   # metric twin of Times New Roman
    fonts-wqy-zenhei                                   # CJK glyphs for the Chinese captions
    python3 python3-pefile icoutils                    # reading the executable back
    python3-pil                                        # a product's pictures
    locales git                                        # the locales below
    xorriso osslsigncode openssl                       # the disc image, signing it
    libengine-pkcs11-openssl opensc softhsm2           # signing with a key on a token; a test token
)

SUDO=
if [ "$(id -u)" -ne 0 ]; then
    SUDO=sudo
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi

missing=()
for package in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Wine takes its ANSI code page (LC_CTYPE) and the user's interface language
# (LC_MESSAGES) from the locale. The Wine tests try each of a product's
# languages on a system of its own (and Japanese, code page 932, where a
# trail byte can equal '\', for every product): every locale the language
# table (launcher/Languages.def) names is made, once.
made=$(locale -a 2>/dev/null)
for locale in $(sed -n 's/^LANGUAGE("[^"]*", *0x[0-9A-Fa-f]*, *[0-9]*, *"\([^"]\+\)").*/\1/p' \
                    "$(dirname "$0")/../launcher/Languages.def"); do
    if ! grep -qx "$locale.utf8" <<<"$made"; then
        $SUDO localedef -i "$locale" -f UTF-8 "$locale.UTF-8" 2>/dev/null ||
            echo "install-deps: the locale $locale.UTF-8 cannot be made here" >&2
    fi
done
