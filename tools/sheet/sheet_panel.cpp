// The play panel's artwork: block tiles, the panel frame, the entry wave and
// the height meter's segments.
#include <algorithm>

#include "sheet_art.h"
#include "sheet_map.h"

namespace sheet {

namespace {

// Five shades of one block colour, light to dark.
struct Shades {
    std::uint8_t hi, light, face, dark, deep;
};

constexpr Shades kRedBlock{C(255, 72, 170), C(255, 36, 85), C(218, 0, 0), C(145, 0, 0), C(72, 0, 0)};
constexpr Shades kGreenBlock{C(182, 255, 170), C(109, 255, 85), C(0, 218, 0), C(0, 145, 0), C(0, 72, 0)};
constexpr Shades kBlueBlock{C(182, 218, 255), C(109, 145, 255), C(36, 72, 255), C(0, 0, 170), C(0, 0, 85)};
constexpr Shades kYellowBlock{C(255, 255, 255), C(255, 251, 240), C(255, 255, 0), C(182, 182, 0), C(109, 109, 0)};
constexpr Shades kMossBlock{C(182, 255, 170), C(72, 218, 85), C(0, 182, 85), C(0, 109, 0), C(0, 36, 0)};
constexpr Shades kCyanBlock{C(218, 255, 255), C(109, 255, 255), C(0, 218, 255), C(0, 145, 170), C(0, 72, 85)};
constexpr Shades kGreyBlock{C(255, 255, 255), C(192, 192, 192), C(160, 160, 164), C(128, 128, 128), C(72, 72, 85)};

// A raised block: two rings of bevel round a flat face, lit from the upper
// left. `shade` picks the colours for each pixel so that a tile can mix two
// colour families.
template <typename ShadeAt>
void BevelBlock(View& v, ShadeAt shade) {
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const Shades& s = shade(x, y);
            std::uint8_t c = s.face;
            const int inner = std::min(std::min(x, y), std::min(15 - x, 15 - y));
            if (inner == 0)
                c = (x + y < 15) ? s.hi : (x + y == 15 ? s.face : s.deep);
            else if (inner == 1)
                c = (x + y < 15) ? s.light : (x + y == 15 ? s.face : s.dark);
            v.Set(x, y, c);
        }
}

// A small highlight in the lit corner of a block's face.
void Gleam(View& v) {
    v.Set(3, 3, col::white);
    v.Set(4, 3, col::white);
    v.Set(3, 4, col::white);
}

}  // namespace

void DrawCellTiles(Image8& sheet) {
    auto tile = [&](int k) {
        const Rect r = CellTile(k);
        return View(sheet, r.x, r.y, r.w, r.h);
    };
    auto plain = [](const Shades& s) { return [&s](int, int) -> const Shades& { return s; }; };

    View red = tile(0);
    BevelBlock(red, plain(kRedBlock));
    Gleam(red);

    View green = tile(1);
    BevelBlock(green, plain(kGreenBlock));
    Gleam(green);

    View blue = tile(2);
    BevelBlock(blue, plain(kBlueBlock));
    Gleam(blue);

    View yellow = tile(3);
    BevelBlock(yellow, plain(kYellowBlock));
    Gleam(yellow);

    // Green patterned: a moss green block with a raised stud in a sunken
    // square, so it tells apart from the plain green one at a glance.
    View moss = tile(4);
    BevelBlock(moss, plain(kMossBlock));
    moss.Bevel(4, 4, 8, 8, kMossBlock.deep, kMossBlock.hi);
    moss.Fill(5, 5, 6, 6, kMossBlock.dark);
    moss.Bevel(6, 6, 4, 4, kMossBlock.hi, kMossBlock.deep);
    moss.Fill(7, 7, 2, 2, kMossBlock.light);

    // Yellow and red halves, split along the falling diagonal.
    View halves = tile(5);
    BevelBlock(halves, [](int x, int y) -> const Shades& { return x + y < 15 ? kYellowBlock : kRedBlock; });
    for (int i = 2; i < 14; ++i) halves.Set(i, 15 - i, kRedBlock.deep);
    Gleam(halves);

    // Cyan with dark diagonal stripes across the face.
    View cyan = tile(6);
    BevelBlock(cyan, plain(kCyanBlock));
    for (int y = 2; y < 14; ++y)
        for (int x = 2; x < 14; ++x)
            if ((x + y) % 6 == 0)
                cyan.Set(x, y, kCyanBlock.dark);
            else if ((x + y) % 6 == 1)
                cyan.Set(x, y, kCyanBlock.light);
    Gleam(cyan);

    View grey = tile(7);
    BevelBlock(grey, plain(kGreyBlock));
    Gleam(grey);
}

