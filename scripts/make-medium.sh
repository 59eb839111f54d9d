#!/bin/bash
# Makes the installation medium: the tree (launcher.exe and autorun.inf at
# the root, the installer folder beside them) and its ISO 9660 image with a
# Joliet tree, byte for byte the same for the same sources, whatever the
# folder, the clock or the umask. The Windows build runs it after every
# build (cmake/Medium.cmake).
#
#   make-medium.sh --launcher <launcher.exe> --installer-dir <folder>
#                  --installer <path on the medium> --product <name>
#                  --volume <volume label> --label <autorun label>
#                  --sources <source tree> --tree <medium folder>
#                  --image <file.iso>
#
# --installer is the file the launcher starts, relative to the medium's root,
# its parts joined by / or \ (Tavrinex/Setup.exe). The installer folder is
# copied as it is into that path's folder and must hold the file. With
# LAUNCHER_SIGN_CERT and LAUNCHER_SIGN_KEY naming a PEM certificate and its
# private key, launcher.exe is signed on its way into the tree: first with
# SHA-1, the only digest XP checks, then with a nested SHA-256 signature,
# which later Windows prefer.
#
# All dates (file times, image dates, signing time) are one epoch:
# SOURCE_DATE_EPOCH if set, else the time of the sources' last commit.
set -euo pipefail

fail() {
    echo "make-medium: $*" >&2
    exit 1
}

while [ $# -gt 0 ]; do
    [ $# -ge 2 ] || fail "$1 needs a value"
    case $1 in
        --launcher) launcher=$2 ;;
        --installer-dir) installer_dir=$2 ;;
        --installer) installer=${2//\\//} ;;
        --product) product=$2 ;;
        --volume) volume=$2 ;;
        --label) label=$2 ;;
        --sources) sources=$2 ;;
        --tree) tree=$2 ;;
        --image) image=$2 ;;
        *) fail "unknown argument $1" ;;
    esac
    shift 2
done
for name in launcher installer_dir installer product volume label sources tree image; do
    [ -n "${!name:-}" ] || fail "--${name//_/-} is missing"
done

# --- what goes on the medium, checked before anything is written -----------
[ -f "$launcher" ] || fail "no launcher at $launcher"
[ -d "$installer_dir" ] || fail "the installer folder $installer_dir does not exist"
folder=${installer%/*}
installer_file=${installer##*/}
[ "$folder" != "$installer" ] || fail "--installer $installer has no folder"
if [ ! -f "$installer_dir/$installer_file" ]; then
    fail "the installer folder $installer_dir holds no $installer_file, which the launcher starts"
fi
# Windows reads autorun.inf in the ANSI code page and shows at most 32
# characters of the label; plain ASCII reads the same in every code page.
if [ ${#label} -gt 32 ] || ! [[ $label =~ ^[\ -~]+$ ]]; then
    fail "the label \"$label\" must be 1 to 32 printable ASCII characters"
fi
# Windows from Vista on asks for administrator rights before it starts a
# program whose name holds "setup", "install", "update" or "patch"; the
# launcher's name holds none of them, so it starts without.
launcher_name=launcher.exe

if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
    epoch=$SOURCE_DATE_EPOCH
elif top=$(git -C "$sources" rev-parse --show-toplevel 2>/dev/null) && [ "$top" -ef "$sources" ]; then
    epoch=$(git -C "$sources" log -1 --format=%ct)
else
    # Sources outside git (an unpacked copy): a fixed date, still reproducible.
    epoch=315532800  # 1980-01-01
fi
[[ $epoch =~ ^[0-9]+$ ]] || fail "SOURCE_DATE_EPOCH must be a number of seconds, not \"$epoch\""

# --- the tree --------------------------------------------------------------
# Whatever an earlier build left goes first: a failed build leaves no medium.
stage=$tree.new
new_image=$image.new
rm -rf "$stage" "$tree" "$new_image" "$image"
mkdir -p "$stage/$folder"

if [ -n "${LAUNCHER_SIGN_CERT:-}${LAUNCHER_SIGN_KEY:-}" ]; then
    [ -n "${LAUNCHER_SIGN_CERT:-}" ] && [ -n "${LAUNCHER_SIGN_KEY:-}" ] ||
        fail "signing needs both LAUNCHER_SIGN_CERT (certificate) and LAUNCHER_SIGN_KEY (its key)"
    [ -r "$LAUNCHER_SIGN_CERT" ] || fail "cannot read the certificate $LAUNCHER_SIGN_CERT"
    [ -r "$LAUNCHER_SIGN_KEY" ] || fail "cannot read the key $LAUNCHER_SIGN_KEY"
    # A fixed signing time: the same key signs the same bytes every time.
    sign=(osslsigncode sign -certs "$LAUNCHER_SIGN_CERT" -key "$LAUNCHER_SIGN_KEY"
          -n "$product" -time "$epoch")
    "${sign[@]}" -h sha1 -in "$launcher" -out "$stage/launcher.sha1" >"$stage/sign.log" 2>&1 &&
        "${sign[@]}" -nest -h sha256 -in "$stage/launcher.sha1" -out "$stage/$launcher_name" \
            >>"$stage/sign.log" 2>&1 ||
        fail "signing failed: $(cat "$stage/sign.log")"
    rm "$stage/launcher.sha1" "$stage/sign.log"
    echo "make-medium: $launcher_name signed (SHA-1, nested SHA-256) with $LAUNCHER_SIGN_CERT"
else
    cp "$launcher" "$stage/$launcher_name"
fi

printf '[autorun]\r\nopen=%s\r\nicon=%s,0\r\nlabel=%s\r\n' \
    "$launcher_name" "$launcher_name" "$label" >"$stage/autorun.inf"
# The maker's folder as it is; links are followed, since Joliet has none.
cp -RL "$installer_dir/." "$stage/$folder/"

mv "$stage" "$tree"
# The same modes and times whatever the umask and the clock; xorriso takes
# the file times from the tree and every other date from SOURCE_DATE_EPOCH.
chmod -R u=rwX,go=rX "$tree"
find "$tree" -exec touch -h -d "@$epoch" {} +

# --- the image -------------------------------------------------------------
# -r: Rock Ridge with owner root and read permissions for all; -J: Joliet,
# the long mixed-case names Windows 98, NT 4.0, 2000 and XP show.
SOURCE_DATE_EPOCH=$epoch xorriso -no_rc -as mkisofs -r -J -V "$volume" -o "$new_image" "$tree" \
    >"$new_image.log" 2>&1 || fail "xorriso failed: $(cat "$new_image.log")"
rm "$new_image.log"

# Joliet shortens names past 64 characters and replaces some characters:
# every name must come through unchanged, or Setup.exe could be missing.
wanted=$(cd "$tree" && find . -mindepth 1 | cut -c2- | LC_ALL=C sort)
written=$(xorriso -no_rc -read_fs norock -ecma119_map unmapped -indev "$new_image" \
          -sh_style_result on -find / 2>/dev/null | grep -vx / | LC_ALL=C sort)
if [ "$wanted" != "$written" ]; then
    rm -f "$new_image"
    fail "names the Joliet tree cannot carry (at most 64 characters, none of * / : ; ? \\):
$(diff <(echo "$wanted") <(echo "$written") | grep '^<' | cut -c3-)"
fi

mv "$new_image" "$image"
echo "make-medium: $tree and $image ($(stat -c %s "$image") bytes, label \"$label\")"
