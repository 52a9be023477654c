// The effect sprites: bursts, debris, stars, the three orbit bodies and the
// dancing figures.
#include <algorithm>
#include <cstdlib>

#include "sheet_art.h"
#include "sheet_map.h"

namespace sheet {

namespace {

// Squared distance, in half pixels, from the centre of pixel (x, y) to the
// point (cx2 / 2, cy2 / 2); with whole-pixel sizes this keeps round shapes
// symmetric without any fractions.
int Dist2(int x, int y, int cx2, int cy2) {
    const int dx = 2 * x + 1 - cx2, dy = 2 * y + 1 - cy2;
    return dx * dx + dy * dy;
}

// Which of the 32 directions (0 = right, 8 = down) points most nearly at
// (dx, dy).
int Sector32(int dx, int dy) {
    int best = 0;
    long bestDot = -1L << 40;
    for (int k = 0; k < 32; ++k) {
        const auto [cx, cy] = Direction32(k);
        const long dot = static_cast<long>(cx) * dx + static_cast<long>(cy) * dy;
        if (dot > bestDot) {
            bestDot = dot;
            best = k;
        }
    }
    return best;
}

// Fire colours, hottest first.
// clang-format off
constexpr std::uint8_t kFire[8] = {
    C(255, 255, 255), C(255, 251, 240), C(255, 255, 0), C(218, 182, 0),
    C(218, 109, 0),   C(182, 36, 0),    C(109, 0, 0),   C(72, 0, 0),
};
// clang-format on

// One burst frame, n pixels square (16 or 32), `age` from 0 to 7: the
// fireball grows and cools, hollows into a ring, and breaks into embers
// that fly on outward. The large frames are the small design at twice the
// size with more detail, not a scaled copy.
void BurstFrame(View& v, int n, int age, std::uint32_t seed) {
    const int s = n / 16;
    const int c2 = n;  // centre, in half pixels
    Lcg rng(seed);
    int bump[32];
    for (int& b : bump) b = rng.Below(3);
    // Fireball radius and the hollow inside it, in pixels at 16 x 16.
    constexpr int outer[8] = {2, 4, 5, 6, 7, 7, 0, 0};
    constexpr int hollow[8] = {0, 0, 0, 2, 4, 6, 0, 0};
    constexpr int heat[8] = {0, 0, 1, 2, 3, 4, 5, 6};  // first fire colour used
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const int d2 = Dist2(x, y, c2, c2);
            const int sector = Sector32(2 * x + 1 - c2, 2 * y + 1 - c2);
            const int r = outer[age] * s + (age >= 2 ? bump[sector] * s / 2 : 0);
            const int h = hollow[age] * s + (age >= 3 ? bump[(sector + 7) & 31] : 0);
            if (outer[age] == 0 || d2 > 4 * r * r || d2 < 4 * h * h) continue;
            if (age == 5 && bump[sector] == 0) continue;  // the ring breaks up
            // Hotter towards the middle of the fire; the band index grows
            // with the distance from the hot centre line of the ring.
            const int mid = (r + h) / 2;
            const int d = ISqrt(d2) / 2;
            const int span = std::max(1, (r - h) / 2);
            int band = heat[age] + std::abs(d - mid) * 2 / span;
            if (h == 0) band = heat[age] + d * 3 / std::max(1, r);
            v.Set(x, y, kFire[std::min(band, 7)]);
        }
    // Sparks and embers beyond the fire.
    constexpr int sparkCount[8] = {0, 4, 8, 8, 8, 10, 8, 6};
    constexpr int sparkDist[8] = {0, 6, 7, 7, 7, 7, 7, 7};
    for (int i = 0; i < sparkCount[age]; ++i) {
        const int dir = (i * 32 / std::max(1, sparkCount[age]) + rng.Below(3) + age) & 31;
        const auto [cx, cy] = Direction32(dir);
        const int dist = (sparkDist[age] - rng.Below(2)) * s - (age < 5 ? 0 : rng.Below(2));
        const int x = (c2 / 2) + cx * dist / 1024 - (cx < 0 ? 1 : 0);
        const int y = (c2 / 2) + cy * dist / 1024 - (cy < 0 ? 1 : 0);
        const std::uint8_t c = kFire[std::min(7, heat[age] + 1 + rng.Below(2))];
        v.Set(x, y, c);
        if (s > 1 && age < 6) {
            // Large sparks trail back towards the centre.
            v.Set(x - cx / 700, y - cy / 700, kFire[std::min(7, heat[age] + 2)]);
        }
    }
    // The large burst leaves wisps of smoke in its last frames.
    if (s > 1 && age >= 5) {
        constexpr std::uint8_t wisp[3][2] = {
            {C(160, 160, 164), C(128, 128, 128)}, {C(128, 128, 128), C(72, 72, 85)}, {C(72, 72, 85), C(36, 36, 85)}};
        const int count = age == 6 ? 7 : 5;
        for (int i = 0; i < count; ++i) {
            const auto [cx, cy] = Direction32((i * 32 / count + 2 + age * 3) & 31);
            const int dist = 7 + age + rng.Below(3);
            const int x = 16 + cx * dist / 1024, y = 16 + cy * dist / 1024;
            v.Set(x, y, wisp[age - 5][0]);
            v.Set(x + 1, y, wisp[age - 5][1]);
            v.Set(x, y + 1, wisp[age - 5][1]);
            if (age < 7) v.Set(x + 1, y + 1, wisp[age - 5][1]);
        }
    }
}

}  // namespace

