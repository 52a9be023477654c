#include "platform/kernel/trace.h"

#include <algorithm>
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
};

TraceState& T() {
    static TraceState t;
    return t;
}

}  // namespace

void TraceCall(const char* name) {
    auto& t = T();
    std::lock_guard guard(t.lock);
    if (t.tracing) t.calls.emplace_back(name);
}

bool InjectedFault(const char* name, std::int32_t& code) {
    auto& t = T();
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
}

void ClearFaults() {
    auto& t = T();
    std::lock_guard guard(t.lock);
    t.faults.clear();
}

void SetTracing(bool on) {
    auto& t = T();
    std::lock_guard guard(t.lock);
    t.tracing = on;
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
