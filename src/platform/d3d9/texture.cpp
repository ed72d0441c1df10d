#include "platform/d3d9/texture.h"

#include <algorithm>
#include <memory>

#include "platform/d3d9/device.h"
#include "platform/d3d9/gl_device.h"

Gl_Texture_Data::~Gl_Texture_Data() {
    if (name) {
        device->Make_Current();
        device->Forget_Texture_Name(name);
        glDeleteTextures(1, &name);
    }
}

namespace qm_d3d9 {

namespace {
constexpr std::size_t k_max_texture_bytes = std::size_t(1) << 30;
}  // namespace

namespace {

// Creates the immutable GL storage that `data` describes.
HRESULT Create_Gl_Storage(Gl_Texture_Data* data) {
    data->device->Make_Current();
    glCreateTextures(data->target, 1, &data->name);
    if (!data->name) return D3DERR_OUTOFVIDEOMEMORY;
    glTextureStorage2D(data->name, GLsizei(data->level_count), data->info->internal_format,
                       GLsizei(data->width), GLsizei(data->height));
    glTextureParameteriv(data->name, GL_TEXTURE_SWIZZLE_RGBA, data->info->swizzle);
    if (glGetError() == GL_OUT_OF_MEMORY) return D3DERR_OUTOFVIDEOMEMORY;
    return D3D_OK;
}

}  // namespace

Texture_Storage::Texture_Storage(Device* device, GLenum target, UINT faces)
    : Device_Child(device), data_(std::make_shared<Gl_Texture_Data>(device, target, faces)) {}

HRESULT Texture_Storage::Init(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                              D3DPOOL pool) {
    Gl_Texture_Data& d = *data_;
    d.info = Find_Texture_Format(format);
    if (!d.info || width == 0 || height == 0) return D3DERR_INVALIDCALL;
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
    for (UINT level = 0; level < levels; ++level)
        total += Level_Layout_Of(*d.info, width, height, level).size();
    if (total * d.faces > k_max_texture_bytes) return D3DERR_OUTOFVIDEOMEMORY;

    d.format = format;
    d.width = width;
    d.height = height;
    d.level_count = levels;
    d.usage = usage;
    d.pool = pool;
    d.levels.resize(std::size_t(d.faces) * levels);
    locks_.resize(d.levels.size());
    return Create_Gl_Storage(&d);
}

void Texture_Storage::Share(std::shared_ptr<Gl_Texture_Data> data) {
    data_ = std::move(data);
    locks_.assign(data_->levels.size(), Lock_State{});
}

// Gives this object storage of its own, a copy of the shared one, before it
// is written.
HRESULT Texture_Storage::Make_Private() {
    return ::Make_Private(&data_, [](Gl_Texture_Data* copy, const Gl_Texture_Data& shared) {
        const HRESULT hr = Create_Gl_Storage(copy);
        if (FAILED(hr)) return hr;
        for (UINT level = 0; level < shared.level_count; ++level) {
            const Level_Layout layout =
                Level_Layout_Of(*shared.info, shared.width, shared.height, level);
            glCopyImageSubData(shared.name, shared.target, GLint(level), 0, 0, 0, copy->name,
                               copy->target, GLint(level), 0, 0, 0, GLsizei(layout.width),
                               GLsizei(layout.height), GLsizei(shared.faces));
        }
        return D3D_OK;
    });
}

DWORD Texture_Storage::Level_Count() const {
    // A texture that makes its own mipmaps shows one level to the application.
    return (data_->usage & D3DUSAGE_AUTOGENMIPMAP) ? 1 : data_->level_count;
}

HRESULT Texture_Storage::Level_Desc(UINT level, D3DSURFACE_DESC* desc) const {
    if (!desc || level >= Level_Count()) return D3DERR_INVALIDCALL;
    const Gl_Texture_Data& d = *data_;
    const Level_Layout layout = Level_Layout_Of(*d.info, d.width, d.height, level);
    desc->Format = d.format;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = d.usage;
    desc->Pool = d.pool;
    desc->MultiSampleType = D3DMULTISAMPLE_NONE;
    desc->MultiSampleQuality = 0;
    desc->Width = layout.width;
    desc->Height = layout.height;
    return D3D_OK;
}

HRESULT Texture_Storage::Lock(UINT face, UINT level, D3DLOCKED_RECT* locked, const RECT* rect,
                              DWORD flags) {
    if (!locked || face >= Faces() || level >= Level_Count()) return D3DERR_INVALIDCALL;
    Lock_State& state = locks_[Index(face, level)];
    if (state.locked) return D3DERR_INVALIDCALL;
    const Format_Info& info = *data_->info;
    const Level_Layout layout = Level_Layout_Of(info, data_->width, data_->height, level);

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
        if (info.compressed && (left % 4 != 0 || top % 4 != 0)) return D3DERR_INVALIDCALL;
    }
    if (!(flags & D3DLOCK_READONLY)) {
        const HRESULT hr = Make_Private();
        if (FAILED(hr)) return hr;
    }
    std::vector<unsigned char>& bytes = data_->levels[Index(face, level)];
    if (bytes.empty()) bytes.assign(layout.size(), 0);

