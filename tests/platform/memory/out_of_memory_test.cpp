// The calls that allocate, with the heap running out at each allocation they
// make in turn: every one fails the call the way Windows fails it, none
// throws through it, and the call works again once memory is back.
#include <gtest/gtest.h>

#include <windows.h>
#include <ddraw.h>
#include <dsound.h>
#include <mmsystem.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <vector>

#include "platform/com/com.h"
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
        bool ok = false;
        try {
            ok = call();
        } catch (const std::bad_alloc&) {
            allowance = -1;
            ADD_FAILURE() << "std::bad_alloc came through the call, at allocation " << k;
            return failures;
        }
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

// The same for a COM call: each failure answers `outOfMemory` and leaves no
// object behind.
int FailEachAllocation(HRESULT outOfMemory, const std::function<HRESULT()>& call, const std::function<void()>& undo) {
    return FailEachAllocation(
        [&] {
            const int before = platform::com::liveObjects;
            HRESULT hr = call();
            if (hr != S_OK) {
                EXPECT_EQ(hr, outOfMemory);
                EXPECT_EQ(platform::com::liveObjects, before) << "a failed call left an object";
            }
            return hr == S_OK;
        },
        undo);
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

TEST_F(OutOfMemory, WindowCallsAnswerNotEnoughMemory) {
    auto noMemory = [] { return GetLastError() == ERROR_NOT_ENOUGH_MEMORY; };
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "OomWindow";
    FailEachAllocation(
        [&] {
            SetLastError(0);
            ATOM atom = RegisterClassExA(&wc);
            EXPECT_TRUE(atom || noMemory());
            return atom != 0;
        },
        [] {});
    HWND window = nullptr;
    FailEachAllocation(
        [&] {
            SetLastError(0);
            window = CreateWindowExA(0, "OomWindow", "a title long enough not to fit in a string's own room",
                                     WS_POPUP | WS_VISIBLE, 0, 0, 64, 64, nullptr, nullptr, nullptr, nullptr);
            EXPECT_TRUE(window || noMemory());
            return window != nullptr;
        },
        [&] { EXPECT_TRUE(DestroyWindow(window)); });
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

TEST_F(OutOfMemory, DirectDrawCallsAnswerOutOfMemoryAndMakeNothing) {
    LPDIRECTDRAW dd = nullptr;
    EXPECT_GE(FailEachAllocation(
                  DDERR_OUTOFMEMORY, [&] { return DirectDrawCreate(nullptr, &dd, nullptr); }, [] {}),
              1);
    ASSERT_NE(dd, nullptr);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "Oom";
    RegisterClassExA(&wc);
    HWND window =
        CreateWindowExA(0, "Oom", "", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    EXPECT_GE(FailEachAllocation(
                  DDERR_OUTOFMEMORY, [&] { return dd->SetDisplayMode(640, 480, 8); }, [] {}),
              1)
        << "the mode's frame buffer";

    LPDIRECTDRAWCLIPPER clipper = nullptr;
    EXPECT_GE(FailEachAllocation(
                  DDERR_OUTOFMEMORY, [&] { return dd->CreateClipper(0, &clipper, nullptr); }, [] {}),
              1);
    RECT rects[2] = {{0, 0, 8, 8}, {16, 16, 32, 32}};
    std::vector<BYTE> region(sizeof(RGNDATAHEADER) + sizeof rects);
    auto* list = reinterpret_cast<RGNDATA*>(region.data());
    list->rdh = RGNDATAHEADER{sizeof(RGNDATAHEADER), RDH_RECTANGLES, 2, sizeof rects, {}};
    std::memcpy(list->Buffer, rects, sizeof rects);
    FailEachAllocation(
        DDERR_OUTOFMEMORY, [&] { return clipper->SetClipList(list, 0); }, [] {});

    PALETTEENTRY entries[256] = {};
    LPDIRECTDRAWPALETTE palette = nullptr;
    EXPECT_GE(
        FailEachAllocation(
            DDERR_OUTOFMEMORY, [&] { return dd->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr); }, [] {}),
        1);

    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    desc.dwBackBufferCount = 2;
    LPDIRECTDRAWSURFACE front = nullptr;
    EXPECT_GE(FailEachAllocation(
                  DDERR_OUTOFMEMORY, [&] { return dd->CreateSurface(&desc, &front, nullptr); }, [] {}),
              4)
        << "the front, two back buffers and their places among the object's";
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    desc.dwWidth = desc.dwHeight = 64;
    LPDIRECTDRAWSURFACE sprite = nullptr;
    EXPECT_GE(FailEachAllocation(
                  DDERR_OUTOFMEMORY, [&] { return dd->CreateSurface(&desc, &sprite, nullptr); }, [] {}),
              2);

    // A copy within one surface reads from a snapshot; a clipped one cuts
    // its rectangle into pieces; one onto the screen shows it.
    RECT from{0, 0, 32, 32}, to{8, 8, 40, 40};
    FailEachAllocation(
        DDERR_OUTOFMEMORY, [&] { return sprite->Blt(&to, sprite, &from, DDBLT_WAIT, nullptr); }, [] {});
    ASSERT_EQ(front->SetClipper(clipper), DD_OK);
    FailEachAllocation(
        DDERR_OUTOFMEMORY, [&] { return front->Blt(&to, sprite, &from, DDBLT_WAIT, nullptr); }, [] {});
    FailEachAllocation(
        DDERR_OUTOFMEMORY, [&] { return front->SetPalette(palette); }, [] {});
    HDC dc = nullptr;
    FailEachAllocation(
        DDERR_OUTOFMEMORY, [&] { return sprite->GetDC(&dc); }, [&] { sprite->ReleaseDC(dc); });

    const int before = platform::com::liveObjects;
    dd->Release();
    EXPECT_EQ(platform::com::liveObjects, before - 7) << "the object, clipper, palette, chain of three, sprite";
    DestroyWindow(window);
}

TEST_F(OutOfMemory, DirectSoundCallsAnswerOutOfMemoryAndMakeNothing) {
    LPDIRECTSOUND ds = nullptr;
    EXPECT_GE(FailEachAllocation(
                  DSERR_OUTOFMEMORY, [&] { return DirectSoundCreate(nullptr, &ds, nullptr); }, [] {}),
              2);
    ASSERT_NE(ds, nullptr);
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    LPDIRECTSOUNDBUFFER primary = nullptr, buffer = nullptr, copy = nullptr;
    EXPECT_GE(FailEachAllocation(
                  DSERR_OUTOFMEMORY, [&] { return ds->CreateSoundBuffer(&desc, &primary, nullptr); }, [] {}),
              1);
    WAVEFORMATEX format{WAVE_FORMAT_PCM, 1, 11025, 11025, 1, 8, 0};
    desc.dwFlags = DSBCAPS_CTRLVOLUME;
    desc.dwBufferBytes = 4096;
    desc.lpwfxFormat = &format;
    EXPECT_GE(FailEachAllocation(
                  DSERR_OUTOFMEMORY, [&] { return ds->CreateSoundBuffer(&desc, &buffer, nullptr); }, [] {}),
              3);
    EXPECT_GE(FailEachAllocation(
                  DSERR_OUTOFMEMORY, [&] { return ds->DuplicateSoundBuffer(buffer, &copy); }, [] {}),
              1);
    const int before = platform::com::liveObjects;
    ds->Release();
    EXPECT_EQ(platform::com::liveObjects, before - 4);
    EXPECT_FALSE(headless::AudioDeviceOpen());
}

}  // namespace
