#include "platform/trace/trace.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <new>

namespace platform {
namespace {

struct ArmedFault {
    FaultPlan plan;
    int seen = 0;
    bool spent = false;
    bool fired = false;
    bool reported = false;  // handed out by TakeUnfiredFaults
};

struct TraceState {
    std::mutex lock;
    bool tracing = false;
    std::vector<std::string> calls;
    std::vector<ArmedFault> faults;
    std::vector<std::string> unfiredCleared;
    // Read without the lock, so that calls cost nothing while no test
    // traces or arms a fault (blits run thousands of times a frame).
    std::atomic<bool> tracingOn{false};
    std::atomic<bool> anyFaults{false};
};

TraceState& TraceLog() {
    static TraceState t;
    return t;
}

}  // namespace

void TraceCall(const char* name) {
    auto& t = TraceLog();
    if (!t.tracingOn.load(std::memory_order_acquire)) return;
    std::lock_guard guard(t.lock);
    // The log is the tests' own: a call is never failed for want of room in it.
    try {
        if (t.tracing) t.calls.emplace_back(name);
    } catch (const std::bad_alloc&) {
    }
}

void Unimplemented(const char* name) {
    auto& t = TraceLog();
    if (!t.tracingOn.load(std::memory_order_acquire)) return;
    std::lock_guard guard(t.lock);
    try {
        std::string note = std::string(kUnimplemented) + name;
        if (t.tracing && std::find(t.calls.begin(), t.calls.end(), note) == t.calls.end()) t.calls.push_back(note);
    } catch (const std::bad_alloc&) {
    }
}

bool InjectedFault(const char* name, std::int32_t& code) {
    auto& t = TraceLog();
    if (!t.anyFaults.load(std::memory_order_acquire)) return false;
    std::lock_guard guard(t.lock);
    for (auto& f : t.faults) {
        if (f.spent || f.plan.call != name) continue;
        int n = f.seen++;
        bool hit = false;
        if (n == f.plan.skip)
            hit = true;
        else if (n > f.plan.skip && f.plan.every > 0 && (n - f.plan.skip) % f.plan.every == 0)
            hit = true;
        if (hit && f.plan.every == 0) f.spent = true;
        if (hit) {
            f.fired = true;
            code = f.plan.code;
            return true;
        }
    }
    return false;
}

void ArmFault(const FaultPlan& plan) {
    auto& t = TraceLog();
    std::lock_guard guard(t.lock);
    t.faults.push_back(ArmedFault{plan});
    t.anyFaults.store(true, std::memory_order_release);
}

void ClearFaults() {
    auto& t = TraceLog();
    std::lock_guard guard(t.lock);
    for (const auto& f : t.faults)
        if (!f.fired && !f.reported) t.unfiredCleared.push_back(f.plan.call);
    t.faults.clear();
    t.anyFaults.store(false, std::memory_order_release);
}

std::vector<std::string> TakeUnfiredFaults() {
    auto& t = TraceLog();
    std::lock_guard guard(t.lock);
    std::vector<std::string> out;
    out.swap(t.unfiredCleared);
    for (auto& f : t.faults) {
        if (f.fired || f.reported) continue;
        f.reported = true;
        out.push_back(f.plan.call);
    }
    return out;
}

namespace {
std::vector<const char*>& PointRegistry() {
    static std::vector<const char*> points;  // filled during static initialisation
    return points;
}
}  // namespace

FaultPoint::FaultPoint(const char* name) : name_(name) { PointRegistry().push_back(name); }

std::vector<std::string> FaultPoints() {
    std::vector<std::string> names(PointRegistry().begin(), PointRegistry().end());
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

void SetTracing(bool on) {
    auto& t = TraceLog();
    std::lock_guard guard(t.lock);
    t.tracing = on;
    t.tracingOn.store(on, std::memory_order_release);
}

std::vector<std::string> TracedCalls() {
    auto& t = TraceLog();
    std::lock_guard guard(t.lock);
    return t.calls;
}

void ClearTrace() {
    auto& t = TraceLog();
    std::lock_guard guard(t.lock);
    t.calls.clear();
}

}  // namespace platform
