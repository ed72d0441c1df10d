// 2D and cube textures: immutable GL storage plus a system-memory copy of
// each level, created on the first lock, which the application writes and
// which is uploaded on unlock.
#pragma once

#include <vector>

#include <epoxy/gl.h>

#include "platform/d3d9.h"
#include "platform/d3d9/device_child.h"
#include "platform/d3d9/formats.h"

class Texture_Storage : public Device_Child {
public:
    GLuint Name() const { return name_; }
    GLenum Target() const { return target_; }
    UINT Faces() const { return faces_; }
    DWORD Level_Count() const;  // as GetLevelCount reports it
    HRESULT Level_Desc(UINT level, D3DSURFACE_DESC* desc) const;
    HRESULT Lock(UINT face, UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags);
    HRESULT Unlock(UINT face, UINT level);

protected:
    Texture_Storage(Device* device, GLenum target, UINT faces);
    ~Texture_Storage() override;
    // Checks the arguments and creates the GL storage.
    HRESULT Init(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool);

private:
    struct Level {
        std::vector<unsigned char> data;
        bool locked = false;
        DWORD flags = 0;
        UINT first_row = 0, end_row = 0;  // rows (or block rows) the lock covers
    };
    Level& At(UINT face, UINT level) { return levels_[face * level_count_ + level]; }

    GLuint name_ = 0;
    GLenum target_;
    UINT faces_;
    const Format_Info* info_ = nullptr;
    D3DFORMAT format_ = D3DFMT_UNKNOWN;
    UINT width_ = 0, height_ = 0, level_count_ = 0;
    DWORD usage_ = 0;
    D3DPOOL pool_ = D3DPOOL_MANAGED;
    std::vector<Level> levels_;
};

class Texture final : public IDirect3DTexture9, public Texture_Storage {
public:
    static HRESULT Create(Device* device, UINT width, UINT height, UINT levels, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** out);

    ULONG AddRef() override { return Add_Ref(); }
    ULONG Release() override { return Release_Ref(); }
    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
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
    HRESULT LockRect(UINT, D3DLOCKED_RECT*, const RECT*, DWORD) override { return D3DERR_INVALIDCALL; }
    HRESULT UnlockRect(UINT) override { return D3DERR_INVALIDCALL; }

private:
    Cube_Texture* cube_;
};

class Cube_Texture final : public IDirect3DCubeTexture9, public Texture_Storage {
public:
    static HRESULT Create(Device* device, UINT edge, UINT levels, DWORD usage, D3DFORMAT format,
                          D3DPOOL pool, IDirect3DCubeTexture9** out);

    ULONG AddRef() override { return Add_Ref(); }
    ULONG Release() override { return Release_Ref(); }
    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
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
