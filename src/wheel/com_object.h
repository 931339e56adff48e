// The COM part every DirectInput object of this layer shares: one interface, a reference count
// that starts at 1 for the creator, and what happens when the last reference goes. A class derives
// from ComObject<Itself, Interface>; by default the last Release deletes it, and a class that must
// do more first (an effect leaves its device) declares its own lastReleased().
#pragma once

#include <atomic>

#include "platform/platform.h"

namespace wheel::detail {

template <class Derived, class Interface>
class ComObject : public Interface {
  public:
    explicit ComObject(const IID& interfaceId) : interfaceId_(interfaceId) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (riid == interfaceId_) {
            AddRef();
            *object = static_cast<Interface*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) static_cast<Derived*>(this)->lastReleased();
        return left;
    }

    /// Called once, by the last Release; the object is gone after it.
    void lastReleased() { delete static_cast<Derived*>(this); }

  private:
    const IID& interfaceId_;
    std::atomic<ULONG> references_{1};
};

}  // namespace wheel::detail
