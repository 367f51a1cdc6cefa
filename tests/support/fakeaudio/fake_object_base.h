#pragma once
// What every fake COM object shares: reference counting, QueryInterface over
// its interfaces, the core's accounting, and interfaces that die with their
// device.

#include "tests/support/fakeaudio/fake_core.h"

#include <cstring>
#include <cwchar>
#include <tuple>

namespace fakeaudio {

inline HRESULT co_string(const wchar_t* text, LPWSTR* out) {
    if (!out) return E_POINTER;
    const size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    *out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (!*out) return E_OUTOFMEMORY;
    memcpy(*out, text, bytes);
    return S_OK;
}

template <typename I> bool offer(REFIID iid, I* self, void*& out) {
    if (out || iid != __uuidof(I)) return false;
    out = self;
    return true;
}

// Reference counting, QueryInterface over the listed interfaces, and the
// core's accounting, for every fake object.
template <object_kind Kind, typename... Interfaces> class object : public Interfaces... {
public:
    explicit object(core& owner) : core_(owner) {
        core_.note_call();
        core_.add_ref();
        core_.object_created(Kind);
    }
    object(const object&) = delete;
    object& operator=(const object&) = delete;
    virtual ~object() {
        core_.object_destroyed(Kind);
        core_.release();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override {
        if (!out) return E_POINTER;
        void* found = nullptr;
        if (iid == __uuidof(IUnknown)) found = first();
        (offer<Interfaces>(iid, static_cast<Interfaces*>(this), found), ...);
        if (found && !answers(iid)) found = nullptr;
        *out = found;
        if (!found) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override {
        return static_cast<ULONG>(InterlockedIncrement(&refs_));
    }
    ULONG STDMETHODCALLTYPE Release() noexcept override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

protected:
    virtual bool answers(REFIID) const { return true; }
    shared_state& state() const { return core_.state(); }
    core& core_;

private:
    void* first() { return static_cast<std::tuple_element_t<0, std::tuple<Interfaces...>>*>(this); }
    LONG refs_ = 1;
};

// Hands a new object out through an interface pointer (its first reference).
template <typename I, typename T> HRESULT hand_out(T* made, I** out) {
    if (!out) {
        made->Release();
        return E_POINTER;
    }
    *out = made;
    return S_OK;
}

// Interfaces obtained from a device die with it: a removed device makes them
// fail for good, even after it comes back.
class device_bound {
public:
    device_bound(shared_state& s, int device)
        : state_(s), device_(device), generation_(s.devices[device].generation) {}
    bool alive() const {
        const device_state& d = state_.devices[device_];
        return d.present && d.generation == generation_;
    }

protected:
    shared_state& state_;
    int device_;
    LONG generation_;
};

#define FAKE_ALIVE_OR_FAIL()                                                                       \
    core_.note_call();                                                                             \
    if (!alive()) return AUDCLNT_E_DEVICE_INVALIDATED

inline void changed(shared_state& s, volatile LONG& sequence) {
    InterlockedIncrement(&sequence);
    signal_listeners(s);
}

// A write through the objects: always reported, or, as hardware does, only
// when it changed something.
inline void written(shared_state& s, volatile LONG& sequence, bool really_changed) {
    if (really_changed || !s.hardware_writes) changed(s, sequence);
}

} // namespace fakeaudio
