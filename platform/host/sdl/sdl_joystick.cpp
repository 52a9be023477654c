// The joystick services over the host's first game controller, or its first
// joystick when no controller is known to SDL: four axes in 0..65535 and up
// to 32 buttons, as the multimedia joystick driver reports them. A game
// controller's direction pad also moves the stick axes.
#include <algorithm>
#include <cstring>

#include "platform/host/host.h"
#include "platform/host/sdl/sdl_host.h"

namespace sdlhost {
namespace {

SDL_GameController* controller = nullptr;
SDL_Joystick* joystick = nullptr;

void Close() {
    if (controller)
        SDL_GameControllerClose(controller);
    else if (joystick)
        SDL_JoystickClose(joystick);
    controller = nullptr;
    joystick = nullptr;
}

bool Open() {
    if (joystick && SDL_JoystickGetAttached(joystick)) return true;
    Close();
    if (!InputReady()) return false;
    int count = SDL_NumJoysticks();
    for (int i = 0; i < count && !joystick; ++i) {
        if (!SDL_IsGameController(i)) continue;
        if ((controller = SDL_GameControllerOpen(i))) joystick = SDL_GameControllerGetJoystick(controller);
    }
    for (int i = 0; i < count && !joystick; ++i) joystick = SDL_JoystickOpen(i);
    return joystick != nullptr;
}

unsigned Axis(Sint16 value) { return static_cast<unsigned>(static_cast<int>(value) + 32768); }

}  // namespace

void HandleJoystickEvent(const SDL_Event& event) {
    // A device went away or arrived: look again at the next query.
    if (event.type == SDL_JOYDEVICEREMOVED || event.type == SDL_CONTROLLERDEVICEREMOVED) {
        if (joystick && !SDL_JoystickGetAttached(joystick)) Close();
    }
}

}  // namespace sdlhost

namespace host {

using namespace sdlhost;

int JoystickCount() { return Open() ? 1 : 0; }

bool JoystickGetCaps(int index, JoystickCaps& caps) {
    if (index != 0 || !Open()) return false;
    std::memset(&caps, 0, sizeof(caps));
    caps.xMax = caps.yMax = caps.zMax = caps.rMax = 65535;
    if (controller) {
        caps.buttonCount = SDL_CONTROLLER_BUTTON_DPAD_UP;  // the buttons before the direction pad
    } else {
        caps.buttonCount = static_cast<unsigned>(std::clamp(SDL_JoystickNumButtons(joystick), 0, 32));
    }
    const char* name = controller ? SDL_GameControllerName(controller) : SDL_JoystickName(joystick);
    std::strncpy(caps.name, name ? name : "Joystick", sizeof(caps.name) - 1);
    return true;
}

bool JoystickGetState(int index, JoystickState& state) {
    if (index != 0 || !Open()) return false;
    SDL_JoystickUpdate();
    state = JoystickState{32767, 32767, 32767, 32767, 0};
    if (controller) {
        state.x = Axis(SDL_GameControllerGetAxis(controller, SDL_CONTROLLER_AXIS_LEFTX));
        state.y = Axis(SDL_GameControllerGetAxis(controller, SDL_CONTROLLER_AXIS_LEFTY));
        state.z = Axis(SDL_GameControllerGetAxis(controller, SDL_CONTROLLER_AXIS_RIGHTX));
        state.r = Axis(SDL_GameControllerGetAxis(controller, SDL_CONTROLLER_AXIS_RIGHTY));
        if (SDL_GameControllerGetButton(controller, SDL_CONTROLLER_BUTTON_DPAD_LEFT)) state.x = 0;
        if (SDL_GameControllerGetButton(controller, SDL_CONTROLLER_BUTTON_DPAD_RIGHT)) state.x = 65535;
        if (SDL_GameControllerGetButton(controller, SDL_CONTROLLER_BUTTON_DPAD_UP)) state.y = 0;
        if (SDL_GameControllerGetButton(controller, SDL_CONTROLLER_BUTTON_DPAD_DOWN)) state.y = 65535;
        for (int b = 0; b < SDL_CONTROLLER_BUTTON_DPAD_UP; ++b)
            if (SDL_GameControllerGetButton(controller, static_cast<SDL_GameControllerButton>(b)))
                state.buttons |= 1u << b;
        return true;
    }
    int axes = SDL_JoystickNumAxes(joystick);
    unsigned* out[] = {&state.x, &state.y, &state.z, &state.r};
    for (int a = 0; a < 4 && a < axes; ++a) *out[a] = Axis(SDL_JoystickGetAxis(joystick, a));
    if (SDL_JoystickNumHats(joystick) > 0) {
        Uint8 hat = SDL_JoystickGetHat(joystick, 0);
        if (hat & SDL_HAT_LEFT) state.x = 0;
        if (hat & SDL_HAT_RIGHT) state.x = 65535;
        if (hat & SDL_HAT_UP) state.y = 0;
        if (hat & SDL_HAT_DOWN) state.y = 65535;
    }
    int buttons = std::min(SDL_JoystickNumButtons(joystick), 32);
    for (int b = 0; b < buttons; ++b)
        if (SDL_JoystickGetButton(joystick, b)) state.buttons |= 1u << b;
    return true;
}

}  // namespace host
