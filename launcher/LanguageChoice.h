// Which language a launcher that carries several speaks: the user's own
// where the system can show it, the product's fallback elsewhere.
//
// Resource loaders each pick a language their own way (95, NT 4.0, 2000 and
// XP differ, and Wine takes the lowest id), so the launcher never leaves the
// choice to them: it picks one language here and reads that one block.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace launcher {

// A Windows language id (LANGID): the primary language in the low 10 bits,
// the sublanguage (the country or script) above them.
using LanguageId = uint16_t;

constexpr LanguageId PrimaryLanguage(LanguageId id)
{
    return static_cast<LanguageId>(id & 0x3FF);
}

// The languages a product carries, in the maker's order, and the one shown
// where none of the others is chosen (one of them).
struct CarriedLanguages {
    const LanguageId* ids;
    size_t count;
    LanguageId fallback;
};

// Whether every text of a carried language comes back unchanged through the
// system's ANSI code page: a language whose texts would not (Chinese on a
// Western system, German umlauts on a Cyrillic one) cannot be shown there.
class TextCheck {
public:
    virtual bool RoundTrips(LanguageId language) = 0;

protected:
    ~TextCheck() = default;
};

// The language to speak to a user whose interface is in userInterface:
//  1. a carried language that is exactly it;
//  2. else one of its primary language (de-AT finds de-DE), the first in
//     the maker's order, though never Traditional Chinese for Simplified
//     or the reverse;
//     in both, a language counts only if its texts round-trip;
//  3. else the fallback.
LanguageId ChooseLanguage(LanguageId userInterface, const CarriedLanguages& carried,
                          TextCheck& check);

}  // namespace launcher
