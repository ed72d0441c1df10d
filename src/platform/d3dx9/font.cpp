// ID3DXFont on FreeType and fontconfig. The face is rendered once, at
// creation, into one glyph atlas for the 224 printable Windows-1251 codes;
// DrawTextA then draws a textured quad per glyph with pre-transformed
// vertices, saving and restoring every device state it touches.
#include "platform/d3dx9/font.h"

#include "platform/d3d9/com_object.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <type_traits>
#include <new>
#include <vector>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

namespace {

constexpr unsigned k_first_code = 0x20;
constexpr unsigned k_code_count = 0x100 - k_first_code;  // 0x20..0xFF
constexpr int k_atlas_padding = 1;
constexpr UINT k_max_atlas_edge = 4096;
constexpr INT k_default_cell_height = 16;  // what GDI gives for height 0

// One pre-transformed, coloured, textured vertex.
struct Text_Vertex {
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};
constexpr DWORD k_text_fvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
static_assert(sizeof(Text_Vertex) == 28, "matches the vertex format");

struct Glyph {
    bool present = false;
    int left = 0;  // from the pen position to the bitmap's left edge
    int top = 0;   // from the baseline up to the bitmap's top edge
    int width = 0;
    int height = 0;
    int advance = 0;
    int atlas_x = 0;
    int atlas_y = 0;
};

// The Unicode code point of a Windows-1251 byte, 0 for the unassigned one.
char32_t Cp1251_Code_Point(unsigned char byte) {
    const char in[2] = {static_cast<char>(byte), 0};
    char out[8] = {};
    Platform_Cp1251_To_Utf8(in, out, sizeof out);
    const auto* s = reinterpret_cast<const unsigned char*>(out);
    if (s[0] == '?' && byte != '?') return 0;
    if (s[0] < 0x80) return s[0];
    if ((s[0] & 0xE0) == 0xC0) return ((s[0] & 0x1Fu) << 6) | (s[1] & 0x3Fu);
    if ((s[0] & 0xF0) == 0xE0) {
        return ((s[0] & 0x0Fu) << 12) | ((s[1] & 0x3Fu) << 6) | (s[2] & 0x3Fu);
    }
    return 0;
}

// Render, texture-stage and sampler states the text drawing sets, with the
// values it needs; the caller's values are read before and written back
// after every draw.
struct Render_State_Value {
    D3DRENDERSTATETYPE state;
    DWORD value;
};
constexpr Render_State_Value k_render_states[] = {
    {D3DRS_ALPHABLENDENABLE, TRUE},
    {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
    {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA},
    {D3DRS_BLENDOP, D3DBLENDOP_ADD},
    {D3DRS_SEPARATEALPHABLENDENABLE, FALSE},
    {D3DRS_ALPHATESTENABLE, FALSE},
    {D3DRS_ZENABLE, D3DZB_FALSE},
    {D3DRS_ZWRITEENABLE, FALSE},
    {D3DRS_STENCILENABLE, FALSE},
    {D3DRS_CULLMODE, D3DCULL_NONE},
    {D3DRS_FILLMODE, D3DFILL_SOLID},
    {D3DRS_FOGENABLE, FALSE},
    {D3DRS_LIGHTING, FALSE},
    {D3DRS_SPECULARENABLE, FALSE},
    {D3DRS_COLORWRITEENABLE, 0xF},
    {D3DRS_SCISSORTESTENABLE, FALSE},
    {D3DRS_SRGBWRITEENABLE, FALSE},
};

struct Stage_State_Value {
    DWORD stage;
    D3DTEXTURESTAGESTATETYPE state;
    DWORD value;
};
constexpr Stage_State_Value k_stage_states[] = {
    {0, D3DTSS_COLOROP, D3DTOP_MODULATE}, {0, D3DTSS_COLORARG1, D3DTA_TEXTURE},
    {0, D3DTSS_COLORARG2, D3DTA_DIFFUSE}, {0, D3DTSS_ALPHAOP, D3DTOP_MODULATE},
    {0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE}, {0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE},
    {0, D3DTSS_TEXCOORDINDEX, 0},         {0, D3DTSS_TEXTURETRANSFORMFLAGS, 0},
    {1, D3DTSS_COLOROP, D3DTOP_DISABLE},  {1, D3DTSS_ALPHAOP, D3DTOP_DISABLE},
};

struct Sampler_State_Value {
    D3DSAMPLERSTATETYPE state;
    DWORD value;
};
constexpr Sampler_State_Value k_sampler_states[] = {
    {D3DSAMP_MINFILTER, D3DTEXF_POINT},
    {D3DSAMP_MAGFILTER, D3DTEXF_POINT},
    {D3DSAMP_MIPFILTER, D3DTEXF_NONE},
    {D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP},
    {D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP},
    {D3DSAMP_SRGBTEXTURE, 0},
    {D3DSAMP_MAXMIPLEVEL, 0},
};

// Sets the text states on construction and puts the caller's back on
// destruction.
class State_Guard {
public:
    State_Guard(IDirect3DDevice9* device, IDirect3DBaseTexture9* atlas) : device_(device) {
        for (std::size_t i = 0; i < std::size(k_render_states); ++i) {
            device_->GetRenderState(k_render_states[i].state, &render_[i]);
            device_->SetRenderState(k_render_states[i].state, k_render_states[i].value);
        }
        for (std::size_t i = 0; i < std::size(k_stage_states); ++i) {
            const auto& s = k_stage_states[i];
            device_->GetTextureStageState(s.stage, s.state, &stage_[i]);
            device_->SetTextureStageState(s.stage, s.state, s.value);
        }
        for (std::size_t i = 0; i < std::size(k_sampler_states); ++i) {
            device_->GetSamplerState(0, k_sampler_states[i].state, &sampler_[i]);
            device_->SetSamplerState(0, k_sampler_states[i].state, k_sampler_states[i].value);
        }
        device_->GetVertexDeclaration(&declaration_);
        device_->GetFVF(&fvf_);
        device_->GetTexture(0, &texture_);
        device_->SetFVF(k_text_fvf);
        device_->SetTexture(0, atlas);
    }

    ~State_Guard() {
        device_->SetTexture(0, texture_);
        if (texture_) texture_->Release();
        // A format set with SetFVF also reads back as a declaration of its
        // own, so the format decides when there is one.
        if (fvf_ != 0) {
            device_->SetFVF(fvf_);
        } else {
            device_->SetVertexDeclaration(declaration_);
        }
        if (declaration_) declaration_->Release();
        for (std::size_t i = 0; i < std::size(k_sampler_states); ++i) {
            device_->SetSamplerState(0, k_sampler_states[i].state, sampler_[i]);
        }
        for (std::size_t i = 0; i < std::size(k_stage_states); ++i) {
            device_->SetTextureStageState(k_stage_states[i].stage, k_stage_states[i].state,
                                          stage_[i]);
        }
        for (std::size_t i = 0; i < std::size(k_render_states); ++i) {
            device_->SetRenderState(k_render_states[i].state, render_[i]);
        }
    }

    State_Guard(const State_Guard&) = delete;
    State_Guard& operator=(const State_Guard&) = delete;

private:
    IDirect3DDevice9* device_;
    std::array<DWORD, std::size(k_render_states)> render_{};
    std::array<DWORD, std::size(k_stage_states)> stage_{};
    std::array<DWORD, std::size(k_sampler_states)> sampler_{};
    IDirect3DVertexDeclaration9* declaration_ = nullptr;
    DWORD fvf_ = 0;
    IDirect3DBaseTexture9* texture_ = nullptr;
};

struct Ft_Library_Deleter {
    void operator()(FT_Library library) const { FT_Done_FreeType(library); }
};
struct Ft_Face_Deleter {
    void operator()(FT_Face face) const { FT_Done_Face(face); }
};
using Ft_Library = std::unique_ptr<std::remove_pointer_t<FT_Library>, Ft_Library_Deleter>;
using Ft_Face = std::unique_ptr<std::remove_pointer_t<FT_Face>, Ft_Face_Deleter>;

// The rendered face: metrics, glyph boxes and the atlas pixels (coverage).
struct Rendered_Face {
    int ascent = 0;
    int descent = 0;
    std::array<Glyph, k_code_count> glyphs{};
    UINT atlas_width = 0;
    UINT atlas_height = 0;
    std::vector<unsigned char> coverage;
};

HRESULT Render_Face(const Font_Face_Match& match, INT height, Rendered_Face* out) {
    FT_Library raw_library = nullptr;
    if (FT_Init_FreeType(&raw_library) != 0) return E_FAIL;
    Ft_Library library(raw_library);
    FT_Face raw_face = nullptr;
    if (FT_New_Face(library.get(), match.file.c_str(), match.index, &raw_face) != 0) {
        return E_FAIL;
    }
    Ft_Face face(raw_face);

    int cell_units = static_cast<int>(face->ascender - face->descender);
    if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face.get(), FT_SFNT_OS2))) {
        if (os2->usWinAscent + os2->usWinDescent > 0) {
            cell_units = os2->usWinAscent + os2->usWinDescent;
        }
    }
    const int em = Font_Em_Pixels(height, cell_units, face->units_per_EM);
    if (em <= 0 || em > 1024) return D3DERR_INVALIDCALL;
    if (FT_Set_Pixel_Sizes(face.get(), 0, static_cast<FT_UInt>(em)) != 0) return E_FAIL;
    out->ascent = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
    out->descent = static_cast<int>((-face->size->metrics.descender + 63) >> 6);

    // Render every glyph, remembering its coverage for packing.
    std::array<std::vector<unsigned char>, k_code_count> bitmaps;
    for (unsigned i = 0; i < k_code_count; ++i) {
        const char32_t code_point = Cp1251_Code_Point(static_cast<unsigned char>(k_first_code + i));
        // Codes the face has no glyph for (and the unassigned one) draw nothing.
        const FT_UInt index = code_point == 0 ? 0 : FT_Get_Char_Index(face.get(), code_point);
        if (index == 0) continue;
        if (FT_Load_Glyph(face.get(), index, FT_LOAD_RENDER) != 0) continue;
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        Glyph& g = out->glyphs[i];
        g.present = true;
        g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.width = static_cast<int>(bitmap.width);
        g.height = static_cast<int>(bitmap.rows);
        if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) {
            g.width = g.height = 0;
            continue;
        }
        std::vector<unsigned char>& pixels = bitmaps[i];
        pixels.resize(static_cast<std::size_t>(g.width) * g.height);
        for (int y = 0; y < g.height; ++y) {
            std::memcpy(pixels.data() + static_cast<std::size_t>(y) * g.width,
                        bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch, g.width);
        }
    }

    // Shelf packing into the narrowest power-of-two square-ish atlas.
    for (UINT width = 128; width <= k_max_atlas_edge; width *= 2) {
        int x = k_atlas_padding, y = k_atlas_padding, shelf = 0;
        bool fits = true;
        for (Glyph& g : out->glyphs) {
            if (!g.present || g.width == 0) continue;
            if (g.width + 2 * k_atlas_padding > static_cast<int>(width)) {
                fits = false;
                break;
            }
            if (x + g.width + k_atlas_padding > static_cast<int>(width)) {
                x = k_atlas_padding;
                y += shelf + k_atlas_padding;
                shelf = 0;
            }
            g.atlas_x = x;
            g.atlas_y = y;
            x += g.width + k_atlas_padding;
            shelf = std::max(shelf, g.height);
        }
        const UINT needed = static_cast<UINT>(y + shelf + k_atlas_padding);
        if (!fits || needed > width) continue;
        UINT height_pow2 = 1;
        while (height_pow2 < needed) height_pow2 *= 2;
        out->atlas_width = width;
        out->atlas_height = height_pow2;
        break;
    }
    if (out->atlas_width == 0) return E_OUTOFMEMORY;

    out->coverage.assign(static_cast<std::size_t>(out->atlas_width) * out->atlas_height, 0);
    for (unsigned i = 0; i < k_code_count; ++i) {
        const Glyph& g = out->glyphs[i];
        for (int y = 0; y < g.height; ++y) {
            std::memcpy(&out->coverage[static_cast<std::size_t>(g.atlas_y + y) * out->atlas_width +
                                       g.atlas_x],
                        bitmaps[i].data() + static_cast<std::size_t>(y) * g.width, g.width);
        }
    }
    return D3D_OK;
}

