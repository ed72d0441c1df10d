// D3DXCreateTextureFromFileA: a texture file read with Windows path rules,
// decoded in memory and copied level by level into a device texture.
#include "platform/d3dx9.h"

#include "platform/d3d9/gl_device.h"
#include "platform/d3dx9/buffer.h"
#include "platform/d3dx9/file_share.h"
#include "platform/d3dx9/texture_image.h"

#include <algorithm>
#include <cstring>

namespace {

// Copies one stored level into a locked surface, row by row, since the
// device's pitch may exceed the tightly packed rows.
void Copy_Level(const Texture_Level& level, D3DFORMAT format, const D3DLOCKED_RECT& locked) {
    const std::size_t row_bytes = Texture_Row_Bytes(format, level.width);
    const UINT rows = Texture_Row_Count(format, level.height);
    const std::size_t pitch = locked.Pitch > 0 ? static_cast<std::size_t>(locked.Pitch) : row_bytes;
    auto* dst = static_cast<unsigned char*>(locked.pBits);
    for (UINT row = 0; row < rows; ++row) {
        std::memcpy(dst + row * pitch, level.bytes.data() + row * row_bytes,
                    std::min(row_bytes, pitch));
    }
}

HRESULT Upload_Plain(IDirect3DDevice9* device, const Texture_Image& image,
                     IDirect3DTexture9** out) {
    IDirect3DTexture9* texture = nullptr;
    HRESULT hr = device->CreateTexture(image.Width(), image.Height(), image.Level_Count(), 0,
                                       image.format, D3DPOOL_MANAGED, &texture, nullptr);
    if (FAILED(hr) || !texture) return FAILED(hr) ? hr : D3DERR_INVALIDCALL;
    for (UINT level = 0; level < image.Level_Count(); ++level) {
        D3DLOCKED_RECT locked{};
        hr = texture->LockRect(level, &locked, nullptr, 0);
        if (FAILED(hr) || !locked.pBits) {
            texture->Release();
            return FAILED(hr) ? hr : D3DERR_INVALIDCALL;
        }
        Copy_Level(image.faces[0][level], image.format, locked);
        texture->UnlockRect(level);
    }
    *out = texture;
    return D3D_OK;
}

HRESULT Upload_Cube(IDirect3DDevice9* device, const Texture_Image& image, IDirect3DTexture9** out) {
    IDirect3DCubeTexture9* cube = nullptr;
    HRESULT hr = device->CreateCubeTexture(image.Width(), image.Level_Count(), 0, image.format,
                                           D3DPOOL_MANAGED, &cube, nullptr);
    if (FAILED(hr) || !cube) return FAILED(hr) ? hr : D3DERR_INVALIDCALL;
    for (UINT face = 0; face < 6; ++face) {
        const auto face_id = static_cast<D3DCUBEMAP_FACES>(face);
        for (UINT level = 0; level < image.Level_Count(); ++level) {
            D3DLOCKED_RECT locked{};
            hr = cube->LockRect(face_id, level, &locked, nullptr, 0);
            if (FAILED(hr) || !locked.pBits) {
                cube->Release();
                return FAILED(hr) ? hr : D3DERR_INVALIDCALL;
            }
            Copy_Level(image.faces[face][level], image.format, locked);
            cube->UnlockRect(face_id, level);
        }
    }
    // The caller receives every texture as IDirect3DTexture9; a cube map comes
    // as the device's view of the cube, which shares the cube's reference
    // and binds as the cube.
    IDirect3DTexture9* view = Gl_Cube_Texture_View(cube);
    if (!view) {
        cube->Release();
        return D3DERR_INVALIDCALL;
    }
    *out = view;
    return D3D_OK;
}

// Textures loaded from files, by device and file.
File_Share_Cache<Gl_Texture_Data>& Loaded_Textures() {
    static File_Share_Cache<Gl_Texture_Data> cache;
    return cache;
}

}  // namespace

HRESULT WINAPI D3DXCreateTextureFromFileA(LPDIRECT3DDEVICE9 pDevice, LPCSTR pSrcFile,
                                          LPDIRECT3DTEXTURE9* ppTexture) {
    if (ppTexture) *ppTexture = nullptr;
    if (!pDevice || !pSrcFile || !ppTexture) return D3DERR_INVALIDCALL;

    // The same unchanged file loaded before and still in use: a new texture
    // object over the same storage.
    File_Identity file;
    const bool known = File_Identity_Of(pSrcFile, &file);
    if (known) {
        if (auto shared = Loaded_Textures().Find(pDevice, file, 0))
            return Gl_Create_Shared_Texture(std::move(shared), ppTexture);
    }

    std::vector<unsigned char> bytes;
    HRESULT hr = Read_File_Bytes(pSrcFile, &bytes);
    if (FAILED(hr)) return hr;
    if (bytes.empty()) return D3DXERR_INVALIDDATA;

    Texture_Image image;
    hr = Decode_Texture(bytes.data(), bytes.size(), &image, Device_Texture_Limits(pDevice));
    if (FAILED(hr)) return hr;
    bytes = {};

    hr = image.cube ? Upload_Cube(pDevice, image, ppTexture)
                    : Upload_Plain(pDevice, image, ppTexture);
    if (SUCCEEDED(hr) && known) {
        if (auto data = Gl_Texture_Share_Of(*ppTexture).lock())
            Loaded_Textures().Remember(pDevice, file, 0, data);
    }
    return hr;
}

IDirect3DCubeTexture9* D3DXTextureAsCube(IDirect3DBaseTexture9* pTexture) {
    return Gl_Cube_Texture_Of(pTexture);
}