namespace {

// The panel's metal, light to dark.
namespace steel {
constexpr std::uint8_t edge = C(182, 218, 255);
constexpr std::uint8_t hi = C(145, 182, 255);
constexpr std::uint8_t face = C(109, 145, 170);
constexpr std::uint8_t shade = C(36, 72, 85);
constexpr std::uint8_t deep = C(0, 36, 85);
}  // namespace steel

void Rivet(View& v, int x, int y) {
    v.Set(x, y, steel::edge);
    v.Set(x + 1, y, steel::hi);
    v.Set(x, y + 1, steel::hi);
    v.Set(x + 1, y + 1, steel::shade);
    v.Set(x + 2, y + 1, steel::deep);
    v.Set(x + 1, y + 2, steel::deep);
}

// A sunken box whose border lies just outside (x, y, w, h).
void SunkenBox(View& v, int x, int y, int w, int h, std::uint8_t inside) {
    v.Fill(x, y, w, h, inside);
    v.Bevel(x - 1, y - 1, w + 2, h + 2, steel::deep, steel::edge);
    v.Set(x + w, y - 1, steel::face);
    v.Set(x - 1, y + h, steel::face);
}

}  // namespace

void DrawPanelFrame(Image8& sheet) {
    View p(sheet, kPanelFrame.x, kPanelFrame.y, kPanelFrame.w, kPanelFrame.h);
    const Rect in = kWellInterior;
    const Rect fun = kEntryFunnel;

    p.Fill(0, 0, 160, 320, steel::face);

    // Outer edge, raised.
    p.Bevel(0, 0, 160, 320, steel::edge, col::ink);
    p.Bevel(1, 1, 158, 318, steel::hi, steel::shade);

    // The well and its funnel, sunk into the metal.
    p.Fill(in.x, in.y, in.w, in.h, col::well);
    p.Fill(fun.x, fun.y, fun.w, fun.h, col::well);
    // Faint cell marks where four cells meet.
    for (int y = in.y + 16; y < in.y + in.h; y += 16)
        for (int x = in.x + 16; x < in.x + in.w; x += 16) {
            p.Set(x, y, C(0, 36, 170));
            p.Set(x - 1, y, C(0, 0, 128));
            p.Set(x + 1, y, C(0, 0, 128));
            p.Set(x, y - 1, C(0, 0, 128));
            p.Set(x, y + 1, C(0, 0, 128));
        }
    // Lips of the recess: shadowed on the top and left, lit on the bottom and right.
    p.VLine(in.x - 1, in.y - 1, in.y + in.h, col::ink);
    p.VLine(in.x - 2, in.y - 1, in.y + in.h, steel::shade);
    p.HLine(in.x - 1, fun.x - 1, in.y - 1, col::ink);
    p.HLine(in.x - 2, fun.x - 1, in.y - 2, steel::shade);
    p.VLine(fun.x - 1, 0, in.y - 1, col::ink);
    p.VLine(fun.x - 2, 1, in.y - 2, steel::shade);
    p.HLine(fun.x + fun.w, in.x + in.w - 1, in.y - 1, col::ink);
    p.HLine(fun.x + fun.w + 1, in.x + in.w, in.y - 2, steel::shade);
    p.VLine(fun.x + fun.w, 0, in.y - 2, steel::edge);
    p.VLine(fun.x + fun.w + 1, 1, in.y - 3, steel::hi);
    p.VLine(in.x + in.w, in.y - 1, in.y + in.h, steel::edge);
    p.VLine(in.x + in.w + 1, in.y - 1, in.y + in.h + 1, steel::hi);
    p.HLine(in.x - 1, in.x + in.w, in.y + in.h, steel::edge);
    p.HLine(in.x - 2, in.x + in.w + 1, in.y + in.h + 1, steel::hi);

    // Entry markers: arrows on both shoulders of the funnel.
    const auto arrow = [&](int x) {
        Paint(p, x, 3,
              // clang-format off
              {"#######.",
               "+#####+.",
               ".+###+..",
               "..+#+...",
               "...+....",
               "........"},
              // clang-format on
              {{'#', col::yellow}, {'+', C(182, 182, 0)}});
        p.HLine(x + 1, x + 7, 4, steel::shade);
    };
    arrow(fun.x - 12);
    arrow(fun.x + fun.w + 5);

    // Name plate on the left shoulder.
    SunkenBox(p, 9, 11, 30, 9, col::ink);
    SmallText(p, 12, 13, "TUMBLA", col::yellow);

    // The lamp window on the right shoulder.
    SunkenBox(p, kPanelTextAt.x - 1, kPanelTextAt.y - 1, 25, 7, col::ink);

    // Meter groove with dim, unlit segments in the colours of their zones.
    const int grooveX = kMeterBottomAt.x;
    SunkenBox(p, grooveX, in.y, 4, in.h, col::ink);
    constexpr std::uint8_t dim[3] = {C(72, 0, 0), C(72, 72, 0), C(0, 72, 0)};
    for (int s = 0; s < 16; ++s) {
        const int y = kMeterBottomAt.y - 16 * s;
        p.Fill(grooveX, y, 4, 15, dim[kMeterKinds[s]]);
        p.Set(grooveX - 3, y + 15, steel::shade);  // scale marks
        p.Set(grooveX - 2, y + 15, steel::shade);
    }

    // Fields for stage, score and pending points, each labelled above.
    struct Field {
        Point at;
        int digits;
        const char* label;
    };
    constexpr Field fields[3] = {{kStageFieldAt, 2, "STG"}, {kScoreFieldAt, 8, "SCORE"}, {kPendingFieldAt, 4, "BONUS"}};
    for (const Field& f : fields) {
        const int x = f.at.x - 2, w = f.digits * 4 + 3;
        SunkenBox(p, x, f.at.y - 2, w, 9, col::ink);
        const int labelWidth = static_cast<int>(std::string_view(f.label).size()) * 4 - 1;
        SmallText(p, x + (w - labelWidth) / 2, f.at.y - 11, f.label, steel::edge, steel::deep);
    }

    // Rivets at the corners of the walls.
    for (int y : {6, 300}) {
        Rivet(p, 4, y);
        Rivet(p, 153, y);
    }
    Rivet(p, 4, 160);
    Rivet(p, 4, 240);
    Rivet(p, 4, 80);
}