class Font final : public Com_Object<ID3DXFont> {
public:
    Font(IDirect3DDevice9* device, const Rendered_Face& face) : device_(device) {
        device_->AddRef();
        ascent_ = face.ascent;
        line_height_ = face.ascent + face.descent;
        glyphs_ = face.glyphs;
        atlas_width_ = face.atlas_width;
        atlas_height_ = face.atlas_height;
    }

    // The atlas: white, with the glyph coverage in alpha.
    HRESULT Create_Atlas(const Rendered_Face& face) {
        HRESULT hr = device_->CreateTexture(atlas_width_, atlas_height_, 1, 0, D3DFMT_A8R8G8B8,
                                            D3DPOOL_MANAGED, &atlas_, nullptr);
        if (FAILED(hr) || !atlas_) return FAILED(hr) ? hr : D3DERR_INVALIDCALL;
        D3DLOCKED_RECT locked{};
        hr = atlas_->LockRect(0, &locked, nullptr, 0);
        if (FAILED(hr) || !locked.pBits) return FAILED(hr) ? hr : D3DERR_INVALIDCALL;
        for (UINT y = 0; y < atlas_height_; ++y) {
            auto* row = static_cast<unsigned char*>(locked.pBits) +
                        static_cast<std::size_t>(y) * locked.Pitch;
            for (UINT x = 0; x < atlas_width_; ++x) {
                row[x * 4 + 0] = 0xFF;
                row[x * 4 + 1] = 0xFF;
                row[x * 4 + 2] = 0xFF;
                row[x * 4 + 3] = face.coverage[static_cast<std::size_t>(y) * atlas_width_ + x];
            }
        }
        atlas_->UnlockRect(0);
        return D3D_OK;
    }