void DrawBursts(Image8& sheet) {
    for (int k = 0; k < 8; ++k) {
        const Rect small = SmallBurst(k);
        View vs(sheet, small.x, small.y, small.w, small.h);
        BurstFrame(vs, 16, k, 0xb0057u);
        const Rect large = LargeBurst(k);
        View vl(sheet, large.x, large.y, large.w, large.h);
        BurstFrame(vl, 32, k, 0xb1657u);
    }
}

void DrawDebris(Image8& sheet) {
    // Shards of a broken block flying apart and turning as they go, cooling
    // from white-hot to grey ash.
    struct Shard {
        int dir;    // of 32
        int speed;  // tenths of a pixel per frame
        int size;
    };
    constexpr Shard shards[7] = {{1, 8, 3}, {6, 6, 2}, {10, 9, 3}, {15, 7, 2}, {19, 8, 3}, {24, 6, 2}, {28, 9, 2}};
    // Lit face and shadowed edge of the shards in each frame.
    // clang-format off
    constexpr std::uint8_t heat[8][2] = {
        {C(255, 255, 255), C(255, 255, 0)}, {C(255, 255, 0), C(218, 182, 0)},
        {C(255, 255, 0), C(218, 109, 0)},   {C(218, 182, 0), C(182, 36, 0)},
        {C(218, 109, 0), C(109, 0, 0)},     {C(192, 192, 192), C(128, 128, 128)},
        {C(160, 160, 164), C(72, 72, 85)},  {C(128, 128, 128), C(72, 72, 85)},
    };
    // clang-format on
    for (int k = 0; k < 8; ++k) {
        const Rect r = DebrisFrame(k);
        View v(sheet, r.x, r.y, r.w, r.h);
        for (const Shard& s : shards) {
            const auto [cx, cy] = Direction32(s.dir + k);
            const int dist = 15 + s.speed * k;  // tenths of a pixel
            const int size = std::max(1, s.size - k / 4);
            const int x = 8 + cx * dist / 10240 - size / 2 - (cx < 0 ? 1 : 0);
            const int y = 8 + cy * dist / 10240 - size / 2 - (cy < 0 ? 1 : 0);
            v.Fill(x, y, size, size, heat[k][1]);
            v.Set(x, y, heat[k][0]);
            if (size == 3) {
                v.Set(x + 1, y, heat[k][0]);
                v.Set(x, y + 1, heat[k][0]);
            }
        }
    }
}

