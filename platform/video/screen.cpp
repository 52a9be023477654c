#include "platform/video/screen.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/host/host_video.h"
#include "platform/user/user_internal.h"

namespace platform::video {
namespace {

constexpr PALETTEENTRY kStatic[20] = {
    {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},   {0, 0, 128, 0},
    {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0}, {192, 220, 192, 0}, {166, 202, 240, 0},
    {255, 251, 240, 0}, {160, 160, 164, 0}, {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},
    {255, 255, 0, 0},   {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
};

struct State {
    bool exclusive = false;
    Mode exclusiveMode;
    bool desktopKnown = false;
    Mode desktop;  // as the host last reported it
    unsigned generation = 1;
    Screen screen;
    int holds = 0;                                   // locks on the screen
    std::vector<std::vector<std::uint8_t>> retired;  // buffers of earlier modes, still held
    bool paletteSet = false;
    HWND lastWindow = nullptr;
    std::vector<std::uint8_t> shown;  // a 16-bit screen as the hosts take it
    // Written since present number `presents` began: per screen row, rows
    // [writtenTop, writtenBottom) holding any; or anything (`writtenAll`).
    bool writtenAll = true;
    std::vector<host::RowSpan> written;
    int writtenTop = 0, writtenBottom = 0;
    std::uint64_t presents = 0;
    std::vector<host::RowSpan> imageWritten;  // the same for the image shown
};

State& DisplayState() {
    static State s;
    return s;
}

}  // namespace

const std::array<PALETTEENTRY, 256>& DefaultSystemPalette() {
    static const std::array<PALETTEENTRY, 256> table = [] {
        std::array<PALETTEENTRY, 256> t{};
        for (int i = 0; i < 10; ++i) {
            t[static_cast<std::size_t>(i)] = kStatic[i];
            t[static_cast<std::size_t>(246 + i)] = kStatic[10 + i];
        }
        return t;
    }();
    return table;
}

namespace {

Mode KnownDesktop() {
    State& d = DisplayState();
    if (!d.desktopKnown) {
        host::DesktopMode h = host::Desktop();
        d.desktop = Mode{h.width, h.height, h.bitsPerPixel};
        d.desktopKnown = true;
    }
    return d.desktop;
}

// A frame buffer made for a mode, not yet the screen's.
struct Memory {
    Mode mode;
    int width = 0, height = 0, pitch = 0, bytesPerPixel = 1;
    std::vector<std::uint8_t> pixels;
    std::vector<host::RowSpan> written;
};

// Everything that can run out of memory, done before the screen changes.
Memory MemoryFor(const Mode& mode, bool exclusive) {
    Memory m;
    m.mode = mode;
    m.width = std::max(1, mode.width);
    m.height = std::max(1, mode.height);
    // A desktop of more colours than 256 is still drawn on as the palette
    // desktop it was; only a program's own 16-bit mode has 16-bit pixels.
    m.bytesPerPixel = exclusive && mode.bitsPerPixel == 16 ? 2 : 1;
    m.pitch = (m.width * m.bytesPerPixel + 3) & ~3;
    m.pixels.assign(static_cast<std::size_t>(m.pitch) * static_cast<std::size_t>(m.height), 0);
    m.written.assign(static_cast<std::size_t>(m.height), host::RowSpan{});
    State& d = DisplayState();
    if (d.holds > 0) d.retired.reserve(d.retired.size() + 1);
    return m;
}

// The screen takes the buffer; one still held is kept (moving a vector
// keeps its memory where it is).
void Take(Memory& m) noexcept {
    State& d = DisplayState();
    Screen& s = d.screen;
    if (d.holds > 0 && !s.pixels.empty()) d.retired.push_back(std::move(s.pixels));
    s.pixels.swap(m.pixels);
    s.mode = m.mode;
    s.width = m.width;
    s.height = m.height;
    s.pitch = m.pitch;
    s.bytesPerPixel = m.bytesPerPixel;
    if (!d.paletteSet) s.palette = DefaultSystemPalette();
    d.written.swap(m.written);
    d.writtenTop = d.writtenBottom = 0;
    d.writtenAll = true;
}

bool Fits(const Mode& mode, bool exclusive) {
    const Screen& s = DisplayState().screen;
    return !s.pixels.empty() && s.mode == mode && s.bytesPerPixel == (exclusive && mode.bitsPerPixel == 16 ? 2 : 1);
}

}  // namespace

Mode CurrentMode() { return DisplayState().exclusive ? DisplayState().exclusiveMode : KnownDesktop(); }

bool ExclusiveModeSet() { return DisplayState().exclusive; }

bool SetExclusiveMode(const Mode& mode) {
    Memory m;
    const bool fits = Fits(mode, true);
    if (!fits) m = MemoryFor(mode, true);
    if (!host::SetDisplayMode(mode.width, mode.height, mode.bitsPerPixel)) return false;
    DisplayState().exclusive = true;
    DisplayState().exclusiveMode = mode;
    ++DisplayState().generation;
    if (!fits) Take(m);
    return true;
}

void RestoreDesktopMode() {
    State& d = DisplayState();
    if (!d.exclusive) return;
    host::RestoreDisplayMode();
    d.exclusive = false;
    ++d.generation;
    const Mode desktop = KnownDesktop();
    if (Fits(desktop, false)) return;
    try {
        Memory m = MemoryFor(desktop, false);
        Take(m);
    } catch (const std::bad_alloc&) {
        // The exclusive mode's buffer is freed and the screen made again
        // when next drawn on; one still held stays until the next change.
        if (d.holds == 0) std::vector<std::uint8_t>().swap(d.screen.pixels);
    }
}

void DesktopChanged() {
    State& d = DisplayState();
    host::DesktopMode h = host::Desktop();
    const Mode desktop{h.width, h.height, h.bitsPerPixel};
    if (d.desktopKnown && d.desktop == desktop) return;
    if (!d.exclusive && !d.screen.pixels.empty() && !Fits(desktop, false)) {
        try {
            Memory m = MemoryFor(desktop, false);
            Take(m);
        } catch (const std::bad_alloc&) {
            return;  // the old desktop stays until a later report finds memory
        }
    }
    if (!d.exclusive && !d.screen.pixels.empty()) ++d.generation;
    d.desktop = desktop;
    d.desktopKnown = true;
}

unsigned ModeGeneration() { return DisplayState().generation; }

Screen& TheScreen() {
    Screen& s = DisplayState().screen;
    // Made on first use, when no pointer into it can exist yet.
    if (s.pixels.empty()) {
        Memory m = MemoryFor(CurrentMode(), DisplayState().exclusive);
        Take(m);
    }
    return s;
}

void HoldScreenMemory() { ++DisplayState().holds; }

void LetGoOfScreenMemory() {
    State& d = DisplayState();
    if (d.holds > 0 && --d.holds == 0) d.retired.clear();
}

void SetHardwarePalette(const PALETTEENTRY* entries, bool keepStatic) {
    Screen& s = TheScreen();
    for (int i = 0; i < 256; ++i) {
        if (keepStatic && (i < 10 || i >= 246)) continue;
        s.palette[static_cast<std::size_t>(i)] = entries[i];
        s.palette[static_cast<std::size_t>(i)].peFlags = 0;
    }
    DisplayState().paletteSet = true;
}

void ScreenWritten() { DisplayState().writtenAll = true; }

void ScreenRowWritten(int y, int from, int to) {
    State& d = DisplayState();
    if (d.writtenAll || y < 0 || static_cast<std::size_t>(y) >= d.written.size() || from >= to) return;
    host::RowSpan& r = d.written[static_cast<std::size_t>(y)];
    if (r.from >= r.to) {
        r = host::RowSpan{from, to};
    } else {
        r.from = std::min(r.from, from);
        r.to = std::max(r.to, to);
    }
    if (d.writtenTop >= d.writtenBottom) {
        d.writtenTop = y;
        d.writtenBottom = y + 1;
    } else {
        d.writtenTop = std::min(d.writtenTop, y);
        d.writtenBottom = std::max(d.writtenBottom, y + 1);
    }
}

void ScreenWritten(const RECT& rect) {
    for (LONG y = rect.top; y < rect.bottom; ++y) ScreenRowWritten(y, rect.left, rect.right);
}

namespace {

// What the host is given of the record: the rows of `area`, in its columns.
// Null when anything may have changed.
const host::RowSpan* WrittenIn(const RECT& area) {
    State& d = DisplayState();
    if (d.writtenAll) return nullptr;
    d.imageWritten.assign(static_cast<std::size_t>(area.bottom - area.top), host::RowSpan{});
    for (int y = std::max<int>(d.writtenTop, area.top); y < std::min<int>(d.writtenBottom, area.bottom); ++y) {
        const host::RowSpan& r = d.written[static_cast<std::size_t>(y)];
        const int from = std::max<int>(r.from, area.left), to = std::min<int>(r.to, area.right);
        if (from < to)
            d.imageWritten[static_cast<std::size_t>(y - area.top)] = host::RowSpan{from - area.left, to - area.left};
    }
    return d.imageWritten.data();
}

void PresentNow(HWND window);

// The host has been given everything written: a new record starts.
void StartRecord() {
    State& d = DisplayState();
    for (int y = d.writtenTop; y < d.writtenBottom; ++y) d.written[static_cast<std::size_t>(y)] = host::RowSpan{};
    d.writtenTop = d.writtenBottom = 0;
    d.writtenAll = false;
    ++d.presents;
}

}  // namespace

void Present(HWND window) {
    // A picture the host could not take for want of memory is not the
    // drawing call's failure: the next present shows everything.
    try {
        PresentNow(window);
    } catch (const std::bad_alloc&) {
        DisplayState().writtenAll = true;
    }
}

namespace {

void PresentNow(HWND window) {
    Screen& s = TheScreen();
    host::ScreenImage image{s.pixels.data(), s.pitch, s.width, s.height, s.palette.data()};
    RECT area{0, 0, s.width, s.height};
    if (s.bytesPerPixel == 2) {
        const int pitch = (s.width + 3) & ~3;
        DisplayState().shown.resize(static_cast<std::size_t>(pitch) * static_cast<std::size_t>(s.height));
        ConvertRgb565ToRgb332(s.pixels.data(), s.pitch, s.width, s.height, DisplayState().shown.data(), pitch);
        image = host::ScreenImage{DisplayState().shown.data(), pitch, s.width, s.height, Rgb332Palette().data()};
    }
    if (!DisplayState().exclusive) {
        if (!window) window = DisplayState().lastWindow;
        if (window && user::FromHandle(window)) {
            DisplayState().lastWindow = window;
            RECT r = user::ClientRectOnScreen(window);
            r.left = std::clamp<LONG>(r.left, 0, s.width);
            r.right = std::clamp<LONG>(r.right, 0, s.width);
            r.top = std::clamp<LONG>(r.top, 0, s.height);
            r.bottom = std::clamp<LONG>(r.bottom, 0, s.height);
            if (r.right <= r.left || r.bottom <= r.top) return;
            image.pixels = s.pixels.data() + static_cast<std::ptrdiff_t>(r.top) * s.pitch + r.left;
            image.width = r.right - r.left;
            image.height = r.bottom - r.top;
            area = r;
        }
    }
    // A 16-bit screen is converted whole above: its record says nothing of that copy.
    image.written = s.bytesPerPixel == 1 ? WrittenIn(area) : nullptr;
    image.writtenSince = DisplayState().presents;
    host::ShowScreen(image);
    StartRecord();
}

}  // namespace

std::uint8_t NearestIndex(const PALETTEENTRY* palette, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    int best = 0;
    int bestDistance = 0x7FFFFFFF;
    for (int i = 0; i < 256; ++i) {
        int dr = palette[i].peRed - r, dg = palette[i].peGreen - g, db = palette[i].peBlue - b;
        int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {  // strictly nearer: a tie keeps the lower index
            bestDistance = d;
            best = i;
            if (d == 0) break;
        }
    }
    return static_cast<std::uint8_t>(best);
}

void BuildNearestMap(const PALETTEENTRY* palette, const RGBQUAD* colours, int count, std::uint8_t* map) {
    for (int i = 0; i < count; ++i)
        map[i] = NearestIndex(palette, colours[i].rgbRed, colours[i].rgbGreen, colours[i].rgbBlue);
}

const std::array<PALETTEENTRY, 256>& Rgb332Palette() {
    static const std::array<PALETTEENTRY, 256> table = [] {
        std::array<PALETTEENTRY, 256> t{};
        for (int i = 0; i < 256; ++i)
            t[static_cast<std::size_t>(i)] =
                PALETTEENTRY{static_cast<BYTE>((i >> 5) * 255 / 7), static_cast<BYTE>(((i >> 2) & 7) * 255 / 7),
                             static_cast<BYTE>((i & 3) * 255 / 3), 0};
        return t;
    }();
    return table;
}

void ConvertRgb565ToRgb332(const std::uint8_t* src, int srcPitch, int width, int height, std::uint8_t* dst,
                           int dstPitch) {
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* s = src + static_cast<std::ptrdiff_t>(y) * srcPitch;
        std::uint8_t* d = dst + static_cast<std::ptrdiff_t>(y) * dstPitch;
        for (int x = 0; x < width; ++x) {
            std::uint16_t v;
            std::memcpy(&v, s + 2 * x, 2);
            d[x] = static_cast<std::uint8_t>(((v >> 13) << 5) | (((v >> 8) & 7) << 2) | ((v >> 3) & 3));
        }
    }
}

void ResetForTests() { DisplayState() = State{}; }

}  // namespace platform::video
