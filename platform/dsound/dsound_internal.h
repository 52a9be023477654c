// DirectSound's side of the stand-in's reset.
#pragma once

namespace platform::dsound {

// Frees the buffers whose device went away while the program still held
// them, as the end of a process does.
void ResetForTests();

}  // namespace platform::dsound
