#include "platform/win32/LanguageAtStart.h"

#include "platform/win32/AnsiText.h"
#include "platform/win32/BoundFunctions.h"
#include "resources/resource.h"

namespace platform {

namespace {

// Every text a language's block carries, in the order of ProductTexts for
// the first four.
const unsigned kMessageIds[4] = {IDS_REFUSAL, IDS_QUIT_TITLE, IDS_QUIT, IDS_START_FAILURE};
const unsigned kTextIds[7] = {IDS_REFUSAL, IDS_QUIT_TITLE, IDS_QUIT, IDS_START_FAILURE,
                              IDS_SETUP_CAPTION, IDS_EXIT_CAPTION, IDS_TITLE};

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A locale the registry keeps as hexadecimal text ("00000407"), reduced to
// its language id; 0 if the value is missing or not such a text. The
// registry functions are in advapi32, which the launcher does not import:
// it is loaded by its full path in the system folder, like the shell.
launcher::LanguageId RegistryLanguage(HKEY root, const char* path, const char* name)
{
    auto advapi = LoadSystemLibrary<Library::Advapi32>();
    if (advapi.handle == nullptr)
        return 0;
    auto open = Bound::RegOpenKeyExA(advapi);
    auto query = Bound::RegQueryValueExA(advapi);
    auto close = Bound::RegCloseKey(advapi);
    DWORD locale = 0;
    HKEY key = nullptr;
    if (open != nullptr && query != nullptr && close != nullptr &&
        open(root, path, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
        char value[16];
        DWORD type = 0;
        DWORD size = sizeof value;
        if (query(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS &&
            type == REG_SZ) {
            // Hexadecimal digits first; whatever follows them is not read.
            for (DWORD i = 0; i < size && i < 8 && HexDigit(value[i]) >= 0; ++i)
                locale = locale << 4 | static_cast<DWORD>(HexDigit(value[i]));
        }
        close(key);
    }
    FreeLibrary(advapi.handle);
    return static_cast<launcher::LanguageId>(locale & 0xFFFF);
}

}  // namespace

launcher::LanguageId UserInterfaceLanguage()
{
    auto uiLanguage = Bound::GetUserDefaultUILanguage();
    if (uiLanguage != nullptr)
        return uiLanguage();
    // 95, 98 and Me set the top bit of GetVersion; NT 4.0 does not.
    launcher::LanguageId language = (GetVersion() & 0x80000000u) != 0
        ? RegistryLanguage(HKEY_CURRENT_USER, "Control Panel\\Desktop\\ResourceLocale", "")
        : RegistryLanguage(HKEY_USERS, ".DEFAULT\\Control Panel\\International", "Locale");
    return language != 0 ? language : GetUserDefaultLangID();
}

StringBlock::StringBlock(HINSTANCE instance, launcher::LanguageId language)
{
    HRSRC found = FindResourceExA(instance, RT_STRING, MAKEINTRESOURCEA(1), language);
    if (found == nullptr)
        return;
    const WORD* block = static_cast<const WORD*>(LockResource(LoadResource(instance, found)));
    if (block == nullptr)
        return;
    begin_ = block;
    end_ = block + SizeofResource(instance, found) / sizeof(WORD);
}

bool StringBlock::Find(unsigned id, const char16_t*& chars, size_t& length) const
{
    // Sixteen counted strings in a row; an empty entry is a count of 0.
    if (begin_ == nullptr || id >= 16)
        return false;
    const WORD* entry = begin_;
    for (unsigned skip = id; skip > 0; --skip) {
        if (entry >= end_)
            return false;
        entry += 1 + *entry;
    }
    if (entry >= end_ || *entry == 0 || *entry > end_ - entry - 1)
        return false;
    chars = reinterpret_cast<const char16_t*>(entry + 1);
    length = *entry;
    return true;
}

ChosenLanguage::ChosenLanguage(HINSTANCE instance, const launcher::CarriedLanguages& carried)
    : instance_(instance)
{
    language_ = launcher::ChooseLanguage(UserInterfaceLanguage(), carried, *this);
    StringBlock block(instance_, language_);
    for (int i = 0; i < 4; ++i)
        block.Read(kMessageIds[i], messages_[i]);
    texts_ = {messages_[0].Chars(), messages_[1].Chars(), messages_[2].Chars(),
              messages_[3].Chars(), u""};
}

bool ChosenLanguage::RoundTrips(launcher::LanguageId language)
{
    StringBlock block(instance_, language);
    launcher::FixedText<kMessageChars> text;
    for (unsigned id : kTextIds) {
        if (!block.Read(id, text) || !AnsiText(text.Chars()).Ok())
            return false;
    }
    return true;
}

}  // namespace platform