    INT DrawTextA(LPD3DXSPRITE /*pSprite*/, LPCSTR pString, INT Count, LPRECT pRect, DWORD Format,
                  D3DCOLOR Color) override {
        if (!pString || !pRect) return 0;
        const std::size_t length =
            Count < 0 ? std::strlen(pString) : strnlen(pString, static_cast<std::size_t>(Count));
        const auto* text = reinterpret_cast<const unsigned char*>(pString);

        // Lines and their widths.
        std::vector<std::pair<std::size_t, std::size_t>> lines;  // [begin, end)
        const bool single_line = (Format & DT_SINGLELINE) != 0;
        std::size_t begin = 0;
        for (std::size_t i = 0; i <= length; ++i) {
            if (i == length || (!single_line && text[i] == '\n')) {
                std::size_t end = i;
                if (end > begin && text[end - 1] == '\r') --end;
                lines.emplace_back(begin, end);
                begin = i + 1;
            }
        }
        int text_width = 0;
        std::vector<int> widths;
        for (const auto& [b, e] : lines) {
            widths.push_back(Line_Width(text + b, e - b));
            text_width = std::max(text_width, widths.back());
        }
        const int text_height = line_height_ * static_cast<int>(lines.size());

        if (Format & DT_CALCRECT) {
            pRect->right = pRect->left + text_width;
            pRect->bottom = pRect->top + text_height;
            return text_height;
        }

        int top = pRect->top;
        if (Format & DT_BOTTOM) {
            top = pRect->bottom - text_height;
        } else if (Format & DT_VCENTER) {
            top = pRect->top + (pRect->bottom - pRect->top - text_height) / 2;
        }

        std::vector<Text_Vertex> vertices;
        vertices.reserve(length * 6);
        const bool clip = (Format & DT_NOCLIP) == 0;
        for (std::size_t l = 0; l < lines.size(); ++l) {
            int pen = pRect->left;
            if (Format & DT_RIGHT) {
                pen = pRect->right - widths[l];
            } else if (Format & DT_CENTER) {
                pen = pRect->left + (pRect->right - pRect->left - widths[l]) / 2;
            }
            const int baseline = top + static_cast<int>(l) * line_height_ + ascent_;
            for (std::size_t i = lines[l].first; i < lines[l].second; ++i) {
                const Glyph* g = Glyph_Of(text[i]);
                if (!g) continue;
                if (g->width > 0 && g->height > 0) {
                    Add_Quad(&vertices, *g, pen + g->left, baseline - g->top, Color,
                             clip ? pRect : nullptr);
                }
                pen += g->advance;
            }
        }
        if (!vertices.empty()) {
            State_Guard states(device_, atlas_);
            device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(vertices.size() / 3),
                                     vertices.data(), sizeof(Text_Vertex));
        }
        return text_height;
    }

