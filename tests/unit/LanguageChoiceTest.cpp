// The language a launcher carrying several picks when it starts.
#include <gtest/gtest.h>

#include <vector>

#include "launcher/LanguageChoice.h"

using launcher::LanguageId;

namespace {

constexpr LanguageId kEn = 0x0409, kDe = 0x0407, kDeAt = 0x0C07, kRu = 0x0419, kJa = 0x0411,
                     kZhTw = 0x0404, kZhCn = 0x0804, kZhSg = 0x1004;

// Which ANSI code pages carry a product's texts in each language unchanged:
// the English ones every code page, the others their own script's.
class CodePage final : public launcher::TextCheck {
public:
    explicit CodePage(unsigned number) : number_(number) {}

    bool RoundTrips(LanguageId language) override
    {
        switch (language) {
        case kEn: return true;
        case kDe: return number_ == 1252 || number_ == 1250;
        case kRu: return number_ == 1251;
        case kJa: return number_ == 932;
        case kZhTw: return number_ == 950;
        case kZhCn: return number_ == 936;
        default: return false;
        }
    }

private:
    unsigned number_;
};

TEST(LanguageChoice, UserInterfaceLanguageWhereTheSystemCanShowItElseTheFallback)
{
    // The fallback, English, is carried last: nothing may fall to the
    // first in the list.
    const struct {
        const char* what;
        LanguageId userInterface;
        unsigned codePage;
        std::vector<LanguageId> carried;
        LanguageId shown;
    } cases[] = {
        {"exact", kDe, 1252, {kJa, kDe, kEn}, kDe},
        {"primary: de-AT finds de-DE", kDeAt, 1252, {kJa, kDe, kEn}, kDe},
        {"primary: zh-SG finds zh-CN", kZhSg, 936, {kZhTw, kZhCn, kEn}, kZhCn},
        {"zh-TW is not given Simplified", kZhTw, 936, {kZhCn, kEn}, kEn},
        {"zh-CN is not given Traditional", kZhCn, 950, {kZhTw, kEn}, kEn},
        {"Chinese on code page 1252", kZhTw, 1252, {kZhTw, kEn}, kEn},
        {"German on code page 1251", kDe, 1251, {kDe, kRu, kEn}, kEn},
        {"an unknown id", 0x04FF, 1252, {kDe, kEn}, kEn},
        {"LOCALE_CUSTOM_UI_DEFAULT", 0x1400, 1252, {kDe, kEn}, kEn},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CodePage check(c.codePage);
        launcher::CarriedLanguages carried = {c.carried.data(), c.carried.size(), kEn};
        EXPECT_EQ(launcher::ChooseLanguage(c.userInterface, carried, check), c.shown);
    }
}

}  // namespace
