// The one lifetime of the stand-in's COM objects (DirectDraw's and
// DirectSound's). The program moves a count with AddRef and Release; the
// object is freed when the count reaches nought. QueryInterface answers
// IUnknown and the object's own interface, COM's rule for every object.
//
// An object made by another (a surface, palette or clipper by its DirectDraw
// object, a sound buffer by its device) is its maker's child: the maker's
// last Release frees every child the program has not released, as Windows
// does ("released when the DirectDraw object from which they were created is
// released"). A pointer to a child is not to be used after its maker went;
// nothing is kept allocated for it, and a method given it refuses it.
#pragma once

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/trace/trace.h"

namespace platform::com {

inline constexpr GUID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

inline bool SameGuid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

// A method the stand-in does not implement: says so in the call log and
// gives the answer of a driver without the feature.
inline HRESULT Stub(const char* name, HRESULT answer) {
    Unimplemented(name);
    return answer;
}

// Objects made and not yet freed, for tests that look for leaks.
inline std::atomic<int> liveObjects{0};

// The objects behind one interface that are alive (main thread only).
// Never destroyed, so that an object freed at exit still finds it.
template <typename Interface>
std::unordered_set<const Interface*>& Live() {
    static auto* live = new std::unordered_set<const Interface*>;
    return *live;
}

// An interface pointer a method is given, as the object behind it: null
// for one the program made up or whose object is gone.
template <typename Class, typename Interface>
Class* Checked(Interface* pointer) {
    return pointer && Live<Interface>().count(pointer) ? static_cast<Class*>(pointer) : nullptr;
}

// The count and QueryInterface of an object behind `Interface`, whose
// interface identifier is `iid`; `release` is the name its Release is
// logged under. Making one may throw std::bad_alloc, which the making call
// turns into its out-of-memory answer.
template <typename Interface, const GUID& iid>
class Object : public Interface {
public:
    explicit Object(const char* release) : releaseName_(release) {
        Live<Interface>().insert(this);
        ++liveObjects;
    }
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    virtual ~Object() {
        Live<Interface>().erase(this);
        --liveObjects;
    }

    HRESULT QueryInterface(REFIID riid, LPVOID* out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!SameGuid(riid, kIidUnknown) && !SameGuid(riid, iid)) return E_NOINTERFACE;
        AddRef();
        *out = static_cast<Interface*>(this);
        return S_OK;
    }
    // The fault a test armed for a method, S_OK when none, which the
    // object may take note of (a surface given DDERR_SURFACELOST is lost
    // until restored). The method's fault check, in FaultPoint's order.
    HRESULT Fails(const FaultPoint& call) {
        HRESULT code = S_OK;
        if (call.Fails(code)) Faulted(code);
        return code;
    }

    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        TraceCall(releaseName_);
        // A release too many finds nought and leaves it there.
        ULONG now = refs_.load();
        do {
            if (now == 0) return 0;
        } while (!refs_.compare_exchange_weak(now, now - 1));
        if (now == 1) LastRelease();
        return now - 1;
    }

protected:
    virtual void Faulted(HRESULT) {}
    // The program let go of its last reference. An object that lives on
    // beyond it (a back buffer, which goes with its chain) overrides this.
    virtual void LastRelease() { delete this; }
    std::atomic<ULONG> refs_{1};

private:
    const char* releaseName_;
};

// An object made by another, which frees it when it goes (the rule above).
// `Maker` has Forget(Child<Maker>*), which drops a child the program freed.
template <typename Maker>
class Child {
public:
    explicit Child(Maker* maker) : maker_(maker) {}
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    virtual ~Child() {
        if (maker_) maker_->Forget(this);
    }
    // The maker is freeing all its children at once: forget it and every
    // sibling, which go in the same sweep, without releasing them.
    virtual void MakerGone() { maker_ = nullptr; }
    Maker* Owner() const { return maker_; }

private:
    Maker* maker_;
};

// A maker's side of the rule: its children, all freed with it.
template <typename Maker>
class Family {
public:
    // Throws std::bad_alloc when memory runs out, the child not taken.
    void Adopt(Child<Maker>* child) { members_.push_back(child); }
    void Forget(Child<Maker>* child) noexcept {
        members_.erase(std::remove(members_.begin(), members_.end(), child), members_.end());
    }
    const std::vector<Child<Maker>*>& Members() const { return members_; }
    // Takes the children out (under whatever lock guards the family); then
    // FreeAll frees them.
    std::vector<Child<Maker>*> TakeAll() noexcept { return std::exchange(members_, {}); }
    static void FreeAll(std::vector<Child<Maker>*>& children) {
        for (Child<Maker>* c : children) c->MakerGone();
        for (Child<Maker>* c : children) delete c;
        children.clear();
    }

private:
    std::vector<Child<Maker>*> members_;
};

}  // namespace platform::com
