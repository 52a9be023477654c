// String tables and USER's own formatter.
//
// LoadStringA and LoadStringW read the RT_STRING blocks as Windows stores
// them (sixteen counted UTF-16 strings per block, block n + 1 holding ids
// 16n to 16n + 15); LoadStringA converts to the ANSI code page, 932 for this
// program, LoadStringW hands out the UTF-16 text as it stands.
//
// wsprintfA knows what USER32's does and no more: %c %d %i %u %x %X %s %S
// and %%, the flags "-", "#" and "0", a width, a precision, and the size
// prefixes "h", "l" and "I64"; no floating point and no "*". Its output
// stops at 1023 characters and a terminating zero (the documented limit of
// 1024 bytes), never splitting a double-byte character.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/trace/trace.h"
#include "platform/user/user_internal.h"

namespace {

constexpr std::size_t kFormatLimit = 1024;

bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Bytes of a code page 932 text that hold whole characters, at most `limit`.
std::size_t WholeCharacters(const char* text, std::size_t length, std::size_t limit) {
    std::size_t i = 0;
    while (i < length) {
        std::size_t step = IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < length ? 2 : 1;
        if (i + step > limit) break;
        i += step;
    }
    return i;
}

class Writer {
public:
    explicit Writer(char* out) : out_(out) {}
    void Put(char c) {
        if (length_ < kFormatLimit - 1) out_[length_] = c;
        ++wanted_;
        length_ = std::min(wanted_, kFormatLimit - 1);
    }
    void Put(const char* text, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) Put(text[i]);
    }
    void Pad(char c, int n) {
        for (int i = 0; i < n; ++i) Put(c);
    }
    int Finish() {
        std::size_t n = length_;
        if (wanted_ > n) {
            // Cut short: a lead byte whose second byte did not fit goes too.
            std::size_t i = 0, last = 0;
            while (i < n) {
                last = i;
                i += IsLeadByte(static_cast<unsigned char>(out_[i])) ? 2 : 1;
            }
            if (i > n) n = last;
        }
        out_[n] = '\0';
        return static_cast<int>(n);
    }

private:
    char* out_;
    std::size_t length_ = 0;
    std::size_t wanted_ = 0;
};

struct Conversion {
    bool left = false;
    bool prefix = false;
    bool zero = false;
    int width = 0;
    int precision = -1;
    enum { Default, Short, Long, Long64 } size = Default;
    char type = 0;
};

const char* ParseConversion(const char* p, Conversion& conv) {
    for (;; ++p) {
        if (*p == '-')
            conv.left = true;
        else if (*p == '#')
            conv.prefix = true;
        else if (*p == '0')
            conv.zero = true;
        else
            break;
    }
    while (*p >= '0' && *p <= '9') conv.width = std::min(conv.width * 10 + (*p++ - '0'), 4096);
    if (*p == '.') {
        conv.precision = 0;
        ++p;
        while (*p >= '0' && *p <= '9') conv.precision = std::min(conv.precision * 10 + (*p++ - '0'), 4096);
    }
    if (*p == 'h')
        conv.size = Conversion::Short, ++p;
    else if (*p == 'l')
        conv.size = Conversion::Long, ++p;
    else if (p[0] == 'I' && p[1] == '6' && p[2] == '4')
        conv.size = Conversion::Long64, p += 3;
    conv.type = *p;
    return *p ? p + 1 : p;
}

void PutField(Writer& w, const Conversion& conv, const char* text, std::size_t length) {
    int pad = conv.width > static_cast<int>(length) ? conv.width - static_cast<int>(length) : 0;
    if (!conv.left) w.Pad(' ', pad);
    w.Put(text, length);
    if (conv.left) w.Pad(' ', pad);
}

void PutNumber(Writer& w, const Conversion& conv, std::uint64_t magnitude, bool negative) {
    char digits[24];
    int n = 0;
    bool hex = conv.type == 'x' || conv.type == 'X';
    const char* alphabet = conv.type == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
    unsigned base = hex ? 16 : 10;
    do {
        digits[n++] = alphabet[magnitude % base];
        magnitude /= base;
    } while (magnitude);
    int zeros = conv.precision > n ? conv.precision - n : 0;
    int sign = negative ? 1 : (hex && conv.prefix ? 2 : 0);
    int used = sign + zeros + n;
    if (conv.zero && !conv.left && conv.precision < 0 && conv.width > used) {
        zeros += conv.width - used;
        used = conv.width;
    }
    int pad = conv.width > used ? conv.width - used : 0;
    if (!conv.left) w.Pad(' ', pad);
    if (negative)
        w.Put('-');
    else if (hex && conv.prefix)
        w.Put("0x", 1), w.Put(conv.type);
    w.Pad('0', zeros);
    while (n) w.Put(digits[--n]);
    if (conv.left) w.Pad(' ', pad);
}

}  // namespace

