#include "platform/trace/trace.h"

#include <algorithm>
#include <atomic>
#include <mutex>

namespace platform {
namespace {

struct ArmedFault {
    FaultPlan plan;
    int seen = 0;
    bool spent = false;
};

struct TraceState {
    std::mutex lock;
    bool tracing = false;
    std::vector<std::string> calls;
    std::vector<ArmedFault> faults;
    // Read without the lock, so that calls cost nothing while no test
    // traces or arms a fault (blits run thousands of times a frame).
    std::atomic<bool> tracingOn{false};
    std::atomic<bool> anyFaults{false};
};

TraceState& T() {
    static TraceState t;
    return t;
}

}  // namespace

void TraceCall(const char* name) {
    auto& t = T();
    if (!t.tracingOn.load(std::memory_order_acquire)) return;
    std::lock_guard guard(t.lock);
    if (t.tracing) t.calls.emplace_back(name);
}

bool InjectedFault(const char* name, std::int32_t& code) {
    auto& t = T();
    if (!t.anyFaults.load(std::memory_order_acquire)) return false;
    std::lock_guard guard(t.lock);
    for (auto& f : t.faults) {
        if (f.spent || f.plan.call != name) continue;
        int n = f.seen++;
        bool hit = false;
        if (n == f.plan.skip) hit = true;
        else if (n > f.plan.skip && f.plan.every > 0 && (n - f.plan.skip) % f.plan.every == 0) hit = true;
        if (hit && f.plan.every == 0) f.spent = true;
        if (hit) {
            code = f.plan.code;
            return true;
        }
    }
    return false;
}

void ArmFault(const FaultPlan& plan) {
    auto& t = T();
    std::lock_guard guard(t.lock);
    t.faults.push_back(ArmedFault{plan});
    t.anyFaults.store(true, std::memory_order_release);
}

void ClearFaults() {
    auto& t = T();
    std::lock_guard guard(t.lock);
    t.faults.clear();
    t.anyFaults.store(false, std::memory_order_release);
}

void SetTracing(bool on) {
    auto& t = T();
    std::lock_guard guard(t.lock);
    t.tracing = on;
    t.tracingOn.store(on, std::memory_order_release);
}

std::vector<std::string> TracedCalls() {
    auto& t = T();
    std::lock_guard guard(t.lock);
    return t.calls;
}

void ClearTrace() {
    auto& t = T();
    std::lock_guard guard(t.lock);
    t.calls.clear();
}

}  // namespace platform
