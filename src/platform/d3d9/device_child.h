// Reference counting shared by everything a device creates.
//
// Like Direct3D 9, a resource holds a reference on its device while the
// application holds one on the resource, so the device outlives every
// resource in use. Bindings (SetTexture, SetStreamSource, SetIndices,
// SetVertexDeclaration) keep the object itself alive through a separate bind
// count, without holding the device; otherwise a texture left bound at
// shutdown would keep its device alive forever.
#pragma once

#include <utility>

#include "platform/d3d9.h"
#include "platform/d3d9/com_object.h"

namespace qm_d3d9 {

class Device;

class Device_Child {
public:
    Device_Child(const Device_Child&) = delete;
    Device_Child& operator=(const Device_Child&) = delete;

    Device* Owner() const { return device_; }

    // Bind count, used by the device's state slots.
    void Bind() { ++binds_; }
    void Unbind();

protected:
    explicit Device_Child(Device* device);  // the object starts with one public reference
    virtual ~Device_Child() = default;

    // The public count came back from zero, or reached it (Child_Object).
    void Public_Revived();
    void Public_Released();
    virtual bool Has_Public_Refs() const = 0;

private:
    Device* device_;
    ULONG binds_ = 0;
};

// The device's AddRef'd interface, as GetDevice hands it out.
HRESULT Get_Owner_Device(Device* owner, IDirect3DDevice9** out);

// A resource object: the COM interface `Interface` with its count, over the
// implementation `Base` (a Device_Child).
template <class Interface, class Base>
class Child_Object : public Com_Object<Interface>, public Base {
public:
    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override {
        return Get_Owner_Device(this->Owner(), ppDevice);
    }

protected:
    template <class... Args>
    explicit Child_Object(Args&&... args) : Base(std::forward<Args>(args)...) {}

private:
    void On_Revived() override { this->Public_Revived(); }
    void On_Last_Release() override { this->Public_Released(); }
    bool Has_Public_Refs() const override { return this->Ref_Count() > 0; }
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

}  // namespace qm_d3d9
