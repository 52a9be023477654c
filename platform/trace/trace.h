// The stand-in's call log and fault injection. Every API entry that a test
// may want to see or break names itself here; the headless host reads the
// log and arms the faults.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Notes that the named API function was called (when tracing is on).
void TraceCall(const char* name);

// Returns true, with the code to fail with, when a test armed a failure for
// the named call and this call is one it should hit.
bool InjectedFault(const char* name, std::int32_t& code);

struct FaultPlan {
    std::string call;        // API name, e.g. "CreateSurface", "DirectSoundCreate"
    std::int32_t code = 0;   // the result the call fails with
    int skip = 0;            // calls that still succeed before the first failure
    int every = 0;           // 0: fail once; n: then fail every n-th call after it
};
void ArmFault(const FaultPlan& plan);
void ClearFaults();

void SetTracing(bool on);
std::vector<std::string> TracedCalls();
void ClearTrace();

}  // namespace platform