    std::size_t offset;
    if (info.compressed) {
        state.first_row = top / 4;
        state.end_row = (bottom + 3) / 4;
        offset = std::size_t(state.first_row) * layout.pitch + std::size_t(left / 4) * info.bytes;
    } else {
        state.first_row = top;
        state.end_row = bottom;
        offset = std::size_t(top) * layout.pitch + std::size_t(left) * info.bytes;
    }
    state.locked = true;
    state.flags = flags;
    locked->Pitch = INT(layout.pitch);
    locked->pBits = bytes.data() + offset;
    return D3D_OK;
}

HRESULT Texture_Storage::Unlock(UINT face, UINT level) {
    if (face >= Faces() || level >= Level_Count()) return D3DERR_INVALIDCALL;
    Lock_State& state = locks_[Index(face, level)];
    if (!state.locked) return D3DERR_INVALIDCALL;
    state.locked = false;
    if (state.flags & D3DLOCK_READONLY) return D3D_OK;

    const Gl_Texture_Data& d = *data_;
    const Format_Info& info = *d.info;
    const Level_Layout layout = Level_Layout_Of(info, d.width, d.height, level);
    const unsigned char* rows =
        d.levels[Index(face, level)].data() + std::size_t(state.first_row) * layout.pitch;
    const GLsizei row_count = GLsizei(state.end_row - state.first_row);
    Owner()->Make_Current();
    if (info.compressed) {
        const GLint y = GLint(state.first_row * 4);
        const GLsizei height = GLsizei(std::min(state.end_row * 4, layout.height)) - y;
        const GLsizei size = GLsizei(std::size_t(row_count) * layout.pitch);
        if (d.target == GL_TEXTURE_CUBE_MAP)
            glCompressedTextureSubImage3D(d.name, GLint(level), 0, y, GLint(face),
                                          GLsizei(layout.width), height, 1, info.internal_format,
                                          size, rows);
        else
            glCompressedTextureSubImage2D(d.name, GLint(level), 0, y, GLsizei(layout.width), height,
                                          info.internal_format, size, rows);
    } else {
        if (d.target == GL_TEXTURE_CUBE_MAP)
            glTextureSubImage3D(d.name, GLint(level), 0, GLint(state.first_row), GLint(face),
                                GLsizei(layout.width), row_count, 1, info.upload_format,
                                info.upload_type, rows);
        else
            glTextureSubImage2D(d.name, GLint(level), 0, GLint(state.first_row),
                                GLsizei(layout.width), row_count, info.upload_format,
                                info.upload_type, rows);
    }
    if ((d.usage & D3DUSAGE_AUTOGENMIPMAP) && level == 0 && !info.compressed)
        glGenerateTextureMipmap(d.name);
    return D3D_OK;
}

// ---------------------------------------------------------------------------

Texture::Texture(Device* device) : Child_Object(device, GL_TEXTURE_2D, 1) {}

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

HRESULT Texture::Create_Shared(std::shared_ptr<Gl_Texture_Data> data, IDirect3DTexture9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (!data || data->target != GL_TEXTURE_2D) return D3DERR_INVALIDCALL;
    auto* texture = new Texture(data->device);
    texture->Share(std::move(data));
    *out = texture;
    return D3D_OK;
}

