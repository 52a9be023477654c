// Linked into the test programs that play sound or music: fails the program
// if anything on the audio callback's path touches the heap. Every call of
// tumbla_audio_render (what the host's audio callback runs) is wrapped at
// link time (-Wl,--wrap) by one that marks its thread for the call's length,
// and operator new and delete, and outside AddressSanitizer (which owns them)
// malloc and free too, count while the mark is on.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <type_traits>

#include "platform/host/host_audio.h"

namespace {

thread_local int onAudioPath = 0;
std::atomic<long> heapCalls{0};

inline void Count() {
    if (onAudioPath) heapCalls.fetch_add(1, std::memory_order_relaxed);
}

void* Allocate(std::size_t size) {
    Count();
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    return p;
}

void* AllocateAligned(std::size_t size, std::align_val_t align) {
    Count();
    std::size_t a = static_cast<std::size_t>(align);
    void* p = std::aligned_alloc(a, (size + a - 1) / a * a);
    if (!p) throw std::bad_alloc();
    return p;
}

void Free(void* p) {
    if (!p) return;
    Count();
    std::free(p);
}

// The test in which the first heap call on the audio path was seen.
class Watch : public ::testing::EmptyTestEventListener {
public:
    void OnTestEnd(const ::testing::TestInfo& info) override {
        long now = heapCalls.load();
        if (now != seen_ && culprit_.empty()) culprit_ = std::string(info.test_suite_name()) + "." + info.name();
        seen_ = now;
    }
    std::string culprit_;
    long seen_ = 0;
};

Watch* watch = nullptr;

class AudioHeapCheck : public ::testing::Environment {
public:
    void SetUp() override {
        watch = new Watch;
        ::testing::UnitTest::GetInstance()->listeners().Append(watch);
    }
    void TearDown() override {
        EXPECT_EQ(heapCalls.load(), 0) << "heap calls on the audio thread, first in "
                                       << (watch ? watch->culprit_ : std::string("?"));
    }
};

[[maybe_unused]] ::testing::Environment* const registered = ::testing::AddGlobalTestEnvironment(new AudioHeapCheck);

}  // namespace

// Declared from the real one, so that a new signature is a compile error here
// rather than a wrap that no longer matches.
extern "C" decltype(tumbla_audio_render) __real_tumbla_audio_render;
extern "C" void __wrap_tumbla_audio_render(std::int16_t* out, int frames) {
    static_assert(std::is_same_v<decltype(&__wrap_tumbla_audio_render), decltype(&tumbla_audio_render)>);
    ++onAudioPath;
    __real_tumbla_audio_render(out, frames);
    --onAudioPath;
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
void* operator new(std::size_t size, std::align_val_t align) { return AllocateAligned(size, align); }
void* operator new[](std::size_t size, std::align_val_t align) { return AllocateAligned(size, align); }
void operator delete(void* p) noexcept { Free(p); }
void operator delete[](void* p) noexcept { Free(p); }
void operator delete(void* p, std::size_t) noexcept { Free(p); }
void operator delete[](void* p, std::size_t) noexcept { Free(p); }
void operator delete(void* p, std::align_val_t) noexcept { Free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { Free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { Free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { Free(p); }

#if !defined(__SANITIZE_ADDRESS__)
// C allocations too (the synthesiser's library is C), through glibc's own.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void __libc_free(void*);
void* malloc(std::size_t size) {
    if (onAudioPath) heapCalls.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}
void* calloc(std::size_t n, std::size_t size) {
    if (onAudioPath) heapCalls.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t size) {
    if (onAudioPath) heapCalls.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(p, size);
}
void free(void* p) {
    if (p && onAudioPath) heapCalls.fetch_add(1, std::memory_order_relaxed);
    __libc_free(p);
}
}
#endif
