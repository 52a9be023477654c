// Code page 932 conversions through the C library's iconv, which knows
// Microsoft's variant of Shift JIS (the NEC and IBM extensions, 0x5C as the
// backslash). Should the converter be missing, ASCII and the half-width
// katakana are still converted by hand and everything else becomes "?".
#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include <windows.h>

#include "platform/user/user_internal.h"

namespace platform::user {
namespace {

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts all of `in`; an input unit that cannot be converted becomes
    // "?" and the conversion goes on after it (`unit` bytes further).
    std::string Run(const char* in, std::size_t size, std::size_t unit) {
        std::string out;
        std::array<char, 256> chunk;
        char* src = const_cast<char*>(in);
        std::size_t left = size;
        while (left > 0) {
            char* dst = chunk.data();
            std::size_t room = chunk.size();
            std::size_t r = iconv(cd_, &src, &left, &dst, &room);
            out.append(chunk.data(), static_cast<std::size_t>(dst - chunk.data()));
            if (r != static_cast<std::size_t>(-1)) continue;
            if (errno == E2BIG) continue;
            // EILSEQ (no such character) or EINVAL (cut off at the end).
            out += '?';
            std::size_t skip = std::min(unit, left);
            src += skip;
            left -= skip;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

private:
    iconv_t cd_;
};

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

bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

}  // namespace

std::string Cp932ToUtf8(std::string_view text) {
    Converter conv("UTF-8", "CP932");
    if (conv.ok()) return conv.Run(text.data(), text.size(), 1);
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80)
            out += static_cast<char>(b);
        else if (b >= 0xA1 && b <= 0xDF)
            AppendUtf8(out, 0xFF61 + (b - 0xA1));
        else {
            out += '?';
            if (IsLeadByte(b) && i + 1 < text.size()) ++i;
        }
    }
    return out;
}

std::u16string Cp932ToUtf16(std::string_view text) {
    // The UTF-8 path already knows every character of the code page; the
    // texts are short, so the detour costs nothing worth a second table.
    std::string utf8 = Cp932ToUtf8(text);
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        auto b = static_cast<unsigned char>(utf8[i]);
        std::uint32_t c;
        std::size_t n;
        if (b < 0x80) {
            c = b;
            n = 1;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            n = 2;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F;
            n = 3;
        } else {
            c = b & 0x07;
            n = 4;
        }
        if (i + n > utf8.size()) break;
        for (std::size_t k = 1; k < n; ++k) c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += n;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
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
    std::string bytes;
    bytes.reserve(length * 2);
    for (std::size_t i = 0; i < length; ++i) {
        bytes += static_cast<char>(text[i] & 0xFF);
        bytes += static_cast<char>(text[i] >> 8);
    }
    Converter conv("CP932", "UTF-16LE");
    if (conv.ok()) return conv.Run(bytes.data(), bytes.size(), 2);
    std::string out;
    for (std::size_t i = 0; i < length; ++i) {
        std::uint16_t c = text[i];
        if (c < 0x80)
            out += static_cast<char>(c);
        else if (c >= 0xFF61 && c <= 0xFF9F)
            out += static_cast<char>(0xA1 + (c - 0xFF61));
        else
            out += '?';
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