private:
    ~Font() {
        if (atlas_) atlas_->Release();
        device_->Release();
    }

    const Glyph* Glyph_Of(unsigned char code) const {
        if (code < k_first_code) return nullptr;
        const Glyph& g = glyphs_[code - k_first_code];
        return g.present ? &g : nullptr;
    }

    int Line_Width(const unsigned char* text, std::size_t length) const {
        int width = 0;
        for (std::size_t i = 0; i < length; ++i) {
            if (const Glyph* g = Glyph_Of(text[i])) width += g->advance;
        }
        return width;
    }

    // Two triangles covering the glyph's pixels exactly: Direct3D 9 puts
    // pixel centres on integers, so the quad's edges sit half a pixel off.
    void Add_Quad(std::vector<Text_Vertex>* out, const Glyph& g, int x, int y, D3DCOLOR color,
                  const RECT* clip) const {
        float x0 = static_cast<float>(x), y0 = static_cast<float>(y);
        float x1 = x0 + g.width, y1 = y0 + g.height;
        float u0 = static_cast<float>(g.atlas_x), v0 = static_cast<float>(g.atlas_y);
        float u1 = u0 + g.width, v1 = v0 + g.height;
        if (clip) {
            const float cx0 = static_cast<float>(clip->left);
            const float cy0 = static_cast<float>(clip->top);
            const float cx1 = static_cast<float>(clip->right);
            const float cy1 = static_cast<float>(clip->bottom);
            if (x0 < cx0) {
                u0 += cx0 - x0;
                x0 = cx0;
            }
            if (y0 < cy0) {
                v0 += cy0 - y0;
                y0 = cy0;
            }
            if (x1 > cx1) {
                u1 -= x1 - cx1;
                x1 = cx1;
            }
            if (y1 > cy1) {
                v1 -= y1 - cy1;
                y1 = cy1;
            }
            if (x0 >= x1 || y0 >= y1) return;
        }
        const float su = 1.0f / atlas_width_, sv = 1.0f / atlas_height_;
        x0 -= 0.5f;
        y0 -= 0.5f;
        x1 -= 0.5f;
        y1 -= 0.5f;
        u0 *= su;
        u1 *= su;
        v0 *= sv;
        v1 *= sv;
        const Text_Vertex a{x0, y0, 0.0f, 1.0f, color, u0, v0};
        const Text_Vertex b{x1, y0, 0.0f, 1.0f, color, u1, v0};
        const Text_Vertex c{x0, y1, 0.0f, 1.0f, color, u0, v1};
        const Text_Vertex d{x1, y1, 0.0f, 1.0f, color, u1, v1};
        out->insert(out->end(), {a, b, c, c, b, d});
    }

    IDirect3DDevice9* device_;
    IDirect3DTexture9* atlas_ = nullptr;
    int ascent_ = 0;
    int line_height_ = 0;
    std::array<Glyph, k_code_count> glyphs_{};
    UINT atlas_width_ = 0;
    UINT atlas_height_ = 0;
};

}  // namespace

