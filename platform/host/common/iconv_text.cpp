// Character-set conversion through the C library's iconv, shared by the
// hosts that have it.
#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>

#include "platform/host/host_text.h"

namespace host {
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

}  // namespace

bool ConvertText(const char* to, const char* from, const char* in, std::size_t size, std::size_t unit,
                 std::string& out) {
    Converter conv(to, from);
    if (!conv.ok()) return false;
    out = conv.Run(in, size, unit);
    return true;
}

}  // namespace host
