// The calls that allocate, with the heap running out at each allocation they
// make in turn: every one fails the call the way Windows fails it, none
// throws through it, and the call works again once memory is back.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>

#include <cstdlib>
#include <functional>
#include <new>

#include "platform/host/headless/headless.h"
#include "platform/host/headless/headless_audio.h"

namespace {

// Allocations this thread may still make before one fails; -1: no limit.
thread_local long allowance = -1;

}  // namespace

// The whole family, so that nothing this program allocates is freed by
// another allocator's delete (AddressSanitizer keeps its own).
static void* Allocate(std::size_t size) {
    if (allowance >= 0 && allowance-- == 0) throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

// Runs `call` with its first, second, ... allocation failing until it gets
// through. `failed` tells a failed call by its result and error code; `undo`
// releases what a call that got through made. Returns the failures seen.
int FailEachAllocation(const std::function<bool()>& call, const std::function<void()>& undo) {
    int failures = 0;
    for (long k = 0; k < 500; ++k) {
        allowance = k;
        bool ok = call();
        bool exhausted = allowance < 0;
        allowance = -1;
        if (ok) {
            undo();
            return failures;
        }
        EXPECT_TRUE(exhausted) << "the call failed with memory to spare, at allocation " << k;
        ++failures;
    }
    ADD_FAILURE() << "never got through";
    return failures;
}

class OutOfMemory : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Reset();
        headless::ResetAudio();
    }
    void TearDown() override { headless::Reset(); }
};

TEST_F(OutOfMemory, KernelCallsAnswerNotEnoughMemory) {
    auto noMemory = [] { return GetLastError() == ERROR_NOT_ENOUGH_MEMORY; };
    HANDLE h = nullptr;
    int failures = FailEachAllocation(
        [&] {
            SetLastError(0);
            h = CreateFileA("sample_data\\sw5.mid", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            EXPECT_TRUE(h != INVALID_HANDLE_VALUE || noMemory());
            return h != INVALID_HANDLE_VALUE;
        },
        [&] { CloseHandle(h); });
    EXPECT_GE(failures, 2) << "the file object and its place in the table";
    FailEachAllocation(
        [&] {
            SetLastError(0);
            h = CreateEventA(nullptr, FALSE, FALSE, nullptr);
            EXPECT_TRUE(h || noMemory());
            return h != nullptr;
        },
        [&] { CloseHandle(h); });
}

TEST_F(OutOfMemory, GdiCallsFailWithoutLeavingHalfAnObject) {
    HDC dc = nullptr;
    FailEachAllocation(
        [&] {
            SetLastError(0);
            dc = CreateCompatibleDC(nullptr);
            EXPECT_TRUE(dc || GetLastError() == ERROR_NOT_ENOUGH_MEMORY);
            return dc != nullptr;
        },
        [&] { EXPECT_TRUE(DeleteDC(dc)); });
    FailEachAllocation([&] { return (dc = GetDC(nullptr)) != nullptr; }, [&] { ReleaseDC(nullptr, dc); });
    HBRUSH brush = nullptr;
    FailEachAllocation([&] { return (brush = CreateSolidBrush(RGB(1, 2, 3))) != nullptr; },
                       [&] { EXPECT_TRUE(DeleteObject(brush)); });
}

TEST_F(OutOfMemory, AMidiStreamThatCannotOpenSaysNoMemory) {
    HMIDISTRM stream = nullptr;
    UINT device = MIDI_MAPPER;
    int failures = FailEachAllocation(
        [&] {
            MMRESULT r = midiStreamOpen(&stream, &device, 1, 0, 0, CALLBACK_NULL);
            EXPECT_TRUE(r == MMSYSERR_NOERROR || r == MMSYSERR_NOMEM) << r;
            return r == MMSYSERR_NOERROR;
        },
        [&] { EXPECT_EQ(midiStreamClose(stream), static_cast<MMRESULT>(MMSYSERR_NOERROR)); });
    EXPECT_GE(failures, 2);
}

}  // namespace
