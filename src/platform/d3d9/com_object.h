// The reference count behind every COM object of ours, Direct3D 9's and
// D3DX's alike: AddRef and Release written once.
//
// An object starts with one reference and goes when the last is released.
// Objects whose lifetime holds more than their own count (a device's
// resources) override what happens when the count reaches zero, and when it
// comes back from zero.
#pragma once

#include <atomic>

#include "platform/d3d9.h"

template <class Interface>
class Com_Object : public Interface {
public:
    Com_Object(const Com_Object&) = delete;
    Com_Object& operator=(const Com_Object&) = delete;

    ULONG AddRef() override {
        const ULONG refs = refs_.fetch_add(1) + 1;
        if (refs == 1) On_Revived();
        return refs;
    }

    // A release too many returns 0 and changes nothing.
    ULONG Release() override {
        ULONG refs = refs_.load();
        do {
            if (refs == 0) return 0;
        } while (!refs_.compare_exchange_weak(refs, refs - 1));
        if (refs == 1) On_Last_Release();
        return refs - 1;
    }

protected:
    Com_Object() = default;
    virtual ~Com_Object() = default;

    ULONG Ref_Count() const { return refs_.load(); }
    virtual void On_Revived() {}
    virtual void On_Last_Release() { delete this; }

private:
    std::atomic<ULONG> refs_{1};
};
