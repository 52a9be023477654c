// Small helpers shared by the DirectSound and sound-set tests: a window to
// cooperate with, and measurements of rendered 16-bit stereo.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace audio_checks {

inline LRESULT CALLBACK TestWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// A plain top-level window (after headless::Reset, which forgets windows).
inline HWND MakeWindow() {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = TestWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "SOUND_TEST";
    RegisterClassExA(&wc);
    return CreateWindowExA(0, "SOUND_TEST", "sound test", WS_OVERLAPPEDWINDOW, 0, 0, 320, 240, nullptr, nullptr,
                           wc.hInstance, nullptr);
}

enum Channel { kLeft = 0, kRight = 1 };

inline int Peak(const std::vector<std::int16_t>& pcm, Channel ch) {
    int most = 0;
    for (std::size_t i = static_cast<std::size_t>(ch); i < pcm.size(); i += 2) most = std::max(most, std::abs(pcm[i]));
    return most;
}

// Frames from the first to the last one that is not silent (either side).
inline int SoundingFrames(const std::vector<std::int16_t>& pcm, int threshold = 0) {
    int first = -1, last = -1;
    for (std::size_t i = 0; i < pcm.size() / 2; ++i) {
        if (std::abs(pcm[2 * i]) > threshold || std::abs(pcm[2 * i + 1]) > threshold) {
            if (first < 0) first = static_cast<int>(i);
            last = static_cast<int>(i);
        }
    }
    return first < 0 ? 0 : last - first + 1;
}

inline double Rms(const std::vector<std::int16_t>& pcm, Channel ch) {
    double sum = 0;
    std::size_t n = 0;
    for (std::size_t i = static_cast<std::size_t>(ch); i < pcm.size(); i += 2, ++n) sum += double(pcm[i]) * pcm[i];
    return n ? std::sqrt(sum / static_cast<double>(n)) : 0.0;
}

}  // namespace audio_checks
