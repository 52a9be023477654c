#include "platform/host/web/web_keys.h"

#include <cstring>

#include "platform/host/host_events.h"

namespace webhost {
namespace {

// What a keypad key without Num Lock types, as the non-extended key Windows reports.
// clang-format off
constexpr struct { const char* key; int virtualKey; } kKeypadOff[] = {
    {"Insert", VK_INSERT}, {"End", VK_END},  {"ArrowDown", VK_DOWN}, {"PageDown", VK_NEXT},
    {"ArrowLeft", VK_LEFT}, {"Clear", VK_CLEAR}, {"ArrowRight", VK_RIGHT}, {"Home", VK_HOME},
    {"ArrowUp", VK_UP},    {"PageUp", VK_PRIOR},
};
// clang-format on

// The one character `key` names, 0 for a key's name ("Enter") or nothing.
char32_t OneCharacter(const char* key) {
    const auto* b = reinterpret_cast<const unsigned char*>(key);
    int length = b[0] < 0x80 ? 1 : (b[0] >> 5) == 6 ? 2 : (b[0] >> 4) == 14 ? 3 : (b[0] >> 3) == 30 ? 4 : 0;
    if (length == 0 || b[0] == 0) return 0;
    char32_t c = length == 1 ? b[0] : b[0] & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if ((b[i] & 0xC0) != 0x80) return 0;
        c = (c << 6) | (b[i] & 0x3F);
    }
    return b[length] == 0 ? c : 0;
}

}  // namespace

WebKey TranslateKey(const char* code, const char* key) {
    if (!key) key = "";
    const platform::user::KeyPlace* place = platform::user::PlaceOfCode(code);
    if (!place) return WebKey{0, 0, false};
    WebKey k{platform::user::LayoutVirtualKey(*place, OneCharacter(key)), place->scanCode, place->extended};
    // The keypad's digits are digits only with Num Lock; without it the
    // browser names the arrow or editing key the key carries.
    if (k.virtualKey >= VK_NUMPAD0 && k.virtualKey <= VK_NUMPAD9 && !(key[0] >= '0' && key[0] <= '9'))
        for (const auto& off : kKeypadOff)
            if (std::strcmp(off.key, key) == 0) k.virtualKey = off.virtualKey;
    return k;
}

}  // namespace webhost