Cube_Texture::Cube_Texture(Device* device)
    : Child_Object(device, GL_TEXTURE_CUBE_MAP, 6), view_(this) {}

HRESULT Cube_Texture::Create(Device* device, UINT edge, UINT levels, DWORD usage, D3DFORMAT format,
                             D3DPOOL pool, IDirect3DCubeTexture9** out) {
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

HRESULT Cube_Texture::Create_Shared(std::shared_ptr<Gl_Texture_Data> data,
                                    IDirect3DCubeTexture9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (!data || data->target != GL_TEXTURE_CUBE_MAP) return D3DERR_INVALIDCALL;
    auto* texture = new Cube_Texture(data->device);
    texture->Share(std::move(data));
    *out = texture;
    return D3D_OK;
}

HRESULT Cube_Texture::LockRect(D3DCUBEMAP_FACES FaceType, UINT Level, D3DLOCKED_RECT* pLockedRect,
                               const RECT* pRect, DWORD Flags) {
    return Lock(UINT(FaceType), Level, pLockedRect, pRect, Flags);
}

HRESULT Cube_Texture::UnlockRect(D3DCUBEMAP_FACES FaceType, UINT Level) {
    return Unlock(UINT(FaceType), Level);
}

ULONG Cube_Texture_View::AddRef() {
    return cube_->AddRef();
}
ULONG Cube_Texture_View::Release() {
    return cube_->Release();
}
HRESULT Cube_Texture_View::GetDevice(IDirect3DDevice9** ppDevice) {
    return cube_->GetDevice(ppDevice);
}
DWORD Cube_Texture_View::GetLevelCount() {
    return cube_->GetLevelCount();
}
HRESULT Cube_Texture_View::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) {
    return cube_->GetLevelDesc(Level, pDesc);
}

Texture_Storage* Texture_Storage_From(IDirect3DBaseTexture9* texture) {
    if (!texture) return nullptr;
    if (auto* storage = dynamic_cast<Texture_Storage*>(texture)) return storage;
    if (auto* view = dynamic_cast<Cube_Texture_View*>(texture)) return view->Cube();
    return nullptr;
}

}  // namespace qm_d3d9

GLuint Gl_Texture_Name(IDirect3DBaseTexture9* texture, GLenum* target) {
    qm_d3d9::Texture_Storage* storage = qm_d3d9::Texture_Storage_From(texture);
    if (!storage) return 0;
    if (target) *target = storage->Target();
    return storage->Name();
}

IDirect3DTexture9* Gl_Cube_Texture_View(IDirect3DCubeTexture9* cube) {
    auto* ours = dynamic_cast<qm_d3d9::Cube_Texture*>(cube);
    return ours ? ours->View() : nullptr;
}

IDirect3DCubeTexture9* Gl_Cube_Texture_Of(IDirect3DBaseTexture9* texture) {
    if (!texture) return nullptr;
    if (auto* cube = dynamic_cast<qm_d3d9::Cube_Texture*>(texture)) return cube;
    if (auto* view = dynamic_cast<qm_d3d9::Cube_Texture_View*>(texture)) return view->Cube();
    return nullptr;
}

std::weak_ptr<Gl_Texture_Data> Gl_Texture_Share_Of(IDirect3DBaseTexture9* texture) {
    qm_d3d9::Texture_Storage* storage = qm_d3d9::Texture_Storage_From(texture);
    if (!storage) return {};
    storage->Data()->shareable = true;
    return storage->Data();
}

HRESULT Gl_Create_Shared_Texture(std::shared_ptr<Gl_Texture_Data> data, IDirect3DTexture9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (!data) return D3DERR_INVALIDCALL;
    if (data->target == GL_TEXTURE_2D) return qm_d3d9::Texture::Create_Shared(std::move(data), out);
    IDirect3DCubeTexture9* cube = nullptr;
    const HRESULT hr = qm_d3d9::Cube_Texture::Create_Shared(std::move(data), &cube);
    if (FAILED(hr)) return hr;
    *out = Gl_Cube_Texture_View(cube);
    return D3D_OK;
}
