// Writes the code page 932 table the stand-in converts with, read off the C
// library's iconv. Hosts without a CP932 converter (the browser's C library
// has none, and its Shift JIS lacks the NEC rows) convert with this table, and
// every host converts the same way.
//
//   cp932_gen OUT.inc
#include <iconv.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr bool IsLead(unsigned b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// The UTF-16 unit iconv gives for these bytes, or 0 when they are no character.
std::uint16_t ToUnicode(iconv_t cd, const std::string& bytes) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    unsigned char out[8];
    char* outp = reinterpret_cast<char*>(out);
    std::size_t outLeft = sizeof out;
    if (iconv(cd, &in, &inLeft, &outp, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0) return 0;
    if (sizeof out - outLeft != 2) return 0;  // outside the basic plane: not in 932
    return static_cast<std::uint16_t>(out[0] | out[1] << 8);
}

// The code page 932 bytes iconv gives for a UTF-16 unit (0 = none), as lead << 8 | trail.
unsigned FromUnicode(iconv_t cd, std::uint16_t unit) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char in[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    char* inp = in;
    std::size_t inLeft = 2;
    unsigned char out[8];
    char* outp = reinterpret_cast<char*>(out);
    std::size_t outLeft = sizeof out;
    if (iconv(cd, &inp, &inLeft, &outp, &outLeft) == static_cast<std::size_t>(-1)) return 0;
    std::size_t n = sizeof out - outLeft;
    if (n == 1) return out[0];
    if (n == 2) return static_cast<unsigned>(out[0]) << 8 | out[1];
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: cp932_gen OUT.inc\n");
        return 2;
    }
    iconv_t to = iconv_open("UTF-16LE", "CP932");
    iconv_t from = iconv_open("CP932", "UTF-16LE");
    if (to == reinterpret_cast<iconv_t>(-1) || from == reinterpret_cast<iconv_t>(-1)) {
        std::fprintf(stderr, "cp932_gen: this C library has no CP932 converter\n");
        return 1;
    }

    std::array<std::uint16_t, 256> single{};
    for (unsigned b = 0; b < 256; ++b)
        if (!IsLead(b)) single[b] = ToUnicode(to, std::string(1, static_cast<char>(b)));
    // NUL is a character too; 0 in the table means "none" for every other byte.
    std::vector<std::uint16_t> pairs;  // 60 lead bytes x trail 0x40..0xFC
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (!IsLead(lead)) continue;
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail)
            pairs.push_back(ToUnicode(to, std::string{static_cast<char>(lead), static_cast<char>(trail)}));
    }

    // The way back is the forward table inverted, first code wins; where
    // iconv chooses another code for a character (the duplicated NEC and IBM
    // rows), it is listed.
    std::map<std::uint16_t, unsigned> inverse;
    for (unsigned b = 0; b < 256; ++b)
        if (single[b] != 0 || b == 0) inverse.emplace(single[b], b);
    std::size_t k = 0;
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (!IsLead(lead)) continue;
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail, ++k)
            if (pairs[k] != 0) inverse.emplace(pairs[k], lead << 8 | trail);
    }
    std::vector<std::pair<std::uint16_t, unsigned>> overrides;
    for (unsigned u = 1; u < 0x10000; ++u) {
        if (u >= 0xD800 && u <= 0xDFFF) continue;
        unsigned want = FromUnicode(from, static_cast<std::uint16_t>(u));
        auto it = inverse.find(static_cast<std::uint16_t>(u));
        unsigned have = it == inverse.end() ? 0 : it->second;
        if (want != have) overrides.emplace_back(static_cast<std::uint16_t>(u), want);
    }

    FILE* out = std::fopen(argv[1], "wb");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    std::fprintf(out,
                 "// Code page 932 as Windows converts it. Written by tools/cp932/cp932_gen;\n"
                 "// do not edit.\n"
                 "// clang-format off\n");
    std::fprintf(out, "constexpr std::uint16_t kSingleByte[256] = {\n");
    for (unsigned b = 0; b < 256; ++b)
        std::fprintf(out, "%s0x%04X,%s", b % 8 == 0 ? "    " : " ", single[b], b % 8 == 7 ? "\n" : "");
    std::fprintf(out, "};\n\n// Lead bytes 0x81-0x9F and 0xE0-0xFC, each with trail bytes 0x40-0xFC; 0 = none.\n");
    std::fprintf(out, "constexpr std::uint16_t kDoubleByte[%zu] = {\n", pairs.size());
    for (std::size_t i = 0; i < pairs.size(); ++i)
        std::fprintf(out, "%s0x%04X,%s", i % 8 == 0 ? "    " : " ", pairs[i], i % 8 == 7 ? "\n" : "");
    if (pairs.size() % 8 != 0) std::fprintf(out, "\n");
    std::fprintf(out, "};\n\n// Characters whose code is not the first one the tables above give them.\n");
    std::fprintf(out, "constexpr struct { std::uint16_t unicode, code; } kBackOverrides[%zu] = {\n", overrides.size());
    for (auto [u, c] : overrides) std::fprintf(out, "    {0x%04X, 0x%04X},\n", u, c);
    std::fprintf(out, "};\n// clang-format on\n");
    std::fclose(out);
    iconv_close(to);
    iconv_close(from);
    return 0;
}
