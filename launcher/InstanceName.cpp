#include "launcher/InstanceName.h"

#include <stdint.h>

namespace launcher {

namespace {

// Small letters and the capitals they fold to. A range of offsets moves
// every unit in it by delta; a range of pairs alternates capital, small
// (the first unit is a capital) and folds each small one to the unit
// before it.
struct FoldRange {
    char16_t first;
    char16_t last;
    int16_t delta;  // 0: a range of pairs
};

const FoldRange kFoldRanges[] = {
    {0x00E0, 0x00F6, -0x20}, {0x00F8, 0x00FE, -0x20}, {0x00FF, 0x00FF, 0x0079},   // Latin-1
    {0x0100, 0x012F, 0}, {0x0132, 0x0137, 0}, {0x0139, 0x0148, 0}, {0x014A, 0x0177, 0},
    {0x0179, 0x017E, 0},                                                           // Latin Extended-A
    {0x01CD, 0x01DC, 0}, {0x01DE, 0x01EF, 0}, {0x01F8, 0x021F, 0}, {0x0222, 0x0233, 0},
    {0x03AC, 0x03AC, -0x26}, {0x03AD, 0x03AF, -0x25}, {0x03B1, 0x03C1, -0x20},     // Greek
    {0x03C3, 0x03CB, -0x20}, {0x03CC, 0x03CC, -0x40}, {0x03CD, 0x03CE, -0x3F},
    {0x03E2, 0x03EF, 0},
    {0x0430, 0x044F, -0x20}, {0x0450, 0x045F, -0x50}, {0x0460, 0x0481, 0},        // Cyrillic
    {0x048A, 0x04BF, 0}, {0x04C1, 0x04CE, 0}, {0x04D0, 0x04FF, 0}, {0x0500, 0x052F, 0},
    {0x0561, 0x0586, -0x30},                                                       // Armenian
    {0x1E00, 0x1E95, 0}, {0x1EA0, 0x1EFF, 0},                                      // Latin Extended Additional
    {0x2170, 0x217F, -0x10}, {0x24D0, 0x24E9, -0x1A},                              // small Roman numerals, circled letters
    {0xFF41, 0xFF5A, -0x20},                                                       // full-width Latin
};

char16_t FoldCase(char16_t unit)
{
    if (unit < 0x80)
        return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - 0x20) : unit;
    for (const FoldRange& range : kFoldRanges) {
        if (unit < range.first || unit > range.last)
            continue;
        if (range.delta != 0)
            return static_cast<char16_t>(unit + range.delta);
        return (unit - range.first) % 2 != 0 ? static_cast<char16_t>(unit - 1) : unit;
    }
    return unit;
}

bool IsDriveLetter(char16_t unit)
{
    return (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z');
}

bool StartsWith(const char16_t* text, const char16_t* prefix)
{
    for (; *prefix != 0; ++text, ++prefix)
        if (*text != *prefix)
            return false;
    return true;
}

// The table of the byte-at-a-time CRC-32, made by the compiler: it sits in
// the read-only data, with nothing to run at start.
struct CrcTable {
    uint32_t entries[256];
};

constexpr CrcTable MakeCrcTable()
{
    CrcTable table = {};
    for (uint32_t byte = 0; byte < 256; ++byte) {
        uint32_t crc = byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1u) != 0 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
        table.entries[byte] = crc;
    }
    return table;
}

constexpr CrcTable kCrcTable = MakeCrcTable();

uint64_t HashByte(uint64_t hash, uint32_t byte)
{
    return (hash ^ (byte & 0xFFu)) * 1099511628211ull;
}

}  // namespace

uint32_t Crc32(uint32_t crc, const void* data, size_t size)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    crc = ~crc;
    for (size_t i = 0; i < size; ++i)
        crc = kCrcTable.entries[(crc ^ bytes[i]) & 0xFFu] ^ (crc >> 8);
    return ~crc;
}

void MakeInstanceName(const char16_t* modulePath, size_t length, const uint32_t* fileCrc,
                      char (&name)[kInstanceNameSize])
{
    uint64_t hash = 14695981039346656037ull;
    for (size_t i = 0; i < length; ++i) {
        char16_t unit = FoldCase(modulePath[i]);
        hash = HashByte(hash, unit);
        hash = HashByte(hash, static_cast<uint32_t>(unit >> 8));
    }
    if (fileCrc != nullptr) {
        for (int shift = 0; shift < 32; shift += 8)
            hash = HashByte(hash, *fileCrc >> shift);
    }

    const char prefix[] = "DiscLauncher-";
    size_t at = 0;
    for (; prefix[at] != 0; ++at)
        name[at] = prefix[at];
    for (int shift = 60; shift >= 0; shift -= 4)
        name[at++] = "0123456789ABCDEF"[(hash >> shift) & 0xF];
    name[at] = 0;
}

bool ReplaceSubstitutedDrive(PathText& path, const char16_t* target)
{
    if (path.Length() < 2 || !IsDriveLetter(path.Chars()[0]) || path.Chars()[1] != u':' ||
        !StartsWith(target, u"\\??\\"))
        return false;
    // What takes the place of "X:": "C:\Media", or "\\server\share\Media"
    // (written as its two pieces), without a trailing backslash, since the
    // rest of the path brings its own.
    const char16_t* folder = target + 4;
    const char16_t* lead = u"";
    if (StartsWith(folder, u"UNC\\")) {
        folder += 4;
        lead = u"\\\\";
    } else if (!IsDriveLetter(folder[0]) || folder[1] != u':') {
        return false;
    }
    size_t leadLength = TextLength(lead);
    size_t folderLength = TextLength(folder);
    while (folderLength > 0 && folder[folderLength - 1] == u'\\')
        --folderLength;

    const size_t rest = path.Length() - 2;
    const size_t start = leadLength + folderLength;
    if (start > PathText::kCapacity - rest)
        return false;
    char16_t* chars = path.Buffer();
    if (start > 2) {
        for (size_t i = rest; i > 0; --i)
            chars[start + i - 1] = chars[2 + i - 1];
    } else {
        for (size_t i = 0; i < rest; ++i)
            chars[start + i] = chars[2 + i];
    }
    for (size_t i = 0; i < leadLength; ++i)
        chars[i] = lead[i];
    for (size_t i = 0; i < folderLength; ++i)
        chars[leadLength + i] = folder[i];
    path.SetLength(start + rest);
    return true;
}

FirstStartStep ChooseFirstStartStep(const MarkedWindow& window)
{
    if (window.processEnded)
        return FirstStartStep::Pass;
    if (window.mark == kMarkEnding)
        return FirstStartStep::AwaitExit;
    bool shown = false;
    if (window.mark == kMarkOpen)
        shown = window.visible && window.box != OwnedBox::Hidden;
    else if (window.mark == kMarkAsking)
        shown = window.visible && window.box == OwnedBox::Shown;
    return shown ? FirstStartStep::BringForward : FirstStartStep::Pass;
}

}  // namespace launcher
