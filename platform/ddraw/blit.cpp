// The copies and fills of blit.h. The 8-bit copy, the game's own, runs
// wide where it can; the 16-bit one only has to be right.
#include "platform/ddraw/blit.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "platform/video/find_change.h"

namespace platform::ddraw::blit {
namespace {

// The source offsets of destination offsets first, first + 1, ... of a span
// `destLength` long scaled from `srcLength`, each taken at the centre of its
// destination pixel: (2 offset + 1) srcLength / (2 destLength), stepped
// without a division per pixel. Sampling at the centres spreads the pixels
// a shrink drops evenly, away from both edges and the middle: a 640-pixel
// frame shown 638 wide loses columns 160 and 479, not column 319 in the
// middle of the score and the right edge. Enlarging by a whole factor takes
// the same pixels as sampling at the left edges would.
struct Stepper {
    long long quotient, remainder, step, denominator;
    Stepper(long long first, long long srcLen, long long destLen)
        : quotient((2 * first + 1) * srcLen / (2 * destLen)),
          remainder((2 * first + 1) * srcLen % (2 * destLen)),
          step(2 * srcLen),
          denominator(2 * destLen) {}
    void Next() {
        remainder += step;
        while (remainder >= denominator) {
            remainder -= denominator;
            ++quotient;
        }
    }
};

// One row of a keyed copy, sixteen pixels at a time where the processor has
// SSE2 (every x86-64 one), then eight at a time in a 64-bit word, so that it
// runs without a branch per pixel whether or not the compiler vectorises.
inline void KeyedRow(std::uint8_t* __restrict out, const std::uint8_t* __restrict in, int width, std::uint8_t key) {
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    const std::uint64_t keys = 0x0101010101010101ULL * key;
    int x = 0;
#ifdef __SSE2__
    const __m128i keys16 = _mm_set1_epi8(static_cast<char>(key));
    for (; x + 16 <= width; x += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(out + x));
        const __m128i keep = _mm_cmpeq_epi8(v, keys16);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                         _mm_or_si128(_mm_and_si128(keep, d), _mm_andnot_si128(keep, v)));
    }
#endif
    for (; x + 8 <= width; x += 8) {
        std::uint64_t v, d;
        std::memcpy(&v, in + x, 8);
        std::memcpy(&d, out + x, 8);
        // The top bit of each byte that equals the key, then the whole byte.
        std::uint64_t diff = v ^ keys;
        std::uint64_t zero = ~(((diff & kLow7) + kLow7) | diff | kLow7);
        std::uint64_t keep = (zero >> 7) * 0xFF;
        d = (d & keep) | (v & ~keep);
        std::memcpy(out + x, &d, 8);
    }
    for (; x < width; ++x) {
        std::uint8_t v = in[x];
        out[x] = v == key ? out[x] : v;
    }
}

// An unkeyed stretched row. `runs[x]` counts the source columns that run on
// one by one from x (a picture shrunk or grown by a little has long runs);
// those are copied at once.
inline void StretchedRow(std::uint8_t* __restrict out, const std::uint8_t* __restrict row, const int* columns,
                         const int* runs, int width) {
    int x = 0;
    while (x < width) {
        int run = runs[x];
        if (run >= 8) {
            std::memcpy(out + x, row + columns[x], static_cast<std::size_t>(run));
        } else {
            for (int i = 0; i < run; ++i) out[x + i] = row[columns[x + i]];
        }
        x += run;
    }
}

// A row into a destination on show: only the bytes that differ are written.
inline void ChangedRow(std::uint8_t* __restrict out, const std::uint8_t* __restrict in, int width, const Copy& c, int y,
                       int left) {
    int first = 0, end = 0;
    if (!video::FindChange(in, out, width, first, end)) return;
    std::memcpy(out + first, in + first, static_cast<std::size_t>(end - first));
    c.rowWritten(y, left + first, left + end);
}

// A stretched row of long runs (a picture shrunk or grown by a little) onto a
// destination on show: each run is compared where it lies in the source and
// only what differs is written, with no copy of the row in between.
inline void ChangedRunsRow(std::uint8_t* __restrict out, const std::uint8_t* __restrict row, const int* columns,
                           const int* runs, int width, const Copy& c, int y, int left) {
    int first = width, end = 0;
    for (int x = 0; x < width; x += runs[x]) {
        const int run = runs[x];
        const std::uint8_t* in = row + columns[x];
        int a = 0, b = 0;
        if (!video::FindChange(in, out + x, run, a, b)) continue;
        std::memcpy(out + x + a, in + a, static_cast<std::size_t>(b - a));
        first = std::min(first, x + a);
        end = x + b;  // the runs go from left to right
    }
    if (first < end) c.rowWritten(y, left + first, left + end);
}

