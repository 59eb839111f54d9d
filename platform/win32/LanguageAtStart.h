// For a product that picks its language when the launcher starts: the
// user's interface language as each Windows tells it, the choice, and the
// string table read in the language chosen, from that language's own block.
#pragma once

#include <windows.h>

#include "launcher/LanguageChoice.h"
#include "launcher/Platform.h"
#include "launcher/Product.h"
#include "platform/win32/Win32Platform.h"

namespace platform {

// The language of the user's interface:
//  - 2000 and later: GetUserDefaultUILanguage, looked up at run time;
//  - 95, 98 and Me: HKCU\Control Panel\Desktop\ResourceLocale, the language
//    of the system's own resources;
//  - NT 4.0: HKU\.DEFAULT\Control Panel\International, Locale, the language
//    the system was installed in;
//  - failing those: GetUserDefaultLangID.
launcher::LanguageId UserInterfaceLanguage();

// The string table in one language, found by that exact language id:
// block 1 (ids 0 to 15, the texts) and block 2 (16 to 31, the captions of
// the maker's own buttons).
class StringBlock {
public:
    StringBlock(HINSTANCE instance, launcher::LanguageId language)
        : instance_(instance), language_(language) {}

    // Entry id as stored. False if the block or the entry is missing or
    // empty, or the text does not fit.
    template <size_t N>
    bool Read(unsigned id, launcher::FixedText<N>& text) const
    {
        const char16_t* chars = nullptr;
        size_t length = 0;
        text.Clear();
        return Find(id, chars, length) && text.Assign(chars, length);
    }

private:
    bool Find(unsigned id, const char16_t*& chars, size_t& length) const;

    HINSTANCE instance_;
    launcher::LanguageId language_;
};

// The most of one message text the launcher reads (product_compiler/compile.py
// refuses longer ones).
constexpr size_t kMessageChars = 1023;

// The language chosen for this start, and its message texts.
class ChosenLanguage final : public launcher::TextCheck {
public:
    // The captions of the product's buttons must carry too.
    ChosenLanguage(HINSTANCE instance, const launcher::CarriedLanguages& carried,
                   const launcher::ProductButton* buttons, size_t buttonCount);
    ChosenLanguage(const ChosenLanguage&) = delete;
    ChosenLanguage& operator=(const ChosenLanguage&) = delete;

    launcher::LanguageId Id() const { return language_; }
    const launcher::ProductTexts& Texts() const { return texts_; }

    // Every text of the language's block, and every caption of the
    // product's buttons it has, can be handed to the ANSI functions of this
    // system.
    bool RoundTrips(launcher::LanguageId language) override;

private:
    HINSTANCE instance_;
    const launcher::ProductButton* buttons_;
    size_t buttonCount_;
    launcher::LanguageId language_;
    launcher::FixedText<kMessageChars> messages_[5];
    launcher::ProductTexts texts_;
};

// The Windows platform with its string table read in the chosen language.
class ChosenLanguagePlatform final : public launcher::Platform {
public:
    ChosenLanguagePlatform(Win32Platform& windows, HINSTANCE instance, launcher::LanguageId language)
        : windows_(windows), block_(instance, language) {}

    bool LookUpString(unsigned id, launcher::CaptionText& text) override
    {
        return block_.Read(id, text);
    }

    int ShowMessageBox(const char16_t* text, const char16_t* title, unsigned style) override
    {
        return windows_.ShowMessageBox(text, title, style);
    }
    bool ApplicationFolder(launcher::PathText& folder) override
    {
        return windows_.ApplicationFolder(folder);
    }
    void SetCaption(launcher::Control control, const char16_t* text) override
    {
        windows_.SetCaption(control, text);
    }
    void GetCaption(launcher::Control control, launcher::CaptionText& text) override
    {
        windows_.GetCaption(control, text);
    }
    void CloseForm() override { windows_.CloseForm(); }
    void Terminate() override { windows_.Terminate(); }
    bool GetVersionExA(launcher::OsVersionInfoA& info) override
    {
        return windows_.GetVersionExA(info);
    }
    intptr_t ShellExecuteA(void* owner, const char16_t* verb, const char16_t* file,
                           const char16_t* parameters, const char16_t* directory,
                           int show) override
    {
        return windows_.ShellExecuteA(owner, verb, file, parameters, directory, show);
    }
    void ReadMachine(launcher::MachineAnswers& answers) override { windows_.ReadMachine(answers); }

private:
    Win32Platform& windows_;
    StringBlock block_;
};

}  // namespace platform
