// What a host (or a test through it) asks of the stand-in as a whole: one
// reset for every module (a module added later is reset by adding one line
// here, not in every test host), the flush and delivery of notifications,
// the pretend card's settings, and the view of the emulated screen.
#include "platform/audio/stream.h"
#include "platform/ddraw/ddraw_internal.h"
#include "platform/dsound/dsound_internal.h"
#include "platform/gdi/gdi_internal.h"
#include "platform/video/screen.h"
#include "platform/host/host_events.h"
#include "platform/kernel/kernel_internal.h"
#include "platform/trace/trace.h"
#include "platform/user/user_internal.h"
#include "platform/winmm/midi_internal.h"
#include "platform/winmm/timer_internal.h"

namespace platform {

void ResetForTests() {
    // Streams first: their notifications may still post to windows.
    midi::ResetForTests();
    dsound::ResetForTests();
    audio::ResetForTests();
    user::ResetForTests();
    ddraw::ResetForTests();
    gdi::ResetForTests();
    video::ResetForTests();
    kernel::ResetForTests();
    winmm::ResetTimerForTests();
    ClearFaults();
    ClearTrace();
}

void DesktopChanged() { video::DesktopChanged(); }

void FinishPendingWork() { midi::FlushNotifications(); }
void DeliverNotifications() { midi::DeliverNotifications(); }

void SetEmulationCaps(DWORD caps, DWORD fxCaps) {
    auto& c = ddraw::CurrentConfig();
    c.helCaps = caps;
    c.helFxCaps = fxCaps;
}

void SetVideoMemory(std::size_t bytes) { ddraw::CurrentConfig().videoMemory = bytes; }

ScreenView CurrentScreen() {
    const auto& s = video::TheScreen();
    return ScreenView{s.width, s.height, s.pitch, s.pixels.data(), s.palette.data()};
}

}  // namespace platform
