// The picture in the default window: Windows' own arithmetic gives the
// window a client area of 638 x 478, so the 640 x 480 frame is shrunk into
// it and two columns and two rows drop out. They must fall outside the
// numbers: every digit of the score and the bonus reaches the
// window whole, with the panel at rest and jolted either way.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <vector>

#include "game/play.h"
#include "graphics/display.h"
#include "shell/shell.h"
#include "tests/support/game_harness.h"

namespace {

struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;
    const std::uint8_t* Row(int y) const { return pixels.data() + static_cast<std::size_t>(y) * width; }
};

Picture CanvasNow() {
    Picture p;
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    if (!display.canvas || display.canvas->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return p;
    p.width = 640;
    p.height = 480;
    const auto* bits = static_cast<const std::uint8_t*>(desc.lpSurface);
    for (int y = 0; y < 480; ++y) p.pixels.insert(p.pixels.end(), bits + y * desc.lPitch, bits + y * desc.lPitch + 640);
    display.canvas->Unlock(desc.lpSurface);
    return p;
}

// Is every row of the canvas's rectangle found, whole and in order, in the
// window's picture? A column dropped inside it breaks every row it crosses.
bool ArrivesWhole(const Picture& canvas, const Picture& window, int x, int y, int width, int height) {
    int fromRow = 0;
    for (int row = y; row < y + height; ++row) {
        const std::uint8_t* want = canvas.Row(row) + x;
        bool found = false;
        for (int wy = fromRow; wy < window.height && !found; ++wy) {
            const std::uint8_t* line = window.Row(wy);
            const std::uint8_t* at = std::search(line, line + window.width, want, want + width);
            if (at != line + window.width) {
                found = true;
                fromRow = wy + 1;
            }
        }
        if (!found) return false;
    }
    return true;
}

struct Shot {
    Picture canvas, window;
    LONG panelX = 0, panelY = 0;
};

// The frame after `frames` frames, with the panel moved by `nudge` just
// before it is drawn (as a jolt moves it).
Shot ShotAt(unsigned long frames, LONG nudge) {
    harness::ResetAll();
    Shot shot;
    harness::RunFrames("", frames, [&](unsigned long f) {
        if (f + 1 == frames) playState.panelX += nudge;
        if (f == frames) {
            shot.canvas = CanvasNow();
            const headless::Screen& s = headless::LastScreen();
            shot.window.width = s.width;
            shot.window.height = s.height;
            shot.window.pixels = s.pixels;
            shot.panelX = playState.panelX;
            shot.panelY = playState.panelY;
        }
    });
    return shot;
}

TEST(WindowPicture, EveryDigitReachesTheDefaultWindowWhole) {
    for (LONG nudge : {0, -8, 8}) {
        Shot shot = ShotAt(400, nudge);
        ASSERT_EQ(shot.canvas.width, 640);
        ASSERT_EQ(shot.window.width, 638) << "the client area Windows gives the window";
        ASSERT_EQ(shot.window.height, 478);
        const LONG px = shot.panelX, py = shot.panelY;
        // The score (8 digits) and bonus (4) boxes, text and margin; the
        // stage number counts on between the frame composed and the one shown.
        const struct {
            const char* what;
            LONG x, width;
        } kNumbers[] = {{"score", px + 70, 36}, {"bonus", px + 116, 20}};
        for (const auto& n : kNumbers)
            EXPECT_TRUE(ArrivesWhole(shot.canvas, shot.window, n.x, py + 308, n.width, 12))
                << n.what << " with the panel at x " << px << " (nudged " << nudge << ")";
    }
}

}  // namespace
