// KERNEL32's side of the stand-in's reset.
#pragma once

namespace platform::kernel {

// Closes every file and event handle still open, as the end of a process does.
void ResetForTests();

}  // namespace platform::kernel