void DrawEntryWaves(Image8& sheet) {
    // A crackling line of light across the funnel's mouth: a jagged core
    // with a glow, different in each frame.
    Lcg rng(0x5eed01);
    for (int k = 0; k < 4; ++k) {
        const Rect r = EntryWave(k);
        View v(sheet, r.x, r.y, r.w, r.h);
        int y = 8;
        int path[64];
        for (int x = 0; x < 64; ++x) {
            path[x] = y;
            const int step = rng.Below(5);
            if (step == 0 && y > 5) --y;
            if (step == 1 && y < 10) ++y;
            if (x % 8 == 7) y = (y + 8) / 2;  // pulled back to the middle
        }
        for (int x = 0; x < 64; ++x) {
            const int lo = std::min(path[x], x > 0 ? path[x - 1] : path[x]);
            const int hi = std::max(path[x], x > 0 ? path[x - 1] : path[x]);
            for (int yy = lo - 2; yy <= hi + 2; ++yy)
                if (v.Get(x, yy) == kClear) v.Set(x, yy, C(0, 72, 255));
            for (int yy = lo - 1; yy <= hi + 1; ++yy)
                if (v.Get(x, yy) != col::white) v.Set(x, yy, C(109, 218, 255));
            v.VLine(x, lo, hi, col::white);
        }
        // A few sparks thrown off the line.
        for (int n = 0; n < 6; ++n) {
            const int x = rng.Below(64);
            const int yy = path[x] + (rng.Below(2) ? 4 : -4) + rng.Below(3) - 1;
            v.Set(x, yy, C(182, 255, 255));
        }
    }
}

void DrawMeterSegments(Image8& sheet) {
    struct Lit {
        std::uint8_t hi, face, dark;
    };
    constexpr Lit lit[3] = {{C(255, 72, 170), C(255, 0, 0), C(145, 0, 0)},
                            {C(255, 255, 255), C(255, 255, 0), C(182, 182, 0)},
                            {C(182, 255, 170), C(0, 255, 0), C(0, 145, 0)}};
    for (int kind = 0; kind < 3; ++kind) {
        const Rect r = MeterSegment(kind);
        View v(sheet, r.x, r.y, r.w, r.h);
        // Fifteen lit rows and a dark gap below, so stacked segments read as steps.
        v.Fill(0, 0, 4, 15, lit[kind].face);
        v.VLine(0, 0, 14, lit[kind].hi);
        v.HLine(0, 3, 0, lit[kind].hi);
        v.VLine(3, 1, 14, lit[kind].dark);
        v.HLine(1, 3, 14, lit[kind].dark);
        v.HLine(0, 3, 15, col::ink);
    }
}

}  // namespace sheet
