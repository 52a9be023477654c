// Code page 932 conversions through our own table (cp932_table.inc, read off
// glibc's iconv by tools/cp932), so that every host converts alike: the
// browser's C library has no CP932 converter at all. Bytes that are no
// character become "?", as the C library's converter reports them.
#include <algorithm>
#include <array>
#include <cstdint>
#include <mutex>

#include <windows.h>

#include "platform/user/user_internal.h"

namespace platform::user {
namespace {

#include "platform/user/cp932_table.inc"

constexpr bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// The character of a lead and trail byte, 0 when the pair is none.
std::uint16_t DoubleByte(unsigned char lead, unsigned char trail) {
    if (trail < 0x40 || trail > 0xFC) return 0;
    unsigned row = lead <= 0x9F ? lead - 0x81u : lead - 0xE0u + (0x9Fu - 0x81u + 1);
    return kDoubleByte[row * (0xFC - 0x40 + 1) + (trail - 0x40u)];
}

void AppendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Unicode -> code, built once from the forward tables: the first code of a
// character wins unless the overrides name another.
const std::array<std::uint16_t, 0x10000>& BackTable() {
    static std::array<std::uint16_t, 0x10000> table{};
    static std::once_flag built;
    std::call_once(built, [] {
        // Filled from the last code to the first so that the first one stays,
        // pairs before single bytes so that a single byte beats a pair.
        for (unsigned lead = 0xFC; lead >= 0x81; --lead) {
            if (!IsLeadByte(static_cast<unsigned char>(lead))) continue;
            for (unsigned trail = 0xFC; trail >= 0x40; --trail) {
                std::uint16_t u = DoubleByte(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail));
                if (u != 0) table[u] = static_cast<std::uint16_t>(lead << 8 | trail);
            }
        }
        for (unsigned b = 0xFF; b > 0; --b)
            if (kSingleByte[b] != 0) table[kSingleByte[b]] = static_cast<std::uint16_t>(b);
        for (auto [unicode, code] : kBackOverrides) table[unicode] = code;
    });
    return table;
}

}  // namespace

std::u16string Cp932ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto b = static_cast<unsigned char>(text[i]);
        if (IsLeadByte(b)) {
            std::uint16_t u = i + 1 < text.size() ? DoubleByte(b, static_cast<unsigned char>(text[i + 1])) : 0;
            // A pair that is no character costs only its lead byte, as with iconv.
            if (u == 0) {
                out += u'?';
            } else {
                out += static_cast<char16_t>(u);
                ++i;
            }
        } else if (b == 0 || kSingleByte[b] != 0) {
            out += static_cast<char16_t>(kSingleByte[b]);
        } else {
            out += u'?';
        }
    }
    return out;
}

std::string Cp932ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 3 / 2);
    for (char16_t c : Cp932ToUtf16(text)) AppendUtf8(out, c);
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
            continue;
        }
        if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
        AppendUtf8(out, c);
    }
    return out;
}

std::string Utf16ToCp932(const std::uint16_t* text, std::size_t length) {
    const auto& back = BackTable();
    std::string out;
    out.reserve(length * 2);
    for (std::size_t i = 0; i < length; ++i) {
        std::uint16_t c = text[i];
        std::uint16_t code = c == 0 ? 0 : back[c];
        if (c != 0 && code == 0) {
            out += '?';
        } else if (code > 0xFF) {
            out += static_cast<char>(code >> 8);
            out += static_cast<char>(code & 0xFF);
        } else {
            out += static_cast<char>(code);
        }
    }
    return out;
}

}  // namespace platform::user

using platform::user::Cp932ToUtf16;

// The stand-in's ANSI code page is 932, so CP_ACP and 932 are one converter.
int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar) {
    if (!lpMultiByteStr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
        (cchWideChar > 0 && !lpWideCharStr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (CodePage != CP_ACP && CodePage != 932) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (dwFlags & ~static_cast<DWORD>(MB_PRECOMPOSED | MB_ERR_INVALID_CHARS)) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    // With -1 the text runs to its zero, which is converted too.
    std::size_t size = cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : static_cast<std::size_t>(cbMultiByte);
    std::u16string wide = Cp932ToUtf16(std::string_view(lpMultiByteStr, size));
    if (wide.size() > 0x7FFFFFFF) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int needed = static_cast<int>(wide.size());
    if (cchWideChar == 0) return needed;
    if (needed > cchWideChar) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(wide.begin(), wide.end(), lpWideCharStr);
    return needed;
}
