// SDL's keys as Windows virtual keys and PC scan codes. SDL's scan codes are
// the keys' USB usages, which USER's one table of places knows; the layout's
// rule (letters and digits by what they type, every other key by its place)
// is USER's too.
#include "platform/host/host_events.h"
#include "platform/host/sdl/sdl_host.h"

namespace sdlhost {

KeyCode TranslateKey(SDL_Scancode scancode, SDL_Keycode layoutKey) {
    const platform::user::KeyPlace* place = platform::user::PlaceOfUsage(static_cast<int>(scancode));
    if (!place) return KeyCode{0, 0, false};
    // A key that types a character has that character's code; the others'
    // codes are their scan codes with SDLK_SCANCODE_MASK.
    char32_t typed = (layoutKey & SDLK_SCANCODE_MASK) ? 0 : static_cast<char32_t>(layoutKey);
    return KeyCode{platform::user::LayoutVirtualKey(*place, typed), place->scanCode, place->extended};
}

}  // namespace sdlhost
