// The WAVE reader: an effect loaded from a resource into a set of copies,
// played once and looping, its controls set, and the mix rendered.
#include <windows.h>

#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "platform/host/headless/headless.h"
#include "platform/host/headless/headless_audio.h"
#include "sound/sound.h"

namespace {

HWND Window() {
    static HWND window = [] {
        headless::Reset();
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "WaveFuzz";
        RegisterClassExA(&wc);
        return CreateWindowExA(0, "WaveFuzz", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    }();
    return window;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    HWND window = Window();
    if (!soundReady && !SoundOpen(window)) return 0;
    fuzz::InputResource resource(-1, "WAVE", 118, data, size);
    SoundSet set;
    std::memset(&set, 0, sizeof(set));
    if (SoundLoad(&set, MAKEINTRESOURCEA(118), 2)) {
        SoundPlay(&set);
        SoundSetVolume(&set, 200);
        SoundSetPan(&set, 40);
        SoundSetFrequency(&set, 90);
        SoundPlayLooping(&set);
        headless::RenderAudio(256);
        SoundStopSet(&set);
        SoundFreeSet(&set);
    }
    return 0;
}
