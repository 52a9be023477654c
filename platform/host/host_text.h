// Character-set conversion, a host facility: every host provides it (the
// ones we have through the C library's iconv).
#pragma once

#include <cstddef>
#include <string>

namespace host {

// Converts `size` bytes of `in` from the character set `from` to `to`
// (iconv's names: "CP932", "UTF-8", "UTF-16LE"). An input unit of `unit`
// bytes that has no counterpart becomes "?" and the conversion goes on after
// it. False, with `out` untouched, when the host cannot convert between the
// two sets at all.
bool ConvertText(const char* to, const char* from, const char* in, std::size_t size, std::size_t unit,
                 std::string& out);

}  // namespace host
