#include "ui/PalettePolicy.h"

namespace ui {

PaletteSteps PalettePolicy::OnQueryNewPalette() const
{
    if (!hasPalette_)
        return PaletteSteps{false, false, false};
    return PaletteSteps{true, true, true};
}

PaletteSteps PalettePolicy::OnPaletteChanged(bool byThisWindow) const
{
    if (!hasPalette_ || byThisWindow)
        return PaletteSteps{false, false, false};
    return PaletteSteps{true, true, false};
}

}  // namespace ui
