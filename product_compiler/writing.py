"""What the product compiler writes: the model, the generated sources and
resources, each written only when its bytes change."""
import json
import os
import re
import tempfile

from product_compiler.reading import CAPTION_KEYS, LANGUAGES, MESSAGE_KEYS, RELEASE_CODES
from product_compiler.buttons import places_picture
from product_compiler.tables import RESOURCE_IDS

def c_string(text):
    """A C++ UTF-16 string literal the compiler reads back as exactly this
    text: \\\\ and \\" escaped, every ? as \\? (so no ??! is a trigraph),
    control characters in octal (three digits, so none takes the next
    character in), all else beyond ASCII as \\u or \\U."""
    out = []
    for c in text:
        if c == "\\":
            out.append("\\\\")
        elif c == '"':
            out.append('\\"')
        elif c == "?":
            out.append("\\?")
        elif c == "\r":
            out.append("\\r")
        elif c == "\n":
            out.append('\\n"\n        u"')
        elif 32 <= ord(c) < 127:
            out.append(c)
        elif ord(c) < 32 or ord(c) == 127:
            out.append(f"\\{ord(c):03o}")
        elif ord(c) > 0xFFFF:
            out.append(f"\\U{ord(c):08X}")
        else:
            out.append(f"\\u{ord(c):04X}")
    return 'u"' + "".join(out) + '"'


def rc_string(text):
    """A resource-compiler string windres reads back as exactly this text
    (written in UTF-8 under #pragma code_page(65001)). windres runs the C
    preprocessor first: "" for a quote keeps every character inside a C
    string literal there (it ends one literal and starts the next), and ?
    is written \\077, so no ??! is a trigraph. A backslash starts an escape
    for windres: backslashes, line breaks and control characters are
    written as escapes (windres knows no \\?, so octal)."""
    out = []
    for c in text:
        if c == "\\":
            out.append("\\\\")
        elif c == '"':
            out.append('""')
        elif c == "\r":
            out.append("\\r")
        elif c == "\n":
            out.append("\\n")
        elif c == "?" or ord(c) < 32 or ord(c) == 127:
            out.append(f"\\{ord(c):03o}")
        else:
            out.append(c)
    return '"' + "".join(out) + '"'


def release_mask(admitted):
    mask = 0
    for release in admitted:
        mask |= 1 << RELEASE_CODES[release]
    return mask


