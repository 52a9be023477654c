// Where two rows of 8-bit indices differ: what a copy onto the screen and a
// host's redraw both look for, so that they touch only what changed.
#pragma once

#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace platform::video {

// [first, end) from the first to the last difference; false when the rows
// are the same.
// Most rows are the same, which the C library's comparison passes over
// fastest. A changed row is searched sixteen bytes at a time from either end
// where the processor has SSE2, eight elsewhere.
inline bool FindChange(const std::uint8_t* a, const std::uint8_t* b, int count, int& first, int& end) {
    if (count <= 0 || std::memcmp(a, b, static_cast<std::size_t>(count)) == 0) return false;
    int i = 0, j = count;
#ifdef __SSE2__
    auto same16 = [&](int k) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + k));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + k));
        return _mm_movemask_epi8(_mm_cmpeq_epi8(x, y)) == 0xFFFF;
    };
    while (i + 16 <= count && same16(i)) i += 16;
#endif
    auto same8 = [&](int k) {
        std::uint64_t x, y;
        std::memcpy(&x, a + k, 8);
        std::memcpy(&y, b + k, 8);
        return x == y;
    };
    while (i + 8 <= count && same8(i)) i += 8;
    while (i < count && a[i] == b[i]) ++i;
    if (i >= count) return false;
#ifdef __SSE2__
    while (j - 16 >= i && same16(j - 16)) j -= 16;
#endif
    while (j - 8 >= i && same8(j - 8)) j -= 8;
    while (a[j - 1] == b[j - 1]) --j;  // stops at i at the latest: a[i] != b[i]
    first = i;
    end = j;
    return true;
}

}  // namespace platform::video