void DrawStars(Image8& sheet) {
    constexpr std::uint8_t glow[5] = {C(255, 255, 255), C(218, 255, 255), C(182, 218, 255), C(109, 145, 255),
                                      C(72, 72, 170)};
    // Length of the straight and the diagonal rays, and the size of the core.
    constexpr int ray[8] = {0, 0, 1, 2, 3, 4, 5, 7};
    constexpr int diag[8] = {0, 0, 0, 0, 1, 1, 2, 3};
    for (int k = 0; k < 8; ++k) {
        const Rect r = StarFrame(k);
        View v(sheet, r.x, r.y, r.w, r.h);
        const int c = 7;
        if (k == 0) {
            v.Set(c, c, C(145, 145, 170));
            continue;
        }
        for (int i = ray[k]; i >= 1; --i) {
            // Rays fade towards their tips.
            const std::uint8_t colour = glow[std::min(4, 1 + (i * 4 - 1) / std::max(1, ray[k]))];
            v.Set(c + i, c, colour);
            v.Set(c - i, c, colour);
            v.Set(c, c + i, colour);
            v.Set(c, c - i, colour);
        }
        for (int i = diag[k]; i >= 1; --i) {
            const std::uint8_t colour = glow[std::min(4, 2 + i)];
            v.Set(c + i, c + i, colour);
            v.Set(c - i, c - i, colour);
            v.Set(c + i, c - i, colour);
            v.Set(c - i, c + i, colour);
        }
        if (k >= 5) {
            // A bright core for the nearest stars.
            v.Set(c + 1, c, glow[0]);
            v.Set(c - 1, c, glow[0]);
            v.Set(c, c + 1, glow[0]);
            v.Set(c, c - 1, glow[0]);
        }
        v.Set(c, c, glow[0]);
    }
}

namespace {

// Light falls on the bodies from the upper left. Returns a brightness from
// 0 (unlit) up to 255 for a pixel of a sphere of radius r (in half pixels)
// at offset (dx, dy) from its centre, also in half pixels.
int SphereLight(int dx, int dy, int r2) {
    const int z2 = r2 * r2 - dx * dx - dy * dy;
    if (z2 < 0) return -1;
    const int dz = ISqrt(z2);
    // Light direction about (-0.45, -0.55, 0.7), times 100.
    const int dot = (-45 * dx - 55 * dy + 70 * dz) * 255 / (100 * r2);
    return std::clamp(dot, 0, 255);
}

void DrawSun(View& v) {
    constexpr int c2 = 48, r = 15;
    // Flame tongues round the rim: how far each of 32 sectors reaches out.
    constexpr int flame[32] = {5, 4, 3, 4, 5, 4, 3, 4, 5, 4, 3, 4, 6, 4, 3, 3,
                               4, 5, 4, 3, 4, 5, 3, 3, 4, 5, 4, 3, 5, 4, 3, 4};
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x) {
            const int dx = 2 * x + 1 - c2, dy = 2 * y + 1 - c2;
            const int d2 = dx * dx + dy * dy;
            const int d = ISqrt(d2) / 2;
            if (d2 > 4 * r * r) {
                const int reach = d - r;
                if (reach < flame[Sector32(dx, dy)])
                    v.Set(x, y, reach < 2 ? kFire[4] : (reach < 4 ? kFire[5] : kFire[6]));
                continue;
            }
            // Bright centre, a little off towards the light, darker at the limb.
            const int l = SphereLight(dx, dy, 2 * r);
            int band = d < 5 ? 0 : (d < 8 ? 1 : (d < 11 ? 2 : (d < 14 ? 3 : 4)));
            if (l > 200 && band > 0) --band;
            v.Set(x, y, kFire[band]);
        }
}

void DrawPlanet(View& v) {
    constexpr int c2 = 48, r = 13;
    // Cloud bands by latitude, each with four shades from lit to dark.
    // clang-format off
    constexpr std::uint8_t bands[3][4] = {
        {C(182, 255, 255), C(109, 218, 255), C(36, 145, 170), C(0, 72, 85)},
        {C(109, 182, 255), C(36, 109, 255), C(0, 72, 170), C(0, 36, 85)},
        {C(145, 255, 170), C(72, 182, 170), C(0, 109, 85), C(0, 36, 85)},
    };
    // clang-format on
    constexpr int bandOf[14] = {0, 0, 1, 1, 2, 1, 0, 0, 1, 2, 2, 1, 0, 0};  // by latitude, top down
    constexpr std::uint8_t ringLit = C(218, 182, 85), ringMid = C(182, 145, 85), ringDark = C(109, 72, 0);
    // The ring: an ellipse 44 x 12 pixels, tilted by shearing the rows.
    // e below is the ellipse's equation scaled by A^2 B^2 (A = 44, B = 12 half pixels).
    constexpr long A2 = 44 * 44, B2 = 12 * 12, whole = A2 * B2;
    auto ringAt = [&](int x, int y) -> std::uint8_t {
        const long dx = 2 * x + 1 - c2, dy = 2 * y + 1 - c2 + dx / 5;
        const long e = dx * dx * B2 + dy * dy * A2;
        if (e > whole || e * 100 < whole * 56) return kClear;
        if (e * 100 > whole * 88) return ringDark;
        return e * 100 > whole * 68 ? ringLit : ringMid;
    };
    auto ringInFront = [&](int x, int y) { return 2 * y + 1 - c2 + (2 * x + 1 - c2) / 5 > 0; };
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x) {
            const std::uint8_t ring = ringAt(x, y);
            const int l = SphereLight(2 * x + 1 - c2, 2 * y + 1 - c2, 2 * r);
            if (l >= 0 && !(ring != kClear && ringInFront(x, y))) {
                const int lat = std::clamp((y - (24 - r)) * 14 / (2 * r), 0, 13);
                const int shade = l > 190 ? 0 : (l > 120 ? 1 : (l > 45 ? 2 : 3));
                v.Set(x, y, bands[bandOf[lat]][shade]);
            } else if (ring != kClear) {
                // The planet's shadow falls on the ring behind it, to the lower right.
                v.Set(x, y, ring);
            }
        }
}