bool Font_Match(const char* face_name, UINT weight, bool italic, Font_Face_Match* out) {
    if (!out) return false;
    char family[512] = {};
    Platform_Cp1251_To_Utf8(face_name ? face_name : "", family, sizeof family);

    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return false;
    if (family[0]) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    const int ot_weight = weight == 0 ? FW_NORMAL : static_cast<int>(std::min(weight, 1000u));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(ot_weight));
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;

    bool found = false;
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
        out->file = reinterpret_cast<const char*>(file);
        int index = 0;
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        out->index = index;
        FcChar8* text = nullptr;
        out->family = FcPatternGetString(match, FC_FAMILY, 0, &text) == FcResultMatch && text
                          ? reinterpret_cast<const char*>(text)
                          : "";
        text = nullptr;
        out->style = FcPatternGetString(match, FC_STYLE, 0, &text) == FcResultMatch && text
                         ? reinterpret_cast<const char*>(text)
                         : "";
        found = true;
    }
    FcPatternDestroy(match);
    return found;
}

int Font_Em_Pixels(INT height, int cell_units, int em_units) {
    if (height < 0) return height == std::numeric_limits<INT>::min() ? 0 : -height;
    if (height == 0) height = k_default_cell_height;
    if (cell_units <= 0 || em_units <= 0) return height;
    return static_cast<int>(std::lround(static_cast<double>(height) * em_units / cell_units));
}

HRESULT WINAPI D3DXCreateFontA(LPDIRECT3DDEVICE9 pDevice, INT Height, UINT /*Width*/, UINT Weight,
                               UINT /*MipLevels*/, BOOL Italic, DWORD /*CharSet*/,
                               DWORD /*OutputPrecision*/, DWORD /*Quality*/,
                               DWORD /*PitchAndFamily*/, LPCSTR pFaceName, LPD3DXFONT* ppFont) {
    if (ppFont) *ppFont = nullptr;
    if (!pDevice || !ppFont) return D3DERR_INVALIDCALL;
    Font_Face_Match match;
    if (!Font_Match(pFaceName, Weight, Italic != FALSE, &match)) return E_FAIL;
    try {
        auto face = std::make_unique<Rendered_Face>();
        HRESULT hr = Render_Face(match, Height, face.get());
        if (FAILED(hr)) return hr;
        auto* font = new Font(pDevice, *face);
        hr = font->Create_Atlas(*face);
        if (FAILED(hr)) {
            font->Release();
            return hr;
        }
        *ppFont = font;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}
