#include "platform/d3d9/texture.h"

#include <algorithm>
#include <memory>

#include "platform/d3d9/device.h"
#include "platform/d3d9/gl_device.h"

namespace {
constexpr std::size_t k_max_texture_bytes = std::size_t(1) << 30;
}  // namespace

Texture_Storage::Texture_Storage(Device* device, GLenum target, UINT faces)
    : Device_Child(device), target_(target), faces_(faces) {}

Texture_Storage::~Texture_Storage() {
    if (name_) {
        Owner()->Forget_Texture_Name(name_);
        glDeleteTextures(1, &name_);
    }
}

HRESULT Texture_Storage::Init(UINT width, UINT height, UINT levels, DWORD usage,
                              D3DFORMAT format, D3DPOOL pool) {
    info_ = Find_Texture_Format(format);
    if (!info_ || width == 0 || height == 0) return D3DERR_INVALIDCALL;
    if (pool != D3DPOOL_DEFAULT && pool != D3DPOOL_MANAGED && pool != D3DPOOL_SYSTEMMEM &&
        pool != D3DPOOL_SCRATCH)
        return D3DERR_INVALIDCALL;
    const UINT max_size = Owner()->Max_Texture_Size();
    if (width > max_size || height > max_size) return D3DERR_OUTOFVIDEOMEMORY;
    const UINT full = Full_Mip_Count(width, height);
    if (levels > full) return D3DERR_INVALIDCALL;
    if (levels == 0 || (usage & D3DUSAGE_AUTOGENMIPMAP)) levels = full;
    // Sizes GL might accept but no system memory copy could hold are refused
    // up front rather than failing on the first lock.
    std::size_t total = 0;
    for (UINT level = 0; level < levels; ++level) total += Level_Layout_Of(*info_, width, height, level).size();
    if (total * faces_ > k_max_texture_bytes) return D3DERR_OUTOFVIDEOMEMORY;

    format_ = format;
    width_ = width;
    height_ = height;
    level_count_ = levels;
    usage_ = usage;
    pool_ = pool;
    levels_.resize(std::size_t(faces_) * levels);

    Owner()->Make_Current();
    glCreateTextures(target_, 1, &name_);
    if (!name_) return D3DERR_OUTOFVIDEOMEMORY;
    glTextureStorage2D(name_, GLsizei(levels), info_->internal_format, GLsizei(width),
                       GLsizei(height));
    glTextureParameteriv(name_, GL_TEXTURE_SWIZZLE_RGBA, info_->swizzle);
    if (glGetError() == GL_OUT_OF_MEMORY) return D3DERR_OUTOFVIDEOMEMORY;
    return D3D_OK;
}

DWORD Texture_Storage::Level_Count() const {
    // A texture that makes its own mipmaps shows one level to the application.
    return (usage_ & D3DUSAGE_AUTOGENMIPMAP) ? 1 : level_count_;
}

HRESULT Texture_Storage::Level_Desc(UINT level, D3DSURFACE_DESC* desc) const {
    if (!desc || level >= Level_Count()) return D3DERR_INVALIDCALL;
    const Level_Layout layout = Level_Layout_Of(*info_, width_, height_, level);
    desc->Format = format_;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = usage_;
    desc->Pool = pool_;
    desc->MultiSampleType = D3DMULTISAMPLE_NONE;
    desc->MultiSampleQuality = 0;
    desc->Width = layout.width;
    desc->Height = layout.height;
    return D3D_OK;
}

HRESULT Texture_Storage::Lock(UINT face, UINT level, D3DLOCKED_RECT* locked, const RECT* rect,
                              DWORD flags) {
    if (!locked || face >= faces_ || level >= Level_Count()) return D3DERR_INVALIDCALL;
    Level& state = At(face, level);
    if (state.locked) return D3DERR_INVALIDCALL;
    const Level_Layout layout = Level_Layout_Of(*info_, width_, height_, level);

    UINT left = 0, top = 0, bottom = layout.height;
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right ||
            rect->top >= rect->bottom || UINT(rect->right) > layout.width ||
            UINT(rect->bottom) > layout.height)
            return D3DERR_INVALIDCALL;
        left = UINT(rect->left);
        top = UINT(rect->top);
        bottom = UINT(rect->bottom);
        // Compressed levels lock whole 4x4 blocks.
        if (info_->compressed && (left % 4 != 0 || top % 4 != 0)) return D3DERR_INVALIDCALL;
    }
    if (state.data.empty()) state.data.assign(layout.size(), 0);

    std::size_t offset;
    if (info_->compressed) {
        state.first_row = top / 4;
        state.end_row = (bottom + 3) / 4;
        offset = std::size_t(state.first_row) * layout.pitch + std::size_t(left / 4) * info_->bytes;
    } else {
        state.first_row = top;
        state.end_row = bottom;
        offset = std::size_t(top) * layout.pitch + std::size_t(left) * info_->bytes;
    }
    state.locked = true;
    state.flags = flags;
    locked->Pitch = INT(layout.pitch);
    locked->pBits = state.data.data() + offset;
    return D3D_OK;
}

