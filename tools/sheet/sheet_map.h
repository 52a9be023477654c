// Where each sprite lies on the 640x480 sheet, and where the game puts the
// panel's parts relative to the panel's top-left corner.
#pragma once

namespace sheet {

struct Rect {
    int x, y, w, h;
};

struct Point {
    int x, y;
};

inline constexpr int kSheetWidth = 640;
inline constexpr int kSheetHeight = 480;

// Fonts: 32 glyphs per row from code 32; the large one at the origin, the
// small one at (512, 0).
constexpr Rect LargeGlyph(int code) { return {(code - 32) % 32 * 16, (code - 32) / 32 * 16, 16, 16}; }
constexpr Rect SmallGlyph(int code) { return {512 + (code - 32) % 32 * 4, (code - 32) / 32 * 6, 4, 6}; }

constexpr Rect LargeBurst(int k) { return {32 * k, 48, 32, 32}; }
constexpr Rect SmallBurst(int k) { return {256 + 16 * k, 48, 16, 16}; }
constexpr Rect DebrisFrame(int k) { return {256 + 16 * k, 64, 16, 16}; }
constexpr Rect MeterSegment(int kind) { return {528 + 4 * kind, 32, 4, 16}; }
inline constexpr Rect kPanelFrame{0, 80, 160, 320};
constexpr Rect CellTile(int k) { return {160 + 16 * k, 80, 16, 16}; }
constexpr Rect EntryWave(int k) { return {160, 112 + 16 * k, 64, 16}; }
constexpr Rect Figure(int k) { return {512 + 16 * k, 400, 16, 16}; }
constexpr Rect StarFrame(int k) { return {512 + 16 * k, 432, 16, 16}; }
constexpr Rect OrbitBody(int k) { return {368 + 48 * k, 432, 48, 48}; }  // sun, planet, moon

// Meter segment kinds.
inline constexpr int kMeterRed = 0;
inline constexpr int kMeterYellow = 1;
inline constexpr int kMeterGreen = 2;
// Kind of each meter segment from the lowest up: five green, five yellow, six red.
inline constexpr int kMeterKinds[16] = {2, 2, 2, 2, 2, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0};

// Panel layout.
inline constexpr Rect kWellInterior{16, 32, 128, 256};
inline constexpr Rect kEntryFunnel{48, 0, 64, 32};
inline constexpr Point kEntryWaveAt{48, 0};
inline constexpr Point kPanelTextAt{116, 21};
inline constexpr Point kMeterBottomAt{149, 272};   // segment s at y - 16 s
inline constexpr Point kStageFieldAt{38, 310};     // two digits
inline constexpr Point kScoreFieldAt{72, 310};     // eight digits
inline constexpr Point kPendingFieldAt{118, 310};  // four digits

}  // namespace sheet
