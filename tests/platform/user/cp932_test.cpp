// Our code page 932 table against the C library's converter, code by code:
// the table is what every host converts with, the browser's included.
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

#include "platform/user/user_internal.h"

namespace {

using platform::user::Cp932ToUtf16;
using platform::user::Utf16ToCp932;

class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (ok()) iconv_close(cd_);
    }
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    // The converted bytes, or nullopt-like empty + false when iconv refuses.
    bool Run(const std::string& in, std::string& out) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        std::size_t left = in.size();
        char buf[16];
        char* dst = buf;
        std::size_t room = sizeof buf;
        if (iconv(cd_, &src, &left, &dst, &room) == static_cast<std::size_t>(-1) || left != 0) return false;
        out.assign(buf, static_cast<std::size_t>(dst - buf));
        return true;
    }

private:
    iconv_t cd_;
};

bool IsLead(unsigned b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

TEST(CodePage932Table, EveryDoubleByteCodeReadsAsIconvReadsIt) {
    Iconv conv("UTF-16LE", "CP932");
    ASSERT_TRUE(conv.ok());
    int characters = 0;
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (!IsLead(lead)) continue;
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            std::string code{static_cast<char>(lead), static_cast<char>(trail)};
            std::string wide;
            std::u16string ours = Cp932ToUtf16(code);
            if (conv.Run(code, wide) && wide.size() == 2) {
                ++characters;
                ASSERT_EQ(ours.size(), 1u) << std::hex << lead << ' ' << trail;
                EXPECT_EQ(static_cast<unsigned>(ours[0]),
                          static_cast<unsigned char>(wide[0]) | static_cast<unsigned char>(wide[1]) << 8)
                    << std::hex << lead << ' ' << trail;
            } else {
                // No character: the lead byte reads as "?", the trail byte as itself.
                ASSERT_FALSE(ours.empty());
                EXPECT_EQ(ours[0], u'?') << std::hex << lead << ' ' << trail;
            }
        }
    }
    // JIS X 0208 with the NEC and IBM extensions: 7,915 characters or so.
    EXPECT_GT(characters, 7800);
}

TEST(CodePage932Table, EveryCharacterWritesAsIconvWritesIt) {
    Iconv conv("CP932", "UTF-16LE");
    ASSERT_TRUE(conv.ok());
    for (unsigned u = 1; u < 0x10000; ++u) {
        if (u >= 0xD800 && u <= 0xDFFF) continue;
        std::uint16_t unit = static_cast<std::uint16_t>(u);
        std::string in{static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
        std::string expected;
        if (!conv.Run(in, expected)) expected = "?";
        ASSERT_EQ(Utf16ToCp932(&unit, 1), expected) << std::hex << u;
    }
}

TEST(CodePage932Table, ABrokenSequenceLosesOnlyItsLeadByte) {
    EXPECT_EQ(Cp932ToUtf16("\x81\x7F"
                           "A"),
              u"?\x7F"
              u"A");
    EXPECT_EQ(Cp932ToUtf16("\x82\xA0\x82"), u"\u3042?") << "a lead byte cut off at the end";
    EXPECT_EQ(Cp932ToUtf16(std::string_view("a\0b", 3)), std::u16string(u"a\0b", 3));
}

}  // namespace
