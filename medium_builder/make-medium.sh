#!/bin/bash
# Makes the installation medium: the tree (launcher.exe and autorun.inf at
# the root, the installer folder beside them) and its ISO 9660 image with a
# Joliet tree, byte for byte the same for the same sources, whatever the
# folder, the clock or the umask. The Windows build runs it after every
# build (cmake/Medium.cmake).
#
#   make-medium.sh --launcher <launcher.exe> --installer-dir <folder>
#                  --installer <path the launcher starts> --product <name>
#                  [--volume <volume label>] --label <autorun label>
#                  --sources <source tree> --tree <medium folder>
#                  --image <file.iso>
#
# --installer is the file the launcher starts, from the medium's root, with
# backslashes, as the product folder gives it: 'Acme Tools\Bin\setup.exe'.
# The installer folder goes to its innermost folder, and must hold its last
# name as a plain file, spelt exactly so.
#
# Only the maker's plain files and folders go onto the disc, under names
# Windows can open: product_compiler/installer_folder.py walks the folder
# once, refuses links to outside the folder or to nothing, pipes, devices,
# names Windows or Joliet cannot carry and any copy of a signing secret,
# each on a line of its own, and copies what it checked into a staging
# folder beside the tree (.<tree>.installer, kept for the next run, which
# copies only what changed); the medium takes only that copy.
# Version-control folders, .DS_Store, Thumbs.db and editor backups (name~)
# are left out and listed. Links inside the folder are copied as the files
# they point to.
#
# The volume label and the product name (the image's preparer and
# application fields) are checked against what the image holds before
# xorriso runs, and xorriso is told the character set, so the image is the
# same whatever the build machine's locale.
#
# Signing launcher.exe on its way into the tree (medium_builder/signing.py),
# with a PEM certificate and key (LAUNCHER_SIGN_CERT, LAUNCHER_SIGN_KEY), a
# PKCS#12 file (LAUNCHER_SIGN_PFX) or a key on a token
# (LAUNCHER_SIGN_PKCS11_MODULE, LAUNCHER_SIGN_KEY=pkcs11:...): first with
# SHA-1, the only digest XP checks, then with a nested SHA-256 signature,
# which later Windows prefer. A passphrase or PIN is read from the file
# LAUNCHER_SIGN_PASS_FILE names, never passed on a command line.
# LAUNCHER_SIGN_TIMESTAMP_URL names an RFC 3161 server that timestamps both
# signatures, so they stay valid after the certificate expires. None of
# these files may lie inside the installer folder.
#
# All or nothing: the tree and the image are made in a staging folder
# beside the tree and replace the previous ones together at the end; a
# failed run leaves the previous medium and image as they were.
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
        --installer) installer=$2 ;;
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
volume=${volume:-${product:-}}
for name in launcher installer_dir installer product label sources tree image; do
    [ -n "${!name:-}" ] || fail "--${name//_/-} is missing"
done
scripts=$(dirname "$(realpath "$0")")

