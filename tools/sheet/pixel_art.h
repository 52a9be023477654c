// Small drawing kit for hand-made pixel art: a clipped window onto a picture,
// filled shapes in integer arithmetic (so every build draws the same bytes),
// and pictures written as text with one character per pixel.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <utility>

#include "bitmap8.h"

namespace sheet {

// A rectangle of a picture with its own origin. Drawing is cut to the
// rectangle, so a sprite can never spill into its neighbours on the sheet.
class View {
public:
    View(Image8& image, int x, int y, int w, int h) : image_(image), x_(x), y_(y), w_(w), h_(h) {}

    int Width() const { return w_; }
    int Height() const { return h_; }
    bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < w_ && y < h_; }
    std::uint8_t Get(int x, int y) const { return Inside(x, y) ? image_.Get(x_ + x, y_ + y) : kClear; }
    void Set(int x, int y, std::uint8_t c) {
        if (Inside(x, y)) image_.Set(x_ + x, y_ + y, c);
    }
    View Sub(int x, int y, int w, int h) const { return View(image_, x_ + x, y_ + y, w, h); }

    void Fill(int x, int y, int w, int h, std::uint8_t c);
    void HLine(int x0, int x1, int y, std::uint8_t c) { Fill(x0, y, x1 - x0 + 1, 1, c); }
    void VLine(int x, int y0, int y1, std::uint8_t c) { Fill(x, y0, 1, y1 - y0 + 1, c); }
    void Line(int x0, int y0, int x1, int y1, std::uint8_t c);
    // A raised (outward) or sunken box edge, one pixel wide: light on the top
    // and left, dark on the bottom and right, or the other way round.
    void Bevel(int x, int y, int w, int h, std::uint8_t topLeft, std::uint8_t bottomRight);

private:
    Image8& image_;
    int x_, y_, w_, h_;
};

// One character of a text picture and the colour it stands for.
struct Ink {
    char key;
    std::uint8_t colour;
};

// Paints rows of text at (x, y); characters missing from the legend (such as
// '.') leave the pixel alone.
void Paint(View& v, int x, int y, std::initializer_list<std::string_view> rows, std::initializer_list<Ink> legend);

// A small linear congruential generator, enough for sprinkling sparks the
// same way on every build.
class Lcg {
public:
    explicit Lcg(std::uint32_t seed) : state_(seed) {}
    std::uint32_t Next() {
        state_ = state_ * 1103515245u + 12345u;
        return state_ >> 16;
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint32_t>(n)); }

private:
    std::uint32_t state_;
};

int ISqrt(int n);

// Direction k of 32 around the circle (0 = right, 8 = down) scaled to 1024,
// from a table so that no library maths is involved.
std::pair<int, int> Direction32(int k);

}  // namespace sheet