void CopyPiece8(const Copy& c, const RECT& piece) {
    const long long dw = c.dest.right - c.dest.left, dh = c.dest.bottom - c.dest.top;
    const long long sw = c.src.right - c.src.left, sh = c.src.bottom - c.src.top;
    const bool oneToOne = dw == sw && dh == sh && !c.mirrorX;
    const bool plainKey = c.sourceKey.on && !c.destKey.on && c.sourceKey.low == c.sourceKey.high;
    const std::uint8_t key = static_cast<std::uint8_t>(c.sourceKey.low);
    const int width = piece.right - piece.left;

    // Source columns for a stretched or mirrored copy.
    int stackColumns[1024];
    std::vector<int> heapColumns;
    int* columns = stackColumns;
    if (!oneToOne) {
        if (width > 1024) {
            heapColumns.resize(static_cast<std::size_t>(width));
            columns = heapColumns.data();
        }
        Stepper sx(piece.left - c.dest.left, sw, dw);
        for (int x = 0; x < width; ++x, sx.Next())
            columns[x] = static_cast<int>(c.mirrorX ? c.src.right - 1 - sx.quotient : c.src.left + sx.quotient);
    }

    int stackRuns[1024];
    std::vector<int> heapRuns;
    int* runs = stackRuns;
    if (!oneToOne && !c.sourceKey.on && !c.destKey.on) {
        if (width > 1024) {
            heapRuns.resize(static_cast<std::size_t>(width));
            runs = heapRuns.data();
        }
        for (int x = width - 1; x >= 0; --x)
            runs[x] = x + 1 < width && columns[x + 1] == columns[x] + 1 ? runs[x + 1] + 1 : 1;
    }
    // Runs of 32 pixels or more on average are compared where they lie.
    int runCount = 0;
    if (!oneToOne && !c.sourceKey.on && !c.destKey.on)
        for (int x = 0; x < width; x += runs[x]) ++runCount;
    const bool longRuns = runCount > 0 && width >= 32 * runCount;

    std::uint8_t stackGathered[1024];
    std::vector<std::uint8_t> heapGathered;
    std::uint8_t* gathered = stackGathered;
    if ((!oneToOne || c.rowWritten) && width > 1024) {
        heapGathered.resize(static_cast<std::size_t>(width));
        gathered = heapGathered.data();
    }
    long long lastSrcY = -1;

    Stepper sy(piece.top - c.dest.top, sh, dh);
    for (LONG y = piece.top; y < piece.bottom; ++y, sy.Next()) {
        long long srcY = c.mirrorY ? c.src.bottom - 1 - sy.quotient : c.src.top + sy.quotient;
        const std::uint8_t* srow = c.srcPixels + srcY * c.srcPitch;
        std::uint8_t* drow = c.dstPixels + static_cast<std::ptrdiff_t>(y) * c.dstPitch + piece.left;
        if (oneToOne) {
            const std::uint8_t* s = srow + c.src.left + (piece.left - c.dest.left);
            if (!c.sourceKey.on && !c.destKey.on) {
                if (c.rowWritten) {
                    ChangedRow(drow, s, width, c, y, piece.left);
                    continue;
                }
                std::memmove(drow, s, static_cast<std::size_t>(width));
            } else if (plainKey) {
                KeyedRow(drow, s, width, key);
            } else {
                for (int x = 0; x < width; ++x)
                    if (!c.sourceKey.Hit(s[x]) && (!c.destKey.on || c.destKey.Hit(drow[x]))) drow[x] = s[x];
            }
        } else if (!c.sourceKey.on && !c.destKey.on) {
            if (c.rowWritten && longRuns) {
                ChangedRunsRow(drow, srow, columns, runs, width, c, y, piece.left);
                continue;
            }
            if (c.rowWritten) {
                StretchedRow(gathered, srow, columns, runs, width);
                ChangedRow(drow, gathered, width, c, y, piece.left);
                continue;
            }
            StretchedRow(drow, srow, columns, runs, width);
        } else if (plainKey) {
            // A stretched source row is gathered once and reused for every
            // destination row it lands on; the keyed copy then runs wide.
            if (srcY != lastSrcY) {
                for (int x = 0; x < width; ++x) gathered[x] = srow[columns[x]];
                lastSrcY = srcY;
            }
            KeyedRow(drow, gathered, width, key);
        } else {
            for (int x = 0; x < width; ++x) {
                std::uint8_t v = srow[columns[x]];
                if (c.sourceKey.Hit(v)) continue;
                if (c.destKey.on && !c.destKey.Hit(drow[x])) continue;
                drow[x] = v;
            }
        }
        if (c.rowWritten) c.rowWritten(y, piece.left, piece.right);
    }
}