HRESULT Texture_Storage::Unlock(UINT face, UINT level) {
    if (face >= faces_ || level >= Level_Count()) return D3DERR_INVALIDCALL;
    Level& state = At(face, level);
    if (!state.locked) return D3DERR_INVALIDCALL;
    state.locked = false;
    if (state.flags & D3DLOCK_READONLY) return D3D_OK;

    const Level_Layout layout = Level_Layout_Of(*info_, width_, height_, level);
    const unsigned char* rows = state.data.data() + std::size_t(state.first_row) * layout.pitch;
    const GLsizei row_count = GLsizei(state.end_row - state.first_row);
    Owner()->Make_Current();
    if (info_->compressed) {
        const GLint y = GLint(state.first_row * 4);
        const GLsizei height = GLsizei(std::min(state.end_row * 4, layout.height)) - y;
        const GLsizei size = GLsizei(std::size_t(row_count) * layout.pitch);
        if (target_ == GL_TEXTURE_CUBE_MAP)
            glCompressedTextureSubImage3D(name_, GLint(level), 0, y, GLint(face),
                                          GLsizei(layout.width), height, 1,
                                          info_->internal_format, size, rows);
        else
            glCompressedTextureSubImage2D(name_, GLint(level), 0, y, GLsizei(layout.width),
                                          height, info_->internal_format, size, rows);
    } else {
        if (target_ == GL_TEXTURE_CUBE_MAP)
            glTextureSubImage3D(name_, GLint(level), 0, GLint(state.first_row), GLint(face),
                                GLsizei(layout.width), row_count, 1, info_->upload_format,
                                info_->upload_type, rows);
        else
            glTextureSubImage2D(name_, GLint(level), 0, GLint(state.first_row),
                                GLsizei(layout.width), row_count, info_->upload_format,
                                info_->upload_type, rows);
    }
    if ((usage_ & D3DUSAGE_AUTOGENMIPMAP) && level == 0 && !info_->compressed)
        glGenerateTextureMipmap(name_);
    return D3D_OK;
}

// ---------------------------------------------------------------------------

Texture::Texture(Device* device) : Texture_Storage(device, GL_TEXTURE_2D, 1) {}

HRESULT Texture::Create(Device* device, UINT width, UINT height, UINT levels, DWORD usage,
                        D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    std::unique_ptr<Texture> texture(new Texture(device));
    HRESULT hr = texture->Init(width, height, levels, usage, format, pool);
    if (FAILED(hr)) {
        texture.release()->Release();
        return hr;
    }
    *out = texture.release();
    return D3D_OK;
}

HRESULT Texture::GetDevice(IDirect3DDevice9** ppDevice) {
    if (!ppDevice) return D3DERR_INVALIDCALL;
    Owner()->AddRef();
    *ppDevice = Owner();
    return D3D_OK;
}

Cube_Texture::Cube_Texture(Device* device)
    : Texture_Storage(device, GL_TEXTURE_CUBE_MAP, 6), view_(this) {}

HRESULT Cube_Texture::Create(Device* device, UINT edge, UINT levels, DWORD usage,
                             D3DFORMAT format, D3DPOOL pool, IDirect3DCubeTexture9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    std::unique_ptr<Cube_Texture> texture(new Cube_Texture(device));
    HRESULT hr = texture->Init(edge, edge, levels, usage, format, pool);
    if (FAILED(hr)) {
        texture.release()->Release();
        return hr;
    }
    *out = texture.release();
    return D3D_OK;
}

HRESULT Cube_Texture::GetDevice(IDirect3DDevice9** ppDevice) {
    if (!ppDevice) return D3DERR_INVALIDCALL;
    Owner()->AddRef();
    *ppDevice = Owner();
    return D3D_OK;
}

HRESULT Cube_Texture::LockRect(D3DCUBEMAP_FACES FaceType, UINT Level, D3DLOCKED_RECT* pLockedRect,
                               const RECT* pRect, DWORD Flags) {
    return Lock(UINT(FaceType), Level, pLockedRect, pRect, Flags);
}

HRESULT Cube_Texture::UnlockRect(D3DCUBEMAP_FACES FaceType, UINT Level) {
    return Unlock(UINT(FaceType), Level);
}

ULONG Cube_Texture_View::AddRef() { return cube_->AddRef(); }
ULONG Cube_Texture_View::Release() { return cube_->Release(); }
HRESULT Cube_Texture_View::GetDevice(IDirect3DDevice9** ppDevice) {
    return cube_->GetDevice(ppDevice);
}
DWORD Cube_Texture_View::GetLevelCount() { return cube_->GetLevelCount(); }
HRESULT Cube_Texture_View::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) {
    return cube_->GetLevelDesc(Level, pDesc);
}

Texture_Storage* Texture_Storage_From(IDirect3DBaseTexture9* texture) {
    if (!texture) return nullptr;
    if (auto* storage = dynamic_cast<Texture_Storage*>(texture)) return storage;
    if (auto* view = dynamic_cast<Cube_Texture_View*>(texture)) return view->Cube();
    return nullptr;
}

GLuint Gl_Texture_Name(IDirect3DBaseTexture9* texture, GLenum* target) {
    Texture_Storage* storage = Texture_Storage_From(texture);
    if (!storage) return 0;
    if (target) *target = storage->Target();
    return storage->Name();
}

IDirect3DTexture9* Gl_Cube_Texture_View(IDirect3DCubeTexture9* cube) {
    auto* ours = dynamic_cast<Cube_Texture*>(cube);
    return ours ? ours->View() : nullptr;
}

IDirect3DCubeTexture9* Gl_Cube_Texture_Of(IDirect3DBaseTexture9* texture) {
    if (!texture) return nullptr;
    if (auto* cube = dynamic_cast<Cube_Texture*>(texture)) return cube;
    if (auto* view = dynamic_cast<Cube_Texture_View*>(texture)) return view->Cube();
    return nullptr;
}
