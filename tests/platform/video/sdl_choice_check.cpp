// What the SDL host picks for a desktop, from what SDL and the desktop say.
#include <gtest/gtest.h>

#include "platform/host/sdl/sdl_choice.h"

namespace {

using namespace sdlhost;

TEST(WindowSurface, SharedMemoryOnXAndTheRenderersSurfaceElsewhere) {
    EXPECT_EQ(ChooseWindowSurface("x11"), WindowSurface::SharedImage);
    EXPECT_EQ(ChooseWindowSurface("wayland"), WindowSurface::Renderer);
    EXPECT_EQ(ChooseWindowSurface("offscreen"), WindowSurface::Renderer);
    EXPECT_EQ(ChooseWindowSurface(nullptr), WindowSurface::Renderer);
}

TEST(XftDpi, IsFoundOnItsOwnLineAndRefusedWhenNoNumber) {
    EXPECT_EQ(XftDpi("Xft.antialias:\t1\nXft.dpi:\t192\nXft.hinting:\t1\n"), 192);
    EXPECT_EQ(XftDpi("Xft.dpi: 143.9"), 144);
    EXPECT_EQ(XftDpi("Xft.dpi:\n96\n"), 0) << "a value on the next line is not this one's";
    EXPECT_EQ(XftDpi("Xft.dpi:\tlarge\n"), 0);
    EXPECT_EQ(XftDpi("Xft.dpi:\t-96\n"), 0);
    EXPECT_EQ(XftDpi("MyXft.dpi:\t192\n"), 0);
    EXPECT_EQ(XftDpi(""), 0);
    EXPECT_EQ(XftDpi(nullptr), 0);
}

TEST(WindowScale, FollowsTheDesktopToTheNearestWholeMultipleThatFits) {
    auto scale = [](ScaleHints h, int w = 3840, int hgt = 2160) { return ChooseWindowScale(h, 640, 480, w, hgt); };
    EXPECT_EQ(scale({}), 1);
    EXPECT_EQ(scale({nullptr, 96, nullptr}), 1);
    EXPECT_EQ(scale({nullptr, 192, nullptr}), 2);
    EXPECT_EQ(scale({nullptr, 144, nullptr}), 2) << "150 % rounds up";
    EXPECT_EQ(scale({nullptr, 120, nullptr}), 1) << "125 % rounds down";
    EXPECT_EQ(scale({nullptr, 288, nullptr}), 3);
    EXPECT_EQ(scale({nullptr, 0, "2"}), 2) << "GDK_SCALE when X says nothing";
    EXPECT_EQ(scale({nullptr, 96, "2"}), 1) << "Xft.dpi first";
    EXPECT_EQ(scale({nullptr, 0, "2x"}), 1);
    // Made smaller until it fits: 1280x960 fits 1280x960, not 1279 wide.
    EXPECT_EQ(scale({nullptr, 288, nullptr}, 1280, 960), 2);
    EXPECT_EQ(scale({nullptr, 192, nullptr}, 1279, 1024), 1);
    EXPECT_EQ(scale({nullptr, 192, nullptr}, 1920, 959), 1);
}

TEST(WindowScale, ThePlayersTumblaScaleOverridesEverything) {
    auto scale = [](const char* asked) { return ChooseWindowScale({asked, 192, "3"}, 640, 480, 1024, 768); };
    EXPECT_EQ(scale("1"), 1);
    EXPECT_EQ(scale("3"), 3) << "even larger than the screen: the player said so";
    for (const char* nonsense : {"0", "-2", "", "2.5", "two", "100"}) EXPECT_EQ(scale(nonsense), 1) << nonsense;
}

void ExpectPlace(const PicturePlace& p, int x, int y, int w, int h, bool smooth) {
    EXPECT_EQ(p.x, x);
    EXPECT_EQ(p.y, y);
    EXPECT_EQ(p.width, w);
    EXPECT_EQ(p.height, h);
    EXPECT_EQ(p.smooth, smooth);
}

TEST(FullScreenPlace, AWholeMultipleCentredWhereItFillsMostOfTheScreen) {
    SCOPED_TRACE("1920x1080");
    ExpectPlace(FullScreenPlace(640, 480, 1920, 1080), 320, 60, 1280, 960, false);
    SCOPED_TRACE("3840x2160");
    ExpectPlace(FullScreenPlace(640, 480, 3840, 2160), 640, 120, 2560, 1920, false);
    SCOPED_TRACE("1920x1200, at four fifths");
    ExpectPlace(FullScreenPlace(640, 480, 1920, 1200), 320, 120, 1280, 960, false);
    SCOPED_TRACE("2560x1440, three times");
    ExpectPlace(FullScreenPlace(640, 480, 2560, 1440), 320, 0, 1920, 1440, false);
    SCOPED_TRACE("the mode's own size");
    ExpectPlace(FullScreenPlace(640, 480, 640, 480), 0, 0, 640, 480, false);
}

TEST(FullScreenPlace, SmoothlyStretchedToTheFullHeightWhereAWholeMultipleWouldBeSmall) {
    SCOPED_TRACE("1024x768");
    ExpectPlace(FullScreenPlace(640, 480, 1024, 768), 0, 0, 1024, 768, true);
    SCOPED_TRACE("1366x768");
    ExpectPlace(FullScreenPlace(640, 480, 1366, 768), 171, 0, 1024, 768, true);
    SCOPED_TRACE("a tall screen, bands above and below");
    ExpectPlace(FullScreenPlace(640, 480, 900, 1400), 0, 362, 900, 675, true);
    SCOPED_TRACE("smaller than the mode");
    ExpectPlace(FullScreenPlace(640, 480, 320, 240), 0, 0, 320, 240, true);
    SCOPED_TRACE("nothing to place");
    ExpectPlace(FullScreenPlace(0, 480, 1920, 1080), 0, 0, 0, 0, false);
}

}  // namespace