// The same copy for 16-bit pixels, a pixel at a time: the game's own modes
// are 8-bit, so this path only has to be right.
void CopyPiece16(const Copy& c, const RECT& piece) {
    const long long dw = c.dest.right - c.dest.left, dh = c.dest.bottom - c.dest.top;
    const long long sw = c.src.right - c.src.left, sh = c.src.bottom - c.src.top;
    Stepper sy(piece.top - c.dest.top, sh, dh);
    for (LONG y = piece.top; y < piece.bottom; ++y, sy.Next()) {
        long long srcY = c.mirrorY ? c.src.bottom - 1 - sy.quotient : c.src.top + sy.quotient;
        const std::uint8_t* srow = c.srcPixels + srcY * c.srcPitch;
        std::uint8_t* drow = c.dstPixels + static_cast<std::ptrdiff_t>(y) * c.dstPitch;
        Stepper sx(piece.left - c.dest.left, sw, dw);
        for (LONG x = piece.left; x < piece.right; ++x, sx.Next()) {
            long long srcX = c.mirrorX ? c.src.right - 1 - sx.quotient : c.src.left + sx.quotient;
            std::uint16_t v, d;
            std::memcpy(&v, srow + 2 * srcX, 2);
            std::memcpy(&d, drow + 2 * x, 2);
            if (c.sourceKey.Hit(v) || (c.destKey.on && !c.destKey.Hit(d))) continue;
            std::memcpy(drow + 2 * x, &v, 2);
        }
        if (c.rowWritten) c.rowWritten(y, piece.left, piece.right);
    }
}

}  // namespace

void CopyPiece(const Copy& copy, const RECT& piece) {
    if (copy.bytesPerPixel == 2)
        CopyPiece16(copy, piece);
    else
        CopyPiece8(copy, piece);
}

namespace {

// A row of at most 16 bytes by two stores of a fixed size that overlap in
// the middle: the game's narrow fills (the palette strip is 256 of them,
// two pixels wide) would otherwise pay a call to memset for every row.
inline void NarrowRow(std::uint8_t* row, int width, std::uint64_t pattern) {
    if (width >= 8) {
        std::memcpy(row, &pattern, 8);
        std::memcpy(row + width - 8, &pattern, 8);
    } else if (width >= 4) {
        const auto four = static_cast<std::uint32_t>(pattern);
        std::memcpy(row, &four, 4);
        std::memcpy(row + width - 4, &four, 4);
    } else if (width > 0) {
        const auto one = static_cast<std::uint8_t>(pattern);
        row[0] = one;
        row[width / 2] = one;
        row[width - 1] = one;
    }
}

}  // namespace

void Fill(std::uint8_t* pixels, int pitch, int bytesPerPixel, const RECT& rect, DWORD colour) {
    const std::uint16_t wide = static_cast<std::uint16_t>(colour);
    const int width = static_cast<int>(rect.right - rect.left);
    const std::uint64_t pattern = 0x0101010101010101ULL * static_cast<std::uint8_t>(colour);
    for (LONG y = rect.top; y < rect.bottom; ++y) {
        std::uint8_t* row = pixels + static_cast<std::ptrdiff_t>(y) * pitch + rect.left * bytesPerPixel;
        if (bytesPerPixel == 1 && width <= 16)
            NarrowRow(row, width, pattern);
        else if (bytesPerPixel == 1)
            std::memset(row, static_cast<std::uint8_t>(colour), static_cast<std::size_t>(width));
        else
            for (LONG x = 0; x < rect.right - rect.left; ++x) std::memcpy(row + 2 * x, &wide, 2);
    }
}

}  // namespace platform::ddraw::blit
