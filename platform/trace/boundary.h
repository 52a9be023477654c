// Where a Windows call meets C++: the heap running out inside a call must
// fail that call with Windows' answer, never throw std::bad_alloc through the
// caller's frames (which may be C, or the game's own window procedure).
#pragma once

#include <windows.h>

#include <new>

namespace platform {

// Runs the body of a call that allocates. Out of memory, the call answers
// `failed`, and sets the thread's last error to `error` unless it is 0 (for
// the calls that report through their result alone, such as winmm's).
template <typename Result, typename Body>
Result FailWithoutMemory(Result failed, DWORD error, Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        if (error != 0) SetLastError(error);
        return failed;
    }
}

}  // namespace platform
