// The other half of the door: what the stand-in offers its hosts. A host
// reports what happened on its machine (windows moved, focus won or lost),
// reads what it shows (the windows and the cursor), and a test host resets
// the whole stand-in between runs.
#pragma once

namespace platform {

// Every module of the stand-in back to a fresh process's state: windows,
// classes and messages, DirectDraw and GDI objects, the emulated screen,
// kernel handles, sound buffers (orphans included), MIDI streams and
// sequencers with their notifications, the audio stream, the call log and
// the armed faults. Hosts keep their own state and reset it themselves.
void ResetForTests();

// Returns once the stand-in's own threads (the MIDI notification thread)
// have finished everything handed to them so far; at once on such a thread.
// A host whose clock is virtual calls it before it lets a wait time out, so
// that a timeout means nothing in the stand-in could still end the wait.
void FinishPendingWork();

}  // namespace platform
