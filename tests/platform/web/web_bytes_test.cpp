// The browser build's memcmp: every length and place of a first difference,
// within a word and across the word boundary, against the C library's.
#include "platform/host/web/web_bytes.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace {

int Sign(int v) { return (v > 0) - (v < 0); }

TEST(WebBytes, AgreesWithMemcmpWhereverTheFirstDifferenceIs) {
    std::array<unsigned char, 40> a{}, b{};
    for (std::size_t i = 0; i < a.size(); ++i) a[i] = b[i] = static_cast<unsigned char>(i * 37 + 1);
    for (std::size_t n = 0; n <= a.size(); ++n) {
        EXPECT_EQ(webhost::CompareBytes(a.data(), b.data(), n), 0) << n << " equal bytes";
        for (std::size_t at = 0; at < n; ++at) {
            // A later byte differing the other way must not decide; the
            // high bit set compares as unsigned, as memcmp's bytes do.
            auto c = b;
            c[at] = static_cast<unsigned char>(a[at] ^ 0x80);
            if (at + 1 < n) c[at + 1] = static_cast<unsigned char>(a[at + 1] ^ 0x80);
            EXPECT_EQ(Sign(webhost::CompareBytes(a.data(), c.data(), n)), Sign(std::memcmp(a.data(), c.data(), n)))
                << "length " << n << ", first difference at " << at;
            EXPECT_EQ(Sign(webhost::CompareBytes(c.data(), a.data(), n)), Sign(std::memcmp(c.data(), a.data(), n)))
                << "length " << n << ", first difference at " << at << ", swapped";
        }
    }
    // Not at a word's start: the loads take any address.
    EXPECT_EQ(webhost::CompareBytes(a.data() + 3, b.data() + 3, 30), 0);
    b[20] = 0;
    EXPECT_GT(webhost::CompareBytes(a.data() + 3, b.data() + 3, 30), 0);
}

}  // namespace
