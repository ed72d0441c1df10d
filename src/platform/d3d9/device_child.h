// Reference counting shared by everything a device creates.
//
// Like Direct3D 9, a resource holds a reference on its device while the
// application holds one on the resource, so the device outlives every
// resource in use. Bindings (SetTexture, SetStreamSource, SetIndices,
// SetVertexDeclaration) keep the object itself alive through a separate bind
// count, without holding the device; otherwise a texture left bound at
// shutdown would keep its device alive forever.
#pragma once

#include "platform/d3d9.h"

class Device;

class Device_Child {
public:
    Device_Child(const Device_Child&) = delete;
    Device_Child& operator=(const Device_Child&) = delete;

    Device* Owner() const { return device_; }

    // Public reference count as AddRef/Release report it.
    ULONG Add_Ref();
    ULONG Release_Ref();

    // Bind count, used by the device's state slots.
    void Bind() { ++binds_; }
    void Unbind();

protected:
    explicit Device_Child(Device* device);  // starts with one public reference
    virtual ~Device_Child() = default;

private:
    Device* device_;
    ULONG refs_ = 1;
    ULONG binds_ = 0;
};

// A state slot that binds what it holds (a texture stage, a stream, ...).
template <class T>
class Bound {
public:
    Bound() = default;
    Bound(const Bound&) = delete;
    Bound& operator=(const Bound&) = delete;
    ~Bound() { Reset(nullptr); }

    void Reset(T* object) {
        if (object == object_) return;
        if (object) object->Bind();
        T* old = object_;
        object_ = object;
        if (old) old->Unbind();
    }
    T* Get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    T* operator->() const { return object_; }

private:
    T* object_ = nullptr;
};
