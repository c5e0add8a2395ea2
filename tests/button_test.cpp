// Button: where a click or hover counts, and how the panel is drawn.
#include <gtest/gtest.h>

#include "common/button.hpp"
#include "fake/fake_engine.hpp"

namespace grappix {
namespace {

using test::FakeEngine;
using Args = std::vector<double>;

Button MenuButton() {
    Button b;
    b.InitColors();
    b.SetRect(400, 500, 800, 100);
    return b;
}

TEST(ButtonTest, EdgesAreInside) {
    // Guards against a click on the panel's edge being missed.
    Button b = MenuButton();
    EXPECT_TRUE(b.Contains(400, 500));
    EXPECT_TRUE(b.Contains(1200, 600));  // right and bottom edges
    EXPECT_TRUE(b.Contains(1200, 550));
    EXPECT_TRUE(b.Contains(800, 600));
    EXPECT_FALSE(b.Contains(399.999, 550));
    EXPECT_FALSE(b.Contains(1200.001, 550));
    EXPECT_FALSE(b.Contains(800, 499.999));
    EXPECT_FALSE(b.Contains(800, 600.001));
}

TEST(ButtonTest, DrawsFourBarsAndTheInside) {
    // Guards against a frame of the wrong thickness, or bars that leave gaps.
    FakeEngine fake;
    Button b = MenuButton();
    EXPECT_EQ(b.GetBorder(), 10.0);
    EXPECT_EQ(b.GetState(), ButtonState::Normal);
    b.Draw();
    auto rects = fake.Named("DrawRect");
    ASSERT_EQ(rects.size(), 5u);
    const Args n{0, 0, 1, 0.5};
    auto with = [](Args r, const Args& c) {
        r.insert(r.end(), c.begin(), c.end());
        return r;
    };
    EXPECT_EQ(rects[0].args, with({400, 500, 800, 10}, n));   // top
    EXPECT_EQ(rects[1].args, with({400, 500, 10, 100}, n));   // left
    EXPECT_EQ(rects[2].args, with({400, 590, 800, 10}, n));   // bottom
    EXPECT_EQ(rects[3].args, with({1190, 500, 10, 100}, n));  // right
    EXPECT_EQ(rects[4].args, with({410, 510, 780, 80}, n));   // inside
}

TEST(ButtonTest, HoverLightsTheInsideOnlyWhileTheMouseIsOver) {
    // Guards against a hover missed on the edge, or a panel that stays lit.
    FakeEngine fake;
    Button b = MenuButton();
    b.UpdateHover(1200, 600);
    EXPECT_EQ(b.GetState(), ButtonState::Hover);
    b.Draw();
    auto rects = fake.Named("DrawRect");
    EXPECT_EQ(rects[0].args[4], 0.0);  // the frame keeps the normal colour
    EXPECT_EQ(rects[4].args, (Args{410, 510, 780, 80, 0.3, 0.3, 1, 0.5}));

    fake.ClearCalls();
    b.UpdateHover(1201, 600);
    EXPECT_EQ(b.GetState(), ButtonState::Normal);
    b.Draw();
    EXPECT_EQ(fake.Named("DrawRect")[4].args, (Args{410, 510, 780, 80, 0, 0, 1, 0.5}));
}

TEST(ButtonTest, SetColorsTakesEffectAtTheNextDraw) {
    FakeEngine fake;
    Button b = MenuButton();
    b.UpdateHover(800, 550);
    b.SetColors(1, 0, 0, 0.25, 0, 1, 0, 0.75);
    b.Draw();
    auto rects = fake.Named("DrawRect");
    EXPECT_EQ(rects[3].args, (Args{1190, 500, 10, 100, 1, 0, 0, 0.25}));
    EXPECT_EQ(rects[4].args, (Args{410, 510, 780, 80, 0, 1, 0, 0.75}));
}

}  // namespace
}  // namespace grappix
