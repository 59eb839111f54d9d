// The palette messages as Windows sends them: a realization that changes
// the hardware palette announces WM_PALETTECHANGED to every top-level
// window, the one that realized included, while that one is still inside
// RealizePalette. Form1 here carries the steps out as Form1Window does.
#include <gtest/gtest.h>

#include "ui/PalettePolicy.h"

namespace {

struct Form1 {
    ui::PalettePolicy policy{true};
    int realizations = 0;
    int repaints = 0;
    int nested = 0;

    bool CarryOut(const ui::PaletteSteps& steps)
    {
        if (steps.realize) {
            ++realizations;
            // Its realization changes the hardware palette: Windows tells
            // every window, Form1 first, before RealizePalette returns.
            if (++nested < 10)
                CarryOut(policy.OnPaletteChanged(true));
            --nested;
        }
        repaints += steps.repaint;
        return steps.result;
    }
};

TEST(PalettePolicy, RealizesOnActivationAndOnceAfterAnotherWindowsChange)
{
    Form1 form;
    EXPECT_TRUE(form.CarryOut(form.policy.OnQueryNewPalette()));
    EXPECT_EQ(form.realizations, 1) << "once on activation; its own change must not realize it again";
    EXPECT_EQ(form.repaints, 1);

    // Another program realized its palette: Form1 maps its colours again
    // and repaints once; what that realization announces changes nothing.
    EXPECT_FALSE(form.CarryOut(form.policy.OnPaletteChanged(false)));
    EXPECT_EQ(form.realizations, 2);
    EXPECT_EQ(form.repaints, 2);
}

TEST(PalettePolicy, WithoutAPaletteTheMessagesChangeNothing)
{
    ui::PalettePolicy policy(false);
    for (ui::PaletteSteps steps : {policy.OnQueryNewPalette(), policy.OnPaletteChanged(false)})
        EXPECT_FALSE(steps.realize || steps.repaint || steps.result);
}

}  // namespace
