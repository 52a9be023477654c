// Code page 932 conversions through the host's converter, which knows
// Microsoft's variant of Shift JIS (the NEC and IBM extensions, 0x5C as the
// backslash). Should the converter be missing, ASCII and the half-width
// katakana are still converted by hand and everything else becomes "?".
#include "platform/host/host_text.h"
#include "platform/user/user_internal.h"

namespace platform::user {
namespace {

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
    std::string out;
    if (host::ConvertText("UTF-8", "CP932", text.data(), text.size(), 1, out)) return out;
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
    std::string out;
    if (host::ConvertText("CP932", "UTF-16LE", bytes.data(), bytes.size(), 2, out)) return out;
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