void DrawMoon(View& v) {
    constexpr int c2 = 48, r = 9;
    constexpr std::uint8_t grey[5] = {C(255, 255, 255), C(192, 192, 192), C(160, 160, 164), C(128, 128, 128),
                                      C(72, 72, 85)};
    struct Crater {
        int x2, y2, r2;
    };
    constexpr Crater craters[4] = {{42, 40, 7}, {56, 50, 5}, {44, 56, 4}, {54, 38, 3}};
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x) {
            const int l = SphereLight(2 * x + 1 - c2, 2 * y + 1 - c2, 2 * r);
            if (l < 0) continue;
            int shade = l > 200 ? 0 : (l > 140 ? 1 : (l > 80 ? 2 : (l > 30 ? 3 : 4)));
            for (const Crater& cr : craters) {
                const int d2 = Dist2(x, y, cr.x2, cr.y2);
                if (d2 <= cr.r2 * cr.r2) {
                    // Sunken: dark towards the light, lit on the far rim.
                    const bool near = (2 * x + 1 - cr.x2) + (2 * y + 1 - cr.y2) < 0;
                    shade = std::clamp(shade + (near ? 2 : 1), 0, 4);
                    if (!near && d2 >= (cr.r2 - 2) * (cr.r2 - 2)) shade = std::max(0, shade - 2);
                }
            }
            v.Set(x, y, grey[shade]);
        }
}

}  // namespace

void DrawOrbitBodies(Image8& sheet) {
    const Rect sun = OrbitBody(0), planet = OrbitBody(1), moon = OrbitBody(2);
    View vs(sheet, sun.x, sun.y, sun.w, sun.h);
    DrawSun(vs);
    View vp(sheet, planet.x, planet.y, planet.w, planet.h);
    DrawPlanet(vp);
    View vm(sheet, moon.x, moon.y, moon.w, moon.h);
    DrawMoon(vm);
}

