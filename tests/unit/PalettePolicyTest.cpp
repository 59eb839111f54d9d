// The palette messages, followed on a display in miniature: a hardware
// palette with a few free entries, windows that realize palettes into it,
// and WM_PALETTECHANGED sent to every window each time a realization
// changes an entry, while the sender is still inside its realization, as
// Windows does.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "ui/PalettePolicy.h"

namespace {

struct Window {
    std::string name;
    ui::PalettePolicy policy;
    std::vector<int> colors;  // its logical palette
    int realizations = 0;
    int repaints = 0;
};

class Display {
public:
    explicit Display(size_t freeEntries) : hardware_(freeEntries, -1) {}

    Window& Add(const std::string& name, std::vector<int> colors)
    {
        windows_.push_back(Window{name, ui::PalettePolicy(!colors.empty()), colors});
        return windows_.back();
    }

    // The window becomes the active one: WM_QUERYNEWPALETTE.
    bool Activate(Window& window)
    {
        active_ = &window;
        return CarryOut(window, window.policy.OnQueryNewPalette());
    }

    bool Holds(int color) const
    {
        return std::find(hardware_.begin(), hardware_.end(), color) != hardware_.end();
    }
    int messages = 0;

private:
    bool CarryOut(Window& window, const ui::PaletteSteps& steps)
    {
        if (steps.realize)
            Realize(window);
        if (steps.repaint)
            ++window.repaints;
        return steps.result;
    }

    // The active window's colours take the entries first; a background
    // palette gets only entries still free. A change is announced.
    void Realize(Window& window)
    {
        ++window.realizations;
        int changed = 0;
        if (&window == active_) {
            std::vector<int> taken;
            for (int c : window.colors)
                if (taken.size() < hardware_.size())
                    taken.push_back(c);
            for (int e : hardware_)
                if (e >= 0 && taken.size() < hardware_.size() &&
                    std::find(taken.begin(), taken.end(), e) == taken.end())
                    taken.push_back(e);
            taken.resize(hardware_.size(), -1);
            for (size_t i = 0; i < taken.size(); ++i)
                changed += hardware_[i] != taken[i];
            hardware_ = taken;
        } else {
            for (int c : window.colors) {
                auto free = std::find(hardware_.begin(), hardware_.end(), -1);
                if (!Holds(c) && free != hardware_.end()) {
                    *free = c;
                    ++changed;
                }
            }
        }
        if (changed == 0)
            return;
        for (Window& other : windows_) {
            ASSERT_LT(++messages, 100) << "WM_PALETTECHANGED without end, from " << window.name;
            CarryOut(other, other.policy.OnPaletteChanged(&other == &window));
        }
    }

    std::vector<int> hardware_;
    std::deque<Window> windows_;  // stays put as windows are added
    Window* active_ = nullptr;
};

TEST(PalettePolicy, RealizesOnActivationAndAgainOnceForEachChangeByAnotherWindow)
{
    // Room for one palette: the active window's.
    Display display(4);
    Window& form = display.Add("Form1", {1, 2, 3, 4});
    Window& other = display.Add("another palette program", {11, 12, 13, 14});

    // Activation: Form1's colours go into the hardware palette, it paints
    // with them and tells Windows it realized. Its own change is announced
    // to it as well, and changes nothing more.
    EXPECT_TRUE(display.Activate(form));
    EXPECT_EQ(form.realizations, 1);
    EXPECT_EQ(form.repaints, 1);
    for (int c : form.colors)
        EXPECT_TRUE(display.Holds(c)) << c;

    // The other program becomes active and takes entries: Form1 realizes
    // again in the background and repaints once.
    EXPECT_TRUE(display.Activate(other));
    EXPECT_EQ(form.realizations, 2);
    EXPECT_EQ(form.repaints, 2);
    EXPECT_TRUE(display.Holds(11) && display.Holds(14));

    // Back to Form1: one more realization and paint, and the messages end.
    EXPECT_TRUE(display.Activate(form));
    EXPECT_EQ(form.realizations, 3);
    EXPECT_EQ(form.repaints, 3);
    EXPECT_LT(display.messages, 20);
}

TEST(PalettePolicy, WithoutAPaletteTheMessagesChangeNothing)
{
    Display display(6);
    Window& form = display.Add("Form1 at true colour", {});
    Window& other = display.Add("another palette program", {11, 12});
    EXPECT_FALSE(display.Activate(form));
    EXPECT_TRUE(display.Activate(other));
    EXPECT_EQ(form.realizations, 0);
    EXPECT_EQ(form.repaints, 0);
}

}  // namespace