namespace {

// The counted UTF-16 text of string `id` inside its RT_STRING block, or
// nothing (an empty string is no string to LoadString).
struct TableString {
    const std::uint8_t* units = nullptr;  // little-endian UTF-16, not terminated
    std::size_t length = 0;
};

TableString FindTableString(HINSTANCE instance, UINT id) {
    HRSRC block = FindResourceA(instance, MAKEINTRESOURCEA((id >> 4) + 1), RT_STRING);
    if (!block) return {};
    HGLOBAL data = LoadResource(instance, block);
    const auto* bytes = static_cast<const std::uint8_t*>(LockResource(data));
    std::size_t size = SizeofResource(instance, block);
    if (!bytes) return {};
    // Walk the counted strings up to ours; a block cut short holds no more.
    std::size_t at = 0;
    std::size_t length = 0;
    for (UINT i = 0; i <= (id & 15); ++i) {
        if (at + 2 > size) return {};
        length = static_cast<std::size_t>(bytes[at] | (bytes[at + 1] << 8));
        at += 2;
        if (i < (id & 15)) at += 2 * length;
    }
    if (length == 0 || at + 2 * length > size) return {};
    return {bytes + at, length};
}

}  // namespace

int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
    platform::TraceCall("LoadStringA");
    if (!lpBuffer || cchBufferMax <= 0) return 0;
    lpBuffer[0] = '\0';
    TableString found = FindTableString(hInstance, uID);
    std::u16string wide(found.length, u'\0');
    for (std::size_t i = 0; i < found.length; ++i)
        wide[i] = static_cast<char16_t>(found.units[2 * i] | (found.units[2 * i + 1] << 8));
    std::string ansi = platform::user::Utf16ToCp932(reinterpret_cast<const std::uint16_t*>(wide.data()), wide.size());
    std::size_t n = WholeCharacters(ansi.data(), ansi.size(), static_cast<std::size_t>(cchBufferMax) - 1);
    std::memcpy(lpBuffer, ansi.data(), n);
    lpBuffer[n] = '\0';
    return static_cast<int>(n);
}

// The text as the table holds it: cut at the buffer's size in characters
// (a surrogate pair may be split, as Windows splits it), or, with a size of
// zero, a read-only pointer to the text inside the resource in place of it.
int WINAPI LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax) {
    platform::TraceCall("LoadStringW");
    if (!lpBuffer || cchBufferMax < 0) return 0;
    TableString found = FindTableString(hInstance, uID);
    if (cchBufferMax == 0) {
        const void* text = found.units;
        std::memcpy(static_cast<void*>(lpBuffer), &text, sizeof(text));
        return static_cast<int>(found.length);
    }
    std::size_t n = std::min(found.length, static_cast<std::size_t>(cchBufferMax) - 1);
    for (std::size_t i = 0; i < n; ++i)
        lpBuffer[i] = static_cast<WCHAR>(found.units[2 * i] | (found.units[2 * i + 1] << 8));
    lpBuffer[n] = 0;
    return static_cast<int>(n);
}

int WINAPI wvsprintfA(LPSTR lpOut, LPCSTR lpFmt, va_list arglist) {
    if (!lpOut) return 0;
    Writer w(lpOut);
    if (!lpFmt) return w.Finish();
    va_list args;
    va_copy(args, arglist);
    for (const char* p = lpFmt; *p;) {
        if (*p != '%') {
            w.Put(*p++);
            continue;
        }
        ++p;
        if (*p == '%') {
            w.Put(*p++);
            continue;
        }
        Conversion conv;
        p = ParseConversion(p, conv);
        switch (conv.type) {
            case 'c':
            case 'C': {
                int value = va_arg(args, int);
                bool wide = conv.type == 'C' ? conv.size != Conversion::Short : conv.size == Conversion::Long;
                if (wide) {
                    auto unit = static_cast<std::uint16_t>(value & 0xFFFF);
                    std::string ansi = platform::user::Utf16ToCp932(&unit, 1);
                    PutField(w, conv, ansi.data(), ansi.size());
                } else {
                    char c = static_cast<char>(value);
                    PutField(w, conv, &c, 1);
                }
                break;
            }
            case 'd':
            case 'i': {
                std::int64_t v = conv.size == Conversion::Long64 ? va_arg(args, long long) : va_arg(args, int);
                std::uint64_t magnitude = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
                PutNumber(w, conv, magnitude, v < 0);
                break;
            }
            case 'u':
            case 'x':
            case 'X': {
                std::uint64_t v =
                    conv.size == Conversion::Long64 ? va_arg(args, unsigned long long) : va_arg(args, unsigned int);
                PutNumber(w, conv, v, false);
                break;
            }
            case 's':
            case 'S': {
                bool wide = conv.type == 'S' ? conv.size != Conversion::Short : conv.size == Conversion::Long;
                std::string text;
                if (wide) {
                    const auto* s = va_arg(args, const std::uint16_t*);
                    if (s) {
                        std::size_t n = 0;
                        while (s[n]) ++n;
                        text = platform::user::Utf16ToCp932(s, n);
                    } else {
                        text = "(null)";
                    }
                } else {
                    const char* s = va_arg(args, const char*);
                    text = s ? s : "(null)";
                }
                std::size_t n = text.size();
                if (conv.precision >= 0) n = WholeCharacters(text.data(), n, static_cast<std::size_t>(conv.precision));
                PutField(w, conv, text.data(), n);
                break;
            }
            case '\0': break;
            default:
                // An unknown type letter is written as it stands.
                w.Put(conv.type);
                break;
        }
    }
    va_end(args);
    return w.Finish();
}

int WINAPIV wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...) {
    va_list args;
    va_start(args, lpFmt);
    int n = wvsprintfA(lpOut, lpFmt, args);
    va_end(args);
    return n;
}