# --- what goes on the medium, checked before anything is written -----------
[ -f "$launcher" ] || fail "no launcher at $launcher"
[ -d "$installer_dir" ] || fail "the installer folder $installer_dir does not exist"
installer_real=$(realpath "$installer_dir")
inside_installer_dir() {
    case "$(realpath -m -- "$1")/" in "$installer_real"/*) return 0 ;; esac
    return 1
}
for name in tree image; do
    ! inside_installer_dir "${!name}" ||
        fail "--$name ${!name} lies inside the installer folder $installer_dir"
done
# Windows reads autorun.inf in the ANSI code page and shows at most 32
# characters of the label; plain ASCII reads the same in every code page.
if [ ${#label} -gt 32 ] || ! [[ $label =~ ^[\ -~]+$ ]]; then
    fail "the label \"$label\" must be 1 to 32 printable ASCII characters"
fi
# The label and the product name as the image holds them, and xorriso
# pinned to UTF-8 and one locale (product_compiler/names.py).
/usr/bin/python3 - "$scripts/.." "$volume" "$product" <<'EOF' || exit 1
import sys
sys.path.insert(0, sys.argv[1])
from product_compiler.names import field_problems, label_problems
problems = [f"--volume {line}" for line in label_problems(sys.argv[2])] + \
    [f"--product {line}" for line in field_problems(sys.argv[3], "preparer and application")]
for line in problems[:1]:
    print(f"make-medium: {line}", file=sys.stderr)
sys.exit(1 if problems else 0)
EOF
mapfile -t xorriso < <(/usr/bin/python3 -c 'import sys; sys.path.insert(0, sys.argv[1])
from product_compiler.names import XORRISO_ARGS, XORRISO_ENV
print("\n".join(["env", *(f"{k}={v}" for k, v in XORRISO_ENV.items()), "xorriso", "-no_rc", *XORRISO_ARGS]))' "$scripts/..")
[ ${#xorriso[@]} -gt 3 ] || fail "cannot read product_compiler/names.py"
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

# --- what to sign with ------------------------------------------------------
# signing.py checks the LAUNCHER_SIGN_ variables (files it cannot read, a
# passphrase or PIN that does not open the key, a certificate that is not
# the key's, a token it cannot find) before anything is written, and signs
# below. A key on a token is a pkcs11: URI, not a file.
signing=(/usr/bin/python3 "$scripts/signing.py")
signed=${LAUNCHER_SIGN_PFX:-}${LAUNCHER_SIGN_CERT:-}${LAUNCHER_SIGN_KEY:-}
for name in LAUNCHER_SIGN_CERT LAUNCHER_SIGN_KEY LAUNCHER_SIGN_PFX LAUNCHER_SIGN_PASS_FILE; do
    case ${!name:-pkcs11:} in pkcs11:*) continue ;; esac
    ! inside_installer_dir "${!name}" ||
        fail "$name: ${!name} lies inside the installer folder, which goes onto the disc"
done
checked=$("${signing[@]}" check 2>&1 >/dev/null) || fail "${checked#signing: }"

# --- the installer folder, checked and staged -------------------------------
mkdir -p "$(dirname "$tree")" "$(dirname "$image")"
staged=$(dirname "$tree")/.$(basename "$tree").installer
secrets=()
for name in LAUNCHER_SIGN_KEY LAUNCHER_SIGN_PFX LAUNCHER_SIGN_PASS_FILE; do
    [ -z "${!name:-}" ] || secrets+=(--secret "$name=${!name}")
done
left_out=$(/usr/bin/python3 "$scripts/../product_compiler/installer_folder.py" --installer-dir "$installer_dir" \
           --installer "$installer" --staging "$staged" "${secrets[@]}") || exit 1
[ -z "$left_out" ] || sed 's/^/make-medium: /' <<<"$left_out"
# Where the installer folder goes: the folders of --installer.
installer_folder=${installer%\\*}
installer_folder=${installer_folder//\\//}

# --- the staging folder: the new tree and image, in place only when whole ----
staging=$(mktemp -d "$(dirname "$tree")/.$(basename "$tree").staging.XXXXXX")
placed=
cleanup() {
    # Put the previous tree and image back unless the new ones are both in place.
    if [ "$placed" != both ]; then
        if [ -n "$placed" ]; then rm -rf "$tree"; fi
        if [ -e "$staging/previous-tree" ]; then mv -T "$staging/previous-tree" "$tree"; fi
        if [ -e "$staging/previous-image" ]; then mv -T "$staging/previous-image" "$image"; fi
    fi
    rm -rf "$staging"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP
new_tree=$staging/tree
new_image=$staging/image.iso
mkdir "$new_tree"

if [ -n "$signed" ]; then
    # A fixed signing time: the same key signs the same bytes every time
    # (unless a timestamp server adds its own time).
    said=$("${signing[@]}" sign --in "$launcher" --out "$new_tree/$launcher_name" --name "$product" \
           --epoch "$epoch" --workdir "$staging" 2>"$staging/sign.err") ||
        fail "$(sed 's/^signing: //' "$staging/sign.err")"
    sed 's/^signing: /make-medium: /' <<<"$said"
else
    cp "$launcher" "$new_tree/$launcher_name"
fi

printf '[autorun]\r\nopen=%s\r\nicon=%s,0\r\nlabel=%s\r\n' \
    "$launcher_name" "$launcher_name" "$label" >"$new_tree/autorun.inf"
mkdir -p "$new_tree/$installer_folder"
cp -a "$staged/." "$new_tree/$installer_folder/"  # hard links stay links: one copy of the bytes

# The same modes and times whatever the umask and the clock: the maker's
# own file dates give way to the epoch too, or the image would change with
# every checkout. xorriso takes the file times from the tree and every
# other date from SOURCE_DATE_EPOCH.
chmod -R u=rwX,go=rX "$new_tree"
find "$new_tree" -exec touch -h -d "@$epoch" {} +

# --- the image -------------------------------------------------------------
# -r: Rock Ridge with owner root and read permissions for all; -J: Joliet,
# the long mixed-case names Windows 98, NT 4.0, 2000 and XP show. The
# preparer and application fields are ours, so no xorriso version shows.
SOURCE_DATE_EPOCH=$epoch "${xorriso[@]}" -as mkisofs -r -J -V "$volume" -p "$product" -A "$product" \
    -o "$new_image" "$new_tree" >"$staging/xorriso.log" 2>&1 ||
    fail "xorriso failed: $(grep -m1 -e FAILURE -e SORRY "$staging/xorriso.log" || tail -1 "$staging/xorriso.log")"

# Every name must come through the Joliet tree unchanged, or Setup.exe
# could be missing; installer_folder.py refused what would not.
wanted=$(cd "$new_tree" && find . -mindepth 1 | cut -c2- | LC_ALL=C sort)
written=$("${xorriso[@]}" -read_fs norock -ecma119_map unmapped -indev "$new_image" \
          -sh_style_result on -find / 2>/dev/null | grep -vx / | LC_ALL=C sort)
if [ "$wanted" != "$written" ]; then
    fail "the Joliet tree does not carry these names as they are:" \
         "$(diff <(echo "$wanted") <(echo "$written") | grep '^<' | cut -c3- | paste -sd' ')"
fi

files=$(find "$new_tree" -type f | wc -l)
bytes=$(find "$new_tree" -type f -printf '%s\n' | awk '{ n += $1 } END { print n + 0 }')

# --- both in place, or neither ----------------------------------------------
if [ -e "$tree" ] || [ -L "$tree" ]; then mv -T "$tree" "$staging/previous-tree"; fi
if [ -e "$image" ] || [ -L "$image" ]; then mv -T "$image" "$staging/previous-image"; fi
placed=tree
mv -T "$new_tree" "$tree"
mv -T "$new_image" "$image"
placed=both

echo "make-medium: on the disc: $files files, $bytes bytes, in $tree;" \
     "image $image, $(stat -c %s "$image") bytes, label \"$label\""
