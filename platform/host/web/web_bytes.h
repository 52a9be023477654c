// Byte comparison for the browser build, whose C library compares a byte
// at a time.
#pragma once

#include <cstddef>

namespace webhost {

// As memcmp: below, at or above zero as the first byte that differs is
// smaller or larger in `a` (as unsigned char); zero when all `n` are equal.
int CompareBytes(const void* a, const void* b, std::size_t n);

}  // namespace webhost
