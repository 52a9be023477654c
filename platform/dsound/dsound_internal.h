// DirectSound's side of the stand-in's reset.
#pragma once

namespace platform::dsound {

// Frees every device the program did not release, and its buffers, as the
// end of a process does.
void ResetForTests();

}  // namespace platform::dsound
