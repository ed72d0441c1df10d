#include "platform/d3d9/device_child.h"

#include "platform/d3d9/device.h"

Device_Child::Device_Child(Device* device) : device_(device) {
    device_->AddRef();
}

ULONG Device_Child::Add_Ref() {
    if (refs_++ == 0) device_->AddRef();
    return refs_;
}

ULONG Device_Child::Release_Ref() {
    if (refs_ == 0) return 0;
    ULONG left = --refs_;
    if (left == 0) {
        Device* device = device_;
        // The object may still be bound; then the device frees it on unbind.
        // Its GL names are deleted with the device's context current.
        if (binds_ == 0) {
            device->Make_Current();
            delete this;
        }
        device->Release();
    }
    return left;
}

void Device_Child::Unbind() {
    if (binds_ == 0) return;
    if (--binds_ == 0 && refs_ == 0) {
        device_->Make_Current();
        delete this;
    }
}
