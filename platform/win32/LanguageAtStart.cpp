#include "platform/win32/LanguageAtStart.h"

#include "platform/win32/AnsiText.h"
#include "platform/win32/BoundFunctions.h"
#include "resources/resource.h"

namespace platform {

namespace {

// The message texts of a language's block, in the order of ProductTexts,
// and every text each block carries.
const unsigned kMessageIds[5] = {IDS_REFUSAL, IDS_QUIT_TITLE, IDS_QUIT, IDS_START_FAILURE, IDS_OPEN_FAILURE};
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

bool StringBlock::Find(unsigned id, const char16_t*& chars, size_t& length) const
{
    HRSRC block = FindResourceExA(instance_, RT_STRING, MAKEINTRESOURCEA(id / 16 + 1), language_);
    return StringEntry(instance_, block, id, chars, length);
}

ChosenLanguage::ChosenLanguage(HINSTANCE instance, const launcher::CarriedLanguages& carried,
                               const launcher::ProductButton* buttons, size_t buttonCount)
    : instance_(instance), buttons_(buttons), buttonCount_(buttons != nullptr ? buttonCount : 0)
{
    language_ = launcher::ChooseLanguage(UserInterfaceLanguage(), carried, *this);
    StringBlock block(instance_, language_);
    for (int i = 0; i < 5; ++i)
        block.Read(kMessageIds[i], messages_[i]);
    texts_ = {messages_[0].Chars(), messages_[1].Chars(), messages_[2].Chars(),
              messages_[3].Chars(), messages_[4].Chars()};
}

bool ChosenLanguage::RoundTrips(launcher::LanguageId language)
{
    StringBlock block(instance_, language);
    launcher::FixedText<kMessageChars> text;
    for (unsigned id : kTextIds) {
        if (!block.Read(id, text) || !AnsiText(text.Chars()).Ok())
            return false;
    }
    // A maker's caption the language lacks is not set (the button keeps
    // what it was created with); one it has must carry.
    for (size_t i = 0; i < buttonCount_; ++i) {
        if (block.Read(buttons_[i].captionId, text) && !AnsiText(text.Chars()).Ok())
            return false;
    }
    return true;
}

}  // namespace platform
