// One reset for the whole stand-in, so that a module added later is reset
// by adding one line here rather than in every test host.
#include "platform/audio/stream.h"
#include "platform/ddraw/ddraw_internal.h"
#include "platform/dsound/dsound_internal.h"
#include "platform/gdi/gdi_internal.h"
#include "platform/gdi/screen.h"
#include "platform/host/host_events.h"
#include "platform/kernel/kernel_internal.h"
#include "platform/kernel/trace.h"
#include "platform/user/user_internal.h"
#include "platform/winmm/midi_internal.h"

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
    ClearFaults();
    ClearTrace();
}

void FinishPendingWork() { midi::FlushNotifications(); }

}  // namespace platform
