// The stand-in's call log and fault injection. Every API entry that a test
// may want to see or break names itself here; the headless host reads the
// log and arms the faults.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Names: a function by its API name ("ReadFile", "LoadImageA"), an interface
// method as Interface::Method ("IDirectDrawSurface::GetDC"), an MCI command
// as function:command ("mciSendCommandA:MCI_OPEN"). A call is logged under
// the same name its fault is armed with.

// Notes that the named API function was called (when tracing is on).
void TraceCall(const char* name);

// Notes in the log, once however often it is called (until the log is
// cleared), that the program called something the stand-in does not
// implement, so that a new path into a stub shows up. The note is the name
// after kUnimplemented.
inline constexpr char kUnimplemented[] = "unimplemented: ";
void Unimplemented(const char* name);

// Returns true, with the code to fail with, when a test armed a failure for
// the named call and this call is one it should hit.
bool InjectedFault(const char* name, std::int32_t& code);

struct FaultPlan {
    std::string call;       // its name, e.g. "IDirectDraw::CreateSurface", "DirectSoundCreate"
    std::int32_t code = 0;  // the result the call fails with
    int skip = 0;           // calls that still succeed before the first failure
    int every = 0;          // 0: fail once; n: then fail every n-th call after it
};
void ArmFault(const FaultPlan& plan);
void ClearFaults();

// Faults armed since the last call that never hit their call, whether still
// armed or cleared since; each is handed out once.
std::vector<std::string> TakeUnfiredFaults();

// A call that can be failed on purpose, defined once at namespace scope
// beside its implementation. Every point linked into a program is listed by
// FaultPoints(), so a sweep can fail each in turn without a hand-kept list.
//
// Every call checks in one order: it logs itself first (Trace), refuses
// what it is given (null pointers, wrong sizes, unknown flags), and only
// then fails where a test armed a failure (Fails), before it does anything.
// So a refused call is in the log, and an armed failure is never spent on
// a call that was refused anyway.
class FaultPoint {
public:
    explicit FaultPoint(const char* name);
    const char* Name() const { return name_; }
    // Logs the call (when tracing is on).
    void Trace() const { TraceCall(name_); }
    // True, with the code to fail with in the call's own result type
    // (HRESULT, MMRESULT, a last-error code...), when a test armed a failure
    // here.
    template <typename Result>
    bool Fails(Result& code) const {
        std::int32_t armed;
        if (!InjectedFault(name_, armed)) return false;
        code = static_cast<Result>(armed);
        return true;
    }

private:
    const char* name_;
};

// The names of every FaultPoint in the program, sorted.
std::vector<std::string> FaultPoints();

void SetTracing(bool on);
std::vector<std::string> TracedCalls();
void ClearTrace();

}  // namespace platform
