// 2D and cube textures: immutable GL storage plus a system-memory copy of
// each level, created on the first lock, which the application writes and
// which is uploaded on unlock.
//
// Both live in a Gl_Texture_Data that several texture objects may share
// (D3DX hands every caller loading the same unchanged file a texture object
// of its own over one storage). The first lock for writing through any of
// them gives that object a private copy, so no write shows through another.
#pragma once

#include <memory>
#include <vector>

#include <epoxy/gl.h>

#include "platform/d3d9.h"
#include "platform/d3d9/copy_on_write.h"
#include "platform/d3d9/device_child.h"
#include "platform/d3d9/formats.h"

namespace qm_d3d9 {

// What a copy of a texture's storage takes over whole.
struct Texture_Contents {
    Device* device = nullptr;  // kept alive by every texture object using this data
    GLenum target = 0;
    UINT faces = 1;
    const Format_Info* info = nullptr;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    UINT width = 0, height = 0, level_count = 0;
    DWORD usage = 0;
    D3DPOOL pool = D3DPOOL_MANAGED;
    std::vector<std::vector<unsigned char>>
        levels;  // face * level_count + level; empty until locked
};

}  // namespace qm_d3d9

// The storage the D3DX layer shares between texture objects (gl_device.h).
class Gl_Texture_Data : public qm_d3d9::Texture_Contents {
public:
    using Contents = qm_d3d9::Texture_Contents;
    Gl_Texture_Data(qm_d3d9::Device* owner, GLenum texture_target, UINT face_count) {
        device = owner;
        target = texture_target;
        faces = face_count;
    }
    explicit Gl_Texture_Data(const Texture_Contents& contents) : Texture_Contents(contents) {}
    ~Gl_Texture_Data();
    Gl_Texture_Data(const Gl_Texture_Data&) = delete;
    Gl_Texture_Data& operator=(const Gl_Texture_Data&) = delete;

    GLuint name = 0;
    // Handed to the D3DX layer, which may give it to more texture objects
    // later: from then on it is never written, a writer gets a copy.
    bool shareable = false;
};

namespace qm_d3d9 {

class Texture_Storage : public Device_Child {
public:
    GLuint Name() const { return data_->name; }
    GLenum Target() const { return data_->target; }
    UINT Faces() const { return data_->faces; }
    const std::shared_ptr<Gl_Texture_Data>& Data() const { return data_; }
    DWORD Level_Count() const;  // as GetLevelCount reports it
    HRESULT Level_Desc(UINT level, D3DSURFACE_DESC* desc) const;
    HRESULT Lock(UINT face, UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags);
    HRESULT Unlock(UINT face, UINT level);

protected:
    Texture_Storage(Device* device, GLenum target, UINT faces);
    ~Texture_Storage() override = default;
    // Checks the arguments and creates the GL storage.
    HRESULT Init(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool);
    // Uses another texture object's storage.
    void Share(std::shared_ptr<Gl_Texture_Data> data);

private:
    struct Lock_State {
        bool locked = false;
        DWORD flags = 0;
        UINT first_row = 0, end_row = 0;  // rows (or block rows) the lock covers
    };
    UINT Index(UINT face, UINT level) const { return face * data_->level_count + level; }
    HRESULT Make_Private();

    std::shared_ptr<Gl_Texture_Data> data_;
    std::vector<Lock_State> locks_;
};

class Texture final : public Child_Object<IDirect3DTexture9, Texture_Storage> {
public:
    static HRESULT Create(Device* device, UINT width, UINT height, UINT levels, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** out);
    static HRESULT Create_Shared(std::shared_ptr<Gl_Texture_Data> data, IDirect3DTexture9** out);

    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD GetLevelCount() override { return Level_Count(); }
    HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override {
        return Level_Desc(Level, pDesc);
    }
    HRESULT LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect,
                     DWORD Flags) override {
        return Lock(0, Level, pLockedRect, pRect, Flags);
    }
    HRESULT UnlockRect(UINT Level) override { return Unlock(0, Level); }

private:
    explicit Texture(Device* device);
};

class Cube_Texture;

// A cube texture seen through IDirect3DTexture9 (see Gl_Cube_Texture_View).
class Cube_Texture_View final : public IDirect3DTexture9 {
public:
    explicit Cube_Texture_View(Cube_Texture* cube) : cube_(cube) {}
    Cube_Texture* Cube() const { return cube_; }

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_CUBETEXTURE; }
    DWORD GetLevelCount() override;
    HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
    HRESULT LockRect(UINT, D3DLOCKED_RECT*, const RECT*, DWORD) override {
        return D3DERR_INVALIDCALL;
    }
    HRESULT UnlockRect(UINT) override { return D3DERR_INVALIDCALL; }

private:
    Cube_Texture* cube_;
};

class Cube_Texture final : public Child_Object<IDirect3DCubeTexture9, Texture_Storage> {
public:
    static HRESULT Create(Device* device, UINT edge, UINT levels, DWORD usage, D3DFORMAT format,
                          D3DPOOL pool, IDirect3DCubeTexture9** out);
    static HRESULT Create_Shared(std::shared_ptr<Gl_Texture_Data> data,
                                 IDirect3DCubeTexture9** out);

    D3DRESOURCETYPE GetType() override { return D3DRTYPE_CUBETEXTURE; }
    DWORD GetLevelCount() override { return Level_Count(); }
    HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override {
        return Level_Desc(Level, pDesc);
    }
    HRESULT LockRect(D3DCUBEMAP_FACES FaceType, UINT Level, D3DLOCKED_RECT* pLockedRect,
                     const RECT* pRect, DWORD Flags) override;
    HRESULT UnlockRect(D3DCUBEMAP_FACES FaceType, UINT Level) override;

    IDirect3DTexture9* View() { return &view_; }

private:
    explicit Cube_Texture(Device* device);
    Cube_Texture_View view_;
};

// Our storage behind any texture interface we handed out, or null.
Texture_Storage* Texture_Storage_From(IDirect3DBaseTexture9* texture);

}  // namespace qm_d3d9
