#include "platform/host/web/web_bytes.h"

#include <cstdint>
#include <cstring>

namespace webhost {

int CompareBytes(const void* a, const void* b, std::size_t n) {
    const auto* p = static_cast<const unsigned char*>(a);
    const auto* q = static_cast<const unsigned char*>(b);
    std::size_t i = 0;
    // Eight equal bytes at a time (one 64-bit load each, alignment aside);
    // the word that differs is then looked at byte by byte.
    for (; i + 8 <= n; i += 8) {
        std::uint64_t x, y;
        std::memcpy(&x, p + i, 8);
        std::memcpy(&y, q + i, 8);
        if (x != y) break;
    }
    for (; i < n; ++i)
        if (p[i] != q[i]) return p[i] < q[i] ? -1 : 1;
    return 0;
}

}  // namespace webhost
