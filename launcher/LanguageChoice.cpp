#include "launcher/LanguageChoice.h"

namespace launcher {

namespace {

constexpr LanguageId kChinese = 0x04;

enum class ChineseScript { Unknown, Simplified, Traditional };

// Chinese is one primary language written in two scripts: a reader of one
// cannot be expected to read the other.
ChineseScript ScriptOf(LanguageId id)
{
    switch (id >> 10) {
    case 0x00:  // zh-Hans
    case 0x02:  // zh-CN
    case 0x04:  // zh-SG
        return ChineseScript::Simplified;
    case 0x01:  // zh-TW
    case 0x03:  // zh-HK
    case 0x05:  // zh-MO
    case 0x1F:  // zh-Hant
        return ChineseScript::Traditional;
    default:
        return ChineseScript::Unknown;
    }
}

bool SamePrimaryLanguage(LanguageId a, LanguageId b)
{
    if (PrimaryLanguage(a) != PrimaryLanguage(b))
        return false;
    if (PrimaryLanguage(a) != kChinese)
        return true;
    return ScriptOf(a) != ChineseScript::Unknown && ScriptOf(a) == ScriptOf(b);
}

}  // namespace

LanguageId ChooseLanguage(LanguageId userInterface, const CarriedLanguages& carried,
                          TextCheck& check)
{
    for (size_t i = 0; i < carried.count; ++i) {
        if (carried.ids[i] == userInterface && check.RoundTrips(carried.ids[i]))
            return carried.ids[i];
    }
    for (size_t i = 0; i < carried.count; ++i) {
        if (carried.ids[i] != userInterface && SamePrimaryLanguage(carried.ids[i], userInterface) &&
            check.RoundTrips(carried.ids[i]))
            return carried.ids[i];
    }
    return carried.fallback;
}

}  // namespace launcher
