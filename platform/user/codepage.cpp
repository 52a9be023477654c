// Code page 932 conversions through the C library's iconv, which knows
// Microsoft's variant of Shift JIS (the NEC and IBM extensions, 0x5C as the
// backslash). Should the converter be missing, ASCII and the half-width
// katakana are still converted by hand and everything else becomes "?".
#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>

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