def write_outputs(out, files):
    """Writes each file, touching only those whose bytes change."""
    for name, content in files.items():
        path = os.path.join(out, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if isinstance(content, str):
            content = content.encode("utf-8")
        try:
            with open(path, "rb") as f:
                if f.read() == content:
                    continue
        except FileNotFoundError:
            pass
        with tempfile.NamedTemporaryFile(dir=os.path.dirname(path), delete=False) as f:
            f.write(content)
        os.replace(f.name, path)



def generate(p, pictures, folder, fallback, medium):
    """fallback: the language shown where no other can be; the window is
    created with its captions. Picked when the launcher is built, that is
    the first language, whichever is built. medium: what the medium builder
    needs beyond the product's facts (the installer folder as staged, the
    signer, the dates)."""
    files = dict(pictures)
    if p["choose_language"] == "at_build":
        fallback = p["languages"][0]
    design = p["texts"][fallback]
    own = [b for b in p["buttons"] if b["action"] == "Open"]
    # Each language's line: its own, or the product's.
    lines = {l: p["texts"][l].get("version_line", p["version_line"]) for l in p["languages"]}
    facts = {
        "folder": os.path.abspath(folder),
        "name": p["name"], "company": p["company"], "version": p["version"],
        "version_numbers": p["version_numbers"], "comments": p["comments"],
        "copyright": p["copyright"], "description": p["description"],
        "version_line": p["version_line"], "volume_label": p["volume_label"],
        "autorun_label": p["autorun_label"], "installer": p["installer"],
        "installer_parts": p["installer_parts"],
        "installer_folder": "\\".join(p["installer_parts"][:-1]),
        "installer_x64": p["installer_x64"], "installer_x64_parts": p["installer_x64_parts"],
        "installer_arm64": p["installer_arm64"], "installer_arm64_parts": p["installer_arm64_parts"],
        "buttons": [dict(b, captions={l: p["texts"][l][b["name"]] for l in p["languages"]})
                    for b in p["buttons"]],
        "version_lines": lines,
        "launcher_name": p["launcher_name"],
        "working_directory": p["working_directory"], "windows": p["windows"],
        "languages": p["languages"],
        "choose_language": p["choose_language"], "fallback_language": fallback,
        "build_language": p["build_language"],
        "record_language": LANGUAGES[p["record_language"]][0],
        "language_ids": {l: LANGUAGES[l][0] for l in p["languages"]},
        "code_pages": {l: LANGUAGES[l][1] for l in p["languages"]},
        "texts": p["texts"],
        "medium": medium,
    }
    files["product.json"] = json.dumps(facts, ensure_ascii=False, indent=1) + "\n"
    # CMake is told only what shapes the build's targets, each a word from a
    # fixed list: no maker's text is ever parsed by CMake, make or a shell.
    words = {"PRODUCT_LANGUAGES": ";".join(p["languages"]),
             "PRODUCT_CHOOSE_LANGUAGE": p["choose_language"],
             "BUILD_LANGUAGE": p["build_language"],
             "PRODUCT_BUTTON_ICONS": str(len(own))}
    for value in words.values():
        assert re.fullmatch(r"[A-Za-z0-9_;-]+", value), value
    files["product.cmake"] = "# Generated from the product folder; do not edit.\n" + "".join(
        f"set({k} {v})\n" for k, v in words.items())
    # The icons of the maker's buttons, button<i>.ico, each made an .rc
    # fragment (button<i>_icon.rc) by the Windows build as setup.ico is.
    files["button_icons.rc"] = (
        "/* The pictures of the maker's own buttons, generated from the product folder; do not edit. */\n"
        + "".join(f"#define IDI_BUTTON{i} {RESOURCE_IDS['IDI_BUTTON_FIRST'] + i}\n"
                  f"#define IDI_BUTTON{i}_IMAGE {RESOURCE_IDS['IDI_BUTTON_IMAGE_FIRST'] + i}\n"
                  f"#include \"button{i}_icon.rc\"\n" for i in range(len(own))))
    files["places.png"] = places_picture(pictures["disc.bmp"], p["buttons"])

    language = p["record_language"]
    lang_id = LANGUAGES[language][0]
    numbers = ",".join(str(n) for n in p["version_numbers"])
    strings = [("Comments", p["comments"]), ("CompanyName", p["company"]),
               ("FileDescription", p["description"]), ("FileVersion", p["version"]),
               ("InternalName", "launcher"), ("LegalCopyright", p["copyright"]),
               ("OriginalFilename", p["launcher_name"]), ("ProductName", p["name"]),
               ("ProductVersion", p["version"])]
    files["version.rc"] = (
        "/* The version record, generated from the product folder; do not edit. */\n"
        "#pragma code_page(65001)\n"
        f"LANGUAGE {lang_id & 0x3FF}, {lang_id >> 10}\n"
        f"IDV_VERSION VERSIONINFO\nFILEVERSION {numbers}\nPRODUCTVERSION {numbers}\n"
        "FILEFLAGSMASK 0x3F\nFILEFLAGS 0\nFILEOS 4 /* VOS__WINDOWS32 */\n"
        "FILETYPE 1 /* VFT_APP */\nFILESUBTYPE 0\nBEGIN\n"
        "    BLOCK \"StringFileInfo\"\n    BEGIN\n"
        f"        BLOCK \"{lang_id:04X}04B0\"\n        BEGIN\n"
        + "".join(f"            VALUE \"{k}\", {rc_string(v)}\n" for k, v in strings)
        + "        END\n    END\n    BLOCK \"VarFileInfo\"\n    BEGIN\n"
        f"        VALUE \"Translation\", 0x{lang_id:04X}, 1200\n    END\nEND\n")

    identity = re.sub(r"[^A-Za-z0-9]", "", p["name"]) or "Product"
    files["launcher.manifest"] = MANIFEST.replace("@IDENTITY@", identity)

    mask = release_mask(p["windows"])
    # Built for one language, the launcher carries that language's line;
    # picking at start, the product's, and each language's own as a string.
    version_line = lines[p["build_language"]] if p["choose_language"] == "at_build" else p["version_line"]
    files["ProductFacts.cpp"] = (
        "// The product's facts, generated from its product folder; do not edit.\n"
        "#include \"launcher/Product.h\"\n#include \"ui/Layout.h\"\n\n"
        "namespace launcher {\n\n"
        f"const char16_t kProductInstaller[] = {c_string(p['installer'])};\n"
        "const WorkingFolder kProductWorkingFolder = WorkingFolder::"
        f"{'Installer' if p['working_directory'] == 'installer' else 'Launcher'};\n"
        f"const uint32_t kProductReleases = 0x{mask:04X}u;  // {' '.join(p['windows'])}\n\n"
        + product_buttons(p) +
        "}  // namespace launcher\n\nnamespace ui {\n\n"
        f"const char16_t kVersionLine[] = {c_string(version_line)};\n"
        f"const char16_t kForm1DesignTitle[] = {c_string(design['title'])};\n"
        f"const char16_t kCommand1DesignCaption[] = {c_string(design['setup'])};\n"
        f"const char16_t kCommand2DesignCaption[] = {c_string(design['exit'])};\n\n"
        "}  // namespace ui\n")
    if p["choose_language"] == "at_start":
        ids = ", ".join(f"0x{LANGUAGES[l][0]:04X}" for l in p["languages"])
        files["ProductFacts.cpp"] += (
            "\nnamespace launcher {\n\n"
            f"const LanguageId kProductLanguageIds[] = {{{ids}}};  // {' '.join(p['languages'])}\n"
            "const CarriedLanguages kProductLanguages = {kProductLanguageIds, "
            f"{len(p['languages'])}, 0x{LANGUAGES[fallback][0]:04X}}};  // falls back on {fallback}\n\n"
            "}  // namespace launcher\n")
        files["every-language/string_table.rc"] = every_language_table(p, fallback)
    for language in p["languages"]:
        t = p["texts"][language]
        files[f"{language}/string_table.rc"] = (
            f"/* The {language} captions, generated from the product folder; do not edit. */\n"
            "#pragma code_page(65001)\nSTRINGTABLE\nBEGIN\n"
            + "".join(f"    {i} {rc_string(t[k])}\n" for k, i in sorted(CAPTION_KEYS.items(), key=lambda x: x[1]))
            + "".join(f"    {b['caption_id']} {rc_string(t[b['name']])}\n" for b in own)
            + "END\n")
        files[f"{language}/ProductTexts.cpp"] = (
            f"// The {language} message texts, generated from the product folder; do not edit.\n"
            "#include \"launcher/Product.h\"\n\nnamespace launcher {\n\n"
            "const ProductTexts kProductTexts = {\n"
            f"    {c_string(t['refusal'])},\n    {c_string(t['quit_title'])},\n"
            f"    {c_string(t['quit'])},\n    {c_string(t['start_failure'])},\n"
            f"    {c_string(t.get('open_failure', ''))},\n}};\n\n"
            "}  // namespace launcher\n")
    return files


def product_buttons(p):
    """The window's buttons, left to right (the tab order), with the
    installers for x64 and ARM64."""
    rows = []
    for b in p["buttons"]:
        rows.append(f"    {{ButtonAction::{b['action']}, {c_string(b['target'])}, {c_string(b['parameters'])}, "
                    f"{'true' if b['closes'] else 'false'}, 0x{b['releases']:04X}u, {b['left']}, {b['top']}, "
                    f"{b['caption_id']}, {b['icon_id']}}},  // {b['name']}\n")
    return ("const ProductButton kProductButtons[] = {\n" + "".join(rows) + "};\n"
            f"const size_t kProductButtonCount = {len(rows)};\n"
            f"const char16_t kProductInstallerX64[] = {c_string(p['installer_x64'] or '')};\n"
            f"const char16_t kProductInstallerArm64[] = {c_string(p['installer_arm64'] or '')};\n\n")


def every_language_table(p, fallback):
    """Each language's block, captions and message texts, tagged with its
    language id; the fallback's block again as the neutral one."""
    own = [b for b in p["buttons"] if b["action"] == "Open"]

    def block(language, tag, comment):
        texts = p["texts"][language]
        entries = list(MESSAGE_KEYS.items()) + list(CAPTION_KEYS.items())
        if own:
            entries += [("open_failure", RESOURCE_IDS["IDS_OPEN_FAILURE"])]
            entries += [(b["name"], b["caption_id"]) for b in own]
        if "version_line" in texts:
            entries += [("version_line", RESOURCE_IDS["IDS_VERSION_LINE"])]
        return (f"LANGUAGE {tag & 0x3FF}, {tag >> 10} /* {comment} */\nSTRINGTABLE\nBEGIN\n"
                + "".join(f"    {i} {rc_string(texts[k])}\n" for k, i in sorted(entries, key=lambda x: x[1]))
                + "END\n\n")
    return ("/* Every language's texts, generated from the product folder; do not edit.\n"
            "   The launcher picks one block when it starts, by its language id. */\n"
            "#pragma code_page(65001)\n"
            + block(fallback, 0x0800, f"neutral: {fallback}, the fallback")
            + "".join(block(l, LANGUAGES[l][0], l) for l in p["languages"]))


MANIFEST = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <assemblyIdentity type="win32" name="@IDENTITY@.Launcher" version="1.0.0.0" processorArchitecture="X86"/>
  <trustInfo xmlns="urn:schemas-microsoft-com:asm.v2">
    <security>
      <requestedPrivileges>
        <requestedExecutionLevel level="asInvoker" uiAccess="false"/>
      </requestedPrivileges>
    </security>
  </trustInfo>
  <compatibility xmlns="urn:schemas-microsoft-com:compatibility.v1">
    <application>
      <supportedOS Id="{e2011457-1546-43c5-a5fe-008deee3d3f0}"/>
      <supportedOS Id="{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"/>
      <supportedOS Id="{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"/>
      <supportedOS Id="{1f676c76-80e1-4239-95bb-83d0f6d0da78}"/>
      <supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>
    </application>
  </compatibility>
</assembly>
"""