void DrawFigures(Image8& sheet) {
    // Eight little dancers, each in its own pose and shirt. Legend: h hair,
    // s skin, e eyes, c shirt, p trousers, b shoes; an outline is added
    // round each so they read over any background.
    constexpr std::uint8_t hair[8] = {C(109, 36, 0), C(255, 255, 0), C(36, 36, 85), C(182, 72, 0),
                                      C(109, 36, 0), C(218, 218, 0), C(36, 36, 85), C(182, 72, 0)};
    constexpr std::uint8_t shirt[8] = {C(255, 0, 0),    C(0, 218, 0),   C(36, 109, 255), C(255, 255, 0),
                                       C(255, 72, 255), C(0, 255, 255), C(218, 109, 0),  C(255, 255, 255)};
    constexpr std::uint8_t trousers[8] = {C(0, 0, 170),  C(72, 36, 85), C(36, 36, 85), C(145, 0, 0),
                                          C(0, 72, 170), C(72, 36, 85), C(0, 0, 170),  C(36, 72, 85)};
    constexpr std::uint8_t skin = C(218, 182, 170), eyes = col::ink, shoes = C(72, 36, 0);

    using Rows = std::initializer_list<std::string_view>;
    const Rows poses[8] = {
        // clang-format off
        {"................",
         "..s...hhhh...s..",
         "..s..hhhhhh..s..",
         "...c.hesseh.c...",
         "...c..ssss..c...",
         "....cccccccc....",
         "......cccc......",
         "......cccc......",
         "......cccc......",
         "......pppp......",
         ".....pp..pp.....",
         ".....pp..pp.....",
         "....pp....pp....",
         "....pp....pp....",
         "...bbb....bbb...",
         "................"},
        {"................",
         "......hhhh......",
         ".....hhhhhh.....",
         ".....hesseh.....",
         "......ssss......",
         "..sccccccccccs..",
         "......cccc......",
         "......cccc......",
         "......cccc......",
         "......pppp......",
         "......pp.ppp....",
         "......pp...ppp..",
         "......pp....bb..",
         "......pp........",
         ".....bbb........",
         "................"},
        {"............s...",
         "......hhhh..s...",
         ".....hhhhhhc....",
         ".....hessehc....",
         "......ssss.c....",
         "....ccccccc.....",
         "...c..cccc......",
         "..c...cccc......",
         "..s...cccc......",
         "......pppp......",
         ".....pp..pp.....",
         "....pp....pp....",
         "....pp.....pp...",
         "...pp......pp...",
         "..bbb......bbb..",
         "................"},
        {"................",
         "................",
         "......hhhh......",
         ".....hhhhhh.....",
         ".....hesseh.....",
         "......ssss......",
         "...cccccccccc...",
         "..s...cccc...s..",
         "......cccc......",
         ".....pppppp.....",
         "....pp....pp....",
         "...pp......pp...",
         "....pp....pp....",
         ".....pp..pp.....",
         "....bbb..bbb....",
         "................"},
        {"................",
         "......hhhh......",
         ".....hhhhhh.....",
         ".....hesseh.....",
         "......ssss......",
         ".....cccccc.....",
         "....c.cccc.c....",
         "....s.cccc.s....",
         "......cccc......",
         "......pppp......",
         "......pp.pp.....",
         ".....pp...pp....",
         ".....pp....pp...",
         "....pp......pp..",
         "...bbb......bbb.",
         "................"},
        {"..s.............",
         "..s...hhhh......",
         "...c.hhhhhh.....",
         "...c.hesseh.....",
         "....c.ssss......",
         ".....ccccccc....",
         "......cccc..c...",
         "......cccc...s..",
         "......cccc......",
         "......pppp......",
         ".....pp.ppppp...",
         ".....pp.....bb..",
         "....pp..........",
         "....pp..........",
         "...bbb..........",
         "................"},
        {"................",
         "................",
         "...bb......bb...",
         "....pp....pp....",
         ".....pp..pp.....",
         "......pppp......",
         "......cccc......",
         "......cccc......",
         "......cccc......",
         "....cccccccc....",
         "...c..ssss..c...",
         "...c.hesseh.c...",
         "..s..hhhhhh..s..",
         "..s...hhhh...s..",
         "................",
         "................"},
        {"................",
         "..s...hhhh...s..",
         "...c.hhhhhh.c...",
         "....chesseh.c...",
         "....c.ssss.c....",
         ".....cccccc.....",
         "......cccc......",
         "......cccc......",
         "......cccc......",
         "......pppp......",
         ".......pp.......",
         "......pppp......",
         ".....pp..pp.....",
         ".....pp..pp.....",
         "....bbb..bbb....",
         "................"},
        // clang-format on
    };
    for (int k = 0; k < 8; ++k) {
        const Rect r = Figure(k);
        View v(sheet, r.x, r.y, r.w, r.h);
        Paint(v, 0, 0, poses[k],
              {{'h', hair[k]}, {'s', skin}, {'e', eyes}, {'c', shirt[k]}, {'p', trousers[k]}, {'b', shoes}});
        // Outline every figure pixel's empty neighbours.
        Image8 mask(16, 16);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) mask.Set(x, y, v.Get(x, y));
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                if (mask.Get(x, y) == kClear && (mask.Get(x - 1, y) != kClear || mask.Get(x + 1, y) != kClear ||
                                                 mask.Get(x, y - 1) != kClear || mask.Get(x, y + 1) != kClear))
                    v.Set(x, y, col::ink);
    }
}

}  // namespace sheet
