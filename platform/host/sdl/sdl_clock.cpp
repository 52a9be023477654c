// The SDL host's sleeps and timed waits: the real clock, which is the one
// host::Milliseconds reads.
#include <chrono>
#include <thread>

#include "platform/host/host.h"

namespace host {

void Sleep(std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool WaitFor(std::unique_lock<std::mutex>& guard, std::condition_variable& changed, const std::function<bool()>& ready,
             std::uint32_t ms) {
    return changed.wait_for(guard, std::chrono::milliseconds(ms), ready);
}

bool HasThreads() { return true; }

}  // namespace host
