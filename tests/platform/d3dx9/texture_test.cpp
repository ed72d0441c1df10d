// Texture files: every picture format decodes to the texels that were
// written, DDS layouts and mip chains come through as stored, cube maps come
// back as cube textures, and damaged files fail cleanly. Files are generated
// here: pictures with an independent encoder, DDS files byte by byte.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <epoxy/gl.h>

#include "platform/d3d9/gl_device.h"
#include "platform/d3dx9.h"
#include "platform/d3dx9/texture_image.h"
#include "support/temp_dir.h"
#include "support/test_device.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace {

struct Rgba {
    unsigned char r, g, b, a;
};

// ---------------------------------------------------------------------------
// File builders
// ---------------------------------------------------------------------------
void Append_Bytes(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), size);
}

enum class Picture { Bmp, Png, Tga, Jpg };

std::string Encode(Picture kind, int w, int h, const std::vector<Rgba>& pixels) {
    std::string out;
    const void* data = pixels.data();
    switch (kind) {
    case Picture::Bmp: stbi_write_bmp_to_func(Append_Bytes, &out, w, h, 4, data); break;
    case Picture::Png: stbi_write_png_to_func(Append_Bytes, &out, w, h, 4, data, w * 4); break;
    case Picture::Tga: stbi_write_tga_to_func(Append_Bytes, &out, w, h, 4, data); break;
    case Picture::Jpg: stbi_write_jpg_to_func(Append_Bytes, &out, w, h, 4, data, 100); break;
    }
    return out;
}

void Put32(std::string* s, DWORD v) {
    for (int i = 0; i < 4; ++i) s->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

struct Dds_Layout {
    DWORD pf_flags = 0x41;  // RGB | alpha pixels
    DWORD four_cc = 0;
    DWORD bits = 32;
    DWORD r = 0xFF0000, g = 0xFF00, b = 0xFF, a = 0xFF000000u;
};
constexpr DWORD k_dds_four_cc = 0x4;
constexpr DWORD k_cube_all_faces = 0x200 | 0xFC00;

std::string Dds_File(UINT w, UINT h, UINT mips, const Dds_Layout& layout, const std::string& data,
                     DWORD caps2 = 0) {
    std::string s = "DDS ";
    Put32(&s, 124);
    Put32(&s, 0x1 | 0x2 | 0x4 | 0x1000 | (mips > 1 ? 0x20000 : 0));
    Put32(&s, h);
    Put32(&s, w);
    Put32(&s, 0);
    Put32(&s, 0);
    Put32(&s, mips);
    for (int i = 0; i < 11; ++i) Put32(&s, 0);
    Put32(&s, 32);
    Put32(&s, layout.pf_flags);
    Put32(&s, layout.four_cc);
    Put32(&s, layout.bits);
    Put32(&s, layout.r);
    Put32(&s, layout.g);
    Put32(&s, layout.b);
    Put32(&s, layout.a);
    Put32(&s, 0x1000 | (mips > 1 ? 0x400008 : 0));
    Put32(&s, caps2);
    Put32(&s, 0);
    Put32(&s, 0);
    Put32(&s, 0);
    return s + data;
}

Dds_Layout Four_Cc(const char* code) {
    Dds_Layout l;
    l.pf_flags = k_dds_four_cc;
    l.four_cc = MAKEFOURCC(code[0], code[1], code[2], code[3]);
    l.bits = l.r = l.g = l.b = l.a = 0;
    return l;
}

std::string Repeat(const std::string& unit, int times) {
    std::string s;
    for (int i = 0; i < times; ++i) s += unit;
    return s;
}

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s.push_back(static_cast<char>(v));
    return s;
}

// ---------------------------------------------------------------------------
// Checks
// ---------------------------------------------------------------------------
Texture_Image Decode_Ok(const std::string& file) {
    Texture_Image image;
    const HRESULT hr =
        Decode_Texture(reinterpret_cast<const unsigned char*>(file.data()), file.size(), &image);
    EXPECT_EQ(hr, D3D_OK);
    return image;
}

HRESULT Decode_Result(const std::string& file) {
    Texture_Image image;
    return Decode_Texture(reinterpret_cast<const unsigned char*>(file.data()), file.size(), &image);
}

// B, G, R, A of texel (x, y) of an A8R8G8B8 level.
Rgba Texel(const Texture_Level& level, UINT x, UINT y) {
    const unsigned char* p = &level.bytes[(static_cast<std::size_t>(y) * level.width + x) * 4];
    return {p[2], p[1], p[0], p[3]};
}

void Expect_Texel(const Texture_Level& level, UINT x, UINT y, Rgba expected, int tolerance = 0) {
    const Rgba t = Texel(level, x, y);
    EXPECT_NEAR(t.r, expected.r, tolerance) << "red at " << x << "," << y;
    EXPECT_NEAR(t.g, expected.g, tolerance) << "green at " << x << "," << y;
    EXPECT_NEAR(t.b, expected.b, tolerance) << "blue at " << x << "," << y;
    EXPECT_NEAR(t.a, expected.a, tolerance) << "alpha at " << x << "," << y;
}

const std::vector<Rgba> k_eight = {
    {255, 0, 0, 255},  {0, 255, 0, 255},    {0, 0, 255, 255}, {255, 255, 255, 255},
    {10, 20, 30, 255}, {200, 100, 50, 255}, {0, 0, 0, 255},   {128, 64, 32, 255},
};

}  // namespace

// ---------------------------------------------------------------------------
// Decoding
// ---------------------------------------------------------------------------
TEST(Texture_Decode, PicturesGiveTheTexelsThatWereWritten) {
    for (Picture kind : {Picture::Bmp, Picture::Png, Picture::Tga}) {
        SCOPED_TRACE(static_cast<int>(kind));
        std::vector<Rgba> pixels = k_eight;
        // Formats that keep alpha get a translucent texel.
        if (kind != Picture::Bmp) pixels[3].a = 77;
        const Texture_Image image = Decode_Ok(Encode(kind, 4, 2, pixels));
        ASSERT_EQ(image.format, D3DFMT_A8R8G8B8);
        ASSERT_FALSE(image.cube);
        ASSERT_EQ(image.Width(), 4u);
        ASSERT_EQ(image.Height(), 2u);
        // A full chain: 4x2, 2x1, 1x1.
        ASSERT_EQ(image.Level_Count(), 3u);
        for (UINT i = 0; i < 8; ++i) {
            Rgba expected = pixels[i];
            if (kind == Picture::Bmp) expected.a = 255;
            Expect_Texel(image.faces[0][0], i % 4, i / 4, expected);
        }
    }

    // JPEG is lossy: flat 8x8 blocks keep their colour closely.
    std::vector<Rgba> blocks(16 * 16);
    const Rgba colours[4] = {
        {200, 40, 40, 255}, {40, 200, 40, 255}, {40, 40, 200, 255}, {220, 220, 220, 255}};
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) blocks[y * 16 + x] = colours[(y / 8) * 2 + x / 8];
    const Texture_Image jpg = Decode_Ok(Encode(Picture::Jpg, 16, 16, blocks));
    ASSERT_EQ(jpg.Width(), 16u);
    ASSERT_EQ(jpg.Level_Count(), 5u);
    Expect_Texel(jpg.faces[0][0], 4, 4, colours[0], 12);
    Expect_Texel(jpg.faces[0][0], 12, 4, colours[1], 12);
    Expect_Texel(jpg.faces[0][0], 4, 12, colours[2], 12);
    Expect_Texel(jpg.faces[0][0], 12, 12, colours[3], 12);
}

TEST(Texture_Decode, MipLevelsAreBoxFiltered) {
    // 4x2: the 2x1 level averages each 2x2 block, the 1x1 level all eight.
    const std::vector<Rgba> pixels = {
        {0, 0, 0, 255},    {40, 80, 120, 255},  {100, 100, 100, 0},   {100, 100, 100, 0},
        {20, 40, 60, 255}, {60, 120, 180, 255}, {200, 200, 200, 100}, {0, 0, 0, 100},
    };
    const Texture_Image image = Decode_Ok(Encode(Picture::Png, 4, 2, pixels));
    ASSERT_EQ(image.Level_Count(), 3u);
    const Texture_Level& half = image.faces[0][1];
    ASSERT_EQ(half.width, 2u);
    ASSERT_EQ(half.height, 1u);
    Expect_Texel(half, 0, 0, {30, 60, 90, 255});
    Expect_Texel(half, 1, 0, {100, 100, 100, 50});
    const Texture_Level& last = image.faces[0][2];
    ASSERT_EQ(last.width, 1u);
    Expect_Texel(last, 0, 0, {65, 80, 95, 153}, 1);

    // Odd sizes: 3x3 to 1x1 weighs all nine texels alike.
    std::vector<Rgba> nine(9, Rgba{0, 0, 0, 255});
    nine[4] = {90, 180, 0, 255};
    const Texture_Image odd = Decode_Ok(Encode(Picture::Png, 3, 3, nine));
    ASSERT_EQ(odd.Level_Count(), 2u);
    Expect_Texel(odd.faces[0][1], 0, 0, {10, 20, 0, 255});
}

TEST(Texture_Decode, UncompressedDdsLayoutsBecomeA8R8G8B8) {
    struct Case {
        const char* name;
        Dds_Layout layout;
        std::string texels;  // two texels
        Rgba first, second;
    };
    Dds_Layout x8 = {0x40, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0};
    Dds_Layout rgb24 = {0x40, 0, 24, 0xFF0000, 0xFF00, 0xFF, 0};
    Dds_Layout a8 = {0x2, 0, 8, 0, 0, 0, 0xFF};
    Dds_Layout l8 = {0x20000, 0, 8, 0xFF, 0, 0, 0};
    Dds_Layout r5g6b5 = {0x40, 0, 16, 0xF800, 0x07E0, 0x001F, 0};
    Dds_Layout a1r5g5b5 = {0x41, 0, 16, 0x7C00, 0x03E0, 0x001F, 0x8000};
    Dds_Layout a4r4g4b4 = {0x41, 0, 16, 0x0F00, 0x00F0, 0x000F, 0xF000};
    Dds_Layout by_code = {k_dds_four_cc, D3DFMT_A8R8G8B8, 0, 0, 0, 0, 0};
    const Case cases[] = {
        {"A8R8G8B8",
         Dds_Layout{},
         Bytes({0x30, 0x20, 0x10, 0x80, 1, 2, 3, 4}),
         {0x10, 0x20, 0x30, 0x80},
         {3, 2, 1, 4}},
        {"X8R8G8B8",
         x8,
         Bytes({0x30, 0x20, 0x10, 0x00, 1, 2, 3, 4}),
         {0x10, 0x20, 0x30, 255},
         {3, 2, 1, 255}},
        {"R8G8B8",
         rgb24,
         Bytes({0x30, 0x20, 0x10, 1, 2, 3}),
         {0x10, 0x20, 0x30, 255},
         {3, 2, 1, 255}},
        {"A8", a8, Bytes({0x00, 0xC8}), {0, 0, 0, 0}, {0, 0, 0, 200}},
        {"L8", l8, Bytes({0x00, 0x7B}), {0, 0, 0, 255}, {123, 123, 123, 255}},
        // 0xF800 full red; 0x8410: red 16/31, green 32/63, blue 16/31.
        {"R5G6B5", r5g6b5, Bytes({0x00, 0xF8, 0x10, 0x84}), {255, 0, 0, 255}, {132, 130, 132, 255}},
        // 0x83E0: alpha set, green full; 0x001F: alpha clear, blue full.
        {"A1R5G5B5", a1r5g5b5, Bytes({0xE0, 0x83, 0x1F, 0x00}), {0, 255, 0, 255}, {0, 0, 255, 0}},
        // 0xF842: alpha 15, red 8, green 4, blue 2 of 15.
        {"A4R4G4B4", a4r4g4b4, Bytes({0x42, 0xF8, 0x0F, 0x00}), {136, 68, 34, 255}, {0, 0, 255, 0}},
        {"A8R8G8B8 by format code",
         by_code,
         Bytes({0x30, 0x20, 0x10, 0x80, 1, 2, 3, 4}),
         {0x10, 0x20, 0x30, 0x80},
         {3, 2, 1, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Texture_Image image = Decode_Ok(Dds_File(2, 1, 1, c.layout, c.texels));
        ASSERT_EQ(image.format, D3DFMT_A8R8G8B8);
        ASSERT_EQ(image.Level_Count(), 2u);  // 2x1 and the generated 1x1
        Expect_Texel(image.faces[0][0], 0, 0, c.first);
        Expect_Texel(image.faces[0][0], 1, 0, c.second);
    }
}

TEST(Texture_Decode, DdsMipChainsAreKeptOrCompleted) {
    // Uncompressed 4x4 with two stored levels: the stored 2x2 is kept even
    // though it is not the average of the 4x4, and the 1x1 is made from it.
    const std::string level0 = Repeat(Bytes({0, 0, 255, 255}), 16);  // red
    const std::string level1 = Repeat(Bytes({255, 0, 0, 255}), 2) +  // blue
                               Repeat(Bytes({0, 255, 0, 255}), 2);   // green
    const Texture_Image argb = Decode_Ok(Dds_File(4, 4, 2, Dds_Layout{}, level0 + level1));
    ASSERT_EQ(argb.Level_Count(), 3u);
    Expect_Texel(argb.faces[0][0], 3, 3, {255, 0, 0, 255});
    Expect_Texel(argb.faces[0][1], 0, 0, {0, 0, 255, 255});
    Expect_Texel(argb.faces[0][1], 1, 1, {0, 255, 0, 255});
    Expect_Texel(argb.faces[0][2], 0, 0, {0, 128, 128, 255}, 1);

    // DXT1 with one level stays one level, kept byte for byte.
    const std::string block = Bytes({0x00, 0xF8, 0x1F, 0x00, 0x00, 0x55, 0xAA, 0xFF});
    const Texture_Image dxt1 = Decode_Ok(Dds_File(8, 8, 1, Four_Cc("DXT1"), Repeat(block, 4)));
    ASSERT_EQ(dxt1.format, D3DFMT_DXT1);
    ASSERT_EQ(dxt1.Level_Count(), 1u);
    EXPECT_EQ(std::string(dxt1.faces[0][0].bytes.begin(), dxt1.faces[0][0].bytes.end()),
              Repeat(block, 4));

    // DXT5 with its full chain: 8x8 (4 blocks), 4x4, 2x2, 1x1 (a block each).
    std::string dxt5_data;
    for (int i = 0; i < 7; ++i) dxt5_data += std::string(16, static_cast<char>(i + 1));
    const Texture_Image dxt5 = Decode_Ok(Dds_File(8, 8, 4, Four_Cc("DXT5"), dxt5_data));
    ASSERT_EQ(dxt5.format, D3DFMT_DXT5);
    ASSERT_EQ(dxt5.Level_Count(), 4u);
    EXPECT_EQ(dxt5.faces[0][0].bytes.size(), 64u);
    EXPECT_EQ(dxt5.faces[0][3].bytes, std::vector<unsigned char>(16, 7));
    EXPECT_EQ(dxt5.faces[0][3].width, 1u);

    // DXT3 with two of four levels keeps the two.
    const Texture_Image dxt3 =
        Decode_Ok(Dds_File(8, 8, 2, Four_Cc("DXT3"), std::string(16 * 5, '\x11')));
    ASSERT_EQ(dxt3.format, D3DFMT_DXT3);
    EXPECT_EQ(dxt3.Level_Count(), 2u);
}

TEST(Texture_Decode, DdsCubeMapsHoldSixFacesInOrder) {
    std::string data;
    for (int face = 0; face < 6; ++face) {
        const std::string texel = Bytes({face * 10, face * 20, face * 30, 255});
        data += Repeat(texel, 4) + texel;  // 2x2 and 1x1
    }
    const Texture_Image cube = Decode_Ok(Dds_File(2, 2, 2, Dds_Layout{}, data, k_cube_all_faces));
    ASSERT_TRUE(cube.cube);
    ASSERT_EQ(cube.faces.size(), 6u);
    ASSERT_EQ(cube.Level_Count(), 2u);
    for (int face = 0; face < 6; ++face) {
        const Rgba expected = {static_cast<unsigned char>(face * 30),
                               static_cast<unsigned char>(face * 20),
                               static_cast<unsigned char>(face * 10), 255};
        Expect_Texel(cube.faces[face][0], 1, 1, expected);
        Expect_Texel(cube.faces[face][1], 0, 0, expected);
    }
}

TEST(Texture_Decode, MalformedDdsHeadersAreRefused) {
    const std::string texels = std::string(16, '\x7F');
    const std::string good = Dds_File(2, 2, 1, Dds_Layout{}, texels);
    ASSERT_EQ(Decode_Result(good), D3D_OK);

    std::string bad_size = good;
    bad_size[4] = 100;
    EXPECT_EQ(Decode_Result(bad_size), D3DXERR_INVALIDDATA);
    EXPECT_EQ(Decode_Result(Dds_File(0, 2, 1, Dds_Layout{}, texels)), D3DXERR_INVALIDDATA);
    EXPECT_EQ(Decode_Result(good.substr(0, good.size() - 1)), D3DXERR_INVALIDDATA);
    EXPECT_EQ(Decode_Result(good.substr(0, 100)), D3DXERR_INVALIDDATA);
    // Huge declared sizes are refused from the header alone.
    EXPECT_EQ(Decode_Result(Dds_File(20000, 2, 1, Dds_Layout{}, texels)), D3DXERR_INVALIDDATA);
    // 16384 x 16384 with its chain decodes to more than the device holds.
    EXPECT_EQ(Decode_Result(Dds_File(16384, 16384, 15, Dds_Layout{}, texels)),
              D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(Decode_Result(Dds_File(16384, 16384, 1, Four_Cc("DXT1"), texels)),
              D3DXERR_INVALIDDATA);
    // Layouts the reader does not know.
    EXPECT_EQ(Decode_Result(Dds_File(2, 2, 1, Four_Cc("DX10"), texels)), D3DXERR_INVALIDDATA);
    EXPECT_EQ(Decode_Result(Dds_File(2, 2, 1, Four_Cc("ATI2"), texels)), D3DXERR_INVALIDDATA);
    Dds_Layout wide_mask = {0x40, 0, 16, 0xFF0000, 0xFF00, 0xFF, 0};
    EXPECT_EQ(Decode_Result(Dds_File(2, 2, 1, wide_mask, texels)), D3DXERR_INVALIDDATA);
    Dds_Layout no_bits = {0x40, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(Decode_Result(Dds_File(2, 2, 1, no_bits, texels)), D3DXERR_INVALIDDATA);
    // Cube maps must have all six square faces; volumes are not textures here.
    EXPECT_EQ(Decode_Result(Dds_File(2, 2, 1, Dds_Layout{}, Repeat(texels, 6), 0x200 | 0x7C00)),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(Decode_Result(Dds_File(2, 1, 1, Dds_Layout{}, Repeat(texels, 6), k_cube_all_faces)),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(Decode_Result(Dds_File(2, 2, 1, Dds_Layout{}, texels, 0x200000)),
              D3DXERR_INVALIDDATA);
}

TEST(Texture_Decode, HugePicturesAreRefusedBeforeDecoding) {
    // A PNG whose header claims 100000 x 100000.
    std::string png = Encode(Picture::Png, 2, 2, std::vector<Rgba>(4, Rgba{1, 2, 3, 4}));
    ASSERT_GT(png.size(), 24u);
    const std::string wide = Bytes({0x00, 0x01, 0x86, 0xA0});
    png.replace(16, 4, wide);
    png.replace(20, 4, wide);
    EXPECT_EQ(Decode_Result(png), D3DXERR_INVALIDDATA);

    // A BMP header claiming a million pixels per row.
    std::string bmp = Encode(Picture::Bmp, 2, 2, std::vector<Rgba>(4, Rgba{1, 2, 3, 4}));
    bmp.replace(18, 4, Bytes({0x40, 0x42, 0x0F, 0x00}));
    EXPECT_LT(Decode_Result(bmp), 0);

    EXPECT_EQ(Decode_Result(""), D3DXERR_INVALIDDATA);
    EXPECT_EQ(Decode_Result("not a picture at all"), D3DXERR_INVALIDDATA);
}

HRESULT Decode_Within(const std::string& file, const Texture_Limits& limits) {
    Texture_Image image;
    return Decode_Texture(reinterpret_cast<const unsigned char*>(file.data()), file.size(), &image,
                          limits);
}

// A PNG of w x h whose header is real but whose data is that of a 2 x 2
// picture: a decoder that got as far as the data would fail on it.
std::string Png_Header_Only(std::uint32_t w, std::uint32_t h) {
    std::string png = Encode(Picture::Png, 2, 2, std::vector<Rgba>(4, Rgba{1, 2, 3, 4}));
    auto be = [](std::uint32_t v) {
        return Bytes({int(v >> 24), int((v >> 16) & 0xFF), int((v >> 8) & 0xFF), int(v & 0xFF)});
    };
    png.replace(16, 4, be(w));
    png.replace(20, 4, be(h));
    return png;
}

TEST(Texture_Decode, WhatTheDeviceCannotHoldIsRefusedFromTheHeader) {
    // A picture the size of the edge limit fits, one texel more does not.
    const std::vector<Rgba> grey(64 * 64, Rgba{9, 9, 9, 255});
    EXPECT_EQ(Decode_Within(Encode(Picture::Png, 64, 64, grey), {64, 1u << 30}), D3D_OK);
    EXPECT_EQ(Decode_Within(Encode(Picture::Png, 64, 64, grey), {63, 1u << 30}),
              D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(Decode_Within(Encode(Picture::Tga, 64, 64, grey), {63, 1u << 30}),
              D3DERR_OUTOFVIDEOMEMORY);
    // The byte limit counts the whole chain: 8x8, 4x4, 2x2, 1x1 texels of 4 bytes.
    const std::string small = Encode(Picture::Bmp, 8, 8, std::vector<Rgba>(64, Rgba{}));
    EXPECT_EQ(Decode_Within(small, {64, 85 * 4}), D3D_OK);
    EXPECT_EQ(Decode_Within(small, {64, 85 * 4 - 1}), D3DERR_OUTOFVIDEOMEMORY);
    // DDS: DXT1 blocks as stored, and every face of a cube map.
    const std::string dxt = Dds_File(8, 8, 4, Four_Cc("DXT1"), std::string(32 + 8 * 3, 'd'));
    EXPECT_EQ(Decode_Within(dxt, {8, 56}), D3D_OK);
    EXPECT_EQ(Decode_Within(dxt, {8, 55}), D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(Decode_Within(dxt, {4, 56}), D3DERR_OUTOFVIDEOMEMORY);
    const std::string cube =
        Dds_File(4, 4, 1, Dds_Layout{}, Repeat(std::string(64, 'c'), 6), k_cube_all_faces);
    EXPECT_EQ(Decode_Within(cube, {4, 6 * 21 * 4}), D3D_OK);
    EXPECT_EQ(Decode_Within(cube, {4, 6 * 21 * 4 - 1}), D3DERR_OUTOFVIDEOMEMORY);

    // With the default limits a small file declaring 16384 x 16384 (1 GiB
    // of texels, more with its chain) is refused before its data is looked
    // at; 4096 x 4096 is not, and then fails on the data.
    EXPECT_EQ(Decode_Result(Png_Header_Only(16384, 16384)), D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(Decode_Result(Png_Header_Only(16384, 12800)), D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(Decode_Result(Png_Header_Only(4096, 4096)), D3DXERR_INVALIDDATA);
}

TEST(Texture_Decode, PngChunksMustLieWithinTheFile) {
    const std::string png = Encode(Picture::Png, 2, 2, std::vector<Rgba>(4, Rgba{1, 2, 3, 4}));
    ASSERT_EQ(Decode_Result(png), D3D_OK);
    const std::size_t iend = png.size() - 12;
    ASSERT_EQ(png.substr(iend + 4, 4), "IEND");
    // A data chunk declaring 1.6 GB, and a text chunk declaring 16 bytes,
    // in files that end a few bytes later.
    for (const std::string& chunk : {Bytes({0x60, 0, 0, 0, 'I', 'D', 'A', 'T', 1, 2, 3}),
                                     Bytes({0, 0, 0, 16, 't', 'E', 'X', 't', 'a', '=', 'b'})}) {
        std::string damaged = png;
        damaged.insert(iend, chunk);
        EXPECT_EQ(Decode_Result(damaged), D3DXERR_INVALIDDATA);
    }
    // What follows IEND is never read, so it may be anything.
    EXPECT_EQ(Decode_Result(png + Bytes({0x60, 0, 0, 0, 'I', 'D', 'A', 'T'})), D3D_OK);
}

TEST(Texture_Decode, JpegTablesTheDecoderCannotUseAreRefused) {
    const std::string jpg = Encode(Picture::Jpg, 8, 8, std::vector<Rgba>(64, {90, 60, 30, 255}));
    ASSERT_EQ(Decode_Result(jpg), D3D_OK);
    // Code counts totalling more than the 256 symbols a table can hold, in
    // the first Huffman table segment and in one placed after the image data.
    const std::size_t dht = jpg.find("\xFF\xC4");
    ASSERT_NE(dht, std::string::npos);
    std::string in_header = jpg;
    for (int i = 0; i < 16; ++i) in_header[dht + 5 + i] = '\x40';
    EXPECT_EQ(Decode_Result(in_header), D3DXERR_INVALIDDATA);

    std::string trailing = jpg.substr(0, jpg.size() - 2);  // without the end marker
    trailing += Bytes({0xFF, 0xC4, 0x00, 0x13, 0x10});
    trailing += std::string(16, '\x20');
    EXPECT_EQ(Decode_Result(trailing), D3DXERR_INVALIDDATA);

    // A scan selecting Huffman tables (number 3) no segment defined.
    const std::size_t sos = jpg.find("\xFF\xDA");
    ASSERT_NE(sos, std::string::npos);
    std::string undefined = jpg;
    undefined[sos + 6] = '\x33';  // first component: DC table 3, AC table 3
    EXPECT_EQ(Decode_Result(undefined), D3DXERR_INVALIDDATA);
}

TEST(Texture_Decode, EmptyPngDataChunksAreSkipped) {
    const std::string png = Encode(
        Picture::Png, 2, 2, {{1, 2, 3, 255}, {4, 5, 6, 255}, {7, 8, 9, 255}, {10, 11, 12, 255}});
    const std::size_t idat = png.find("IDAT");
    ASSERT_NE(idat, std::string::npos);
    // An empty IDAT chunk (length 0, its CRC) ahead of the one with the data.
    std::string with_empty = png;
    with_empty.insert(idat - 4, Bytes({0, 0, 0, 0, 'I', 'D', 'A', 'T', 0x35, 0xAF, 0x06, 0x1E}));
    const Texture_Image image = Decode_Ok(with_empty);
    ASSERT_EQ(image.Width(), 2u);
    Expect_Texel(image.faces[0][0], 0, 0, {1, 2, 3, 255});
    Expect_Texel(image.faces[0][0], 1, 1, {10, 11, 12, 255});
}

TEST(Texture_Decode, DamagedFilesFailCleanly) {
    std::vector<Rgba> pixels(8 * 8);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = {static_cast<unsigned char>(i * 3), static_cast<unsigned char>(i * 7),
                     static_cast<unsigned char>(255 - i), static_cast<unsigned char>(i * 4)};
    }
    std::string cube_data;
    for (int face = 0; face < 6; ++face) cube_data += std::string(4 * 4 * 4 + 4 * 4 + 4, 'c');
    const std::vector<std::string> files = {
        Encode(Picture::Bmp, 8, 8, pixels),
        Encode(Picture::Png, 8, 8, pixels),
        Encode(Picture::Tga, 8, 8, pixels),
        Encode(Picture::Jpg, 8, 8, pixels),
        Dds_File(8, 8, 4, Four_Cc("DXT1"), std::string(32 + 8 * 3, 'd')),
        Dds_File(4, 4, 3, Dds_Layout{}, std::string(4 * 4 * 4 + 4 * 4 + 4, 'a')),
        Dds_File(4, 4, 3, Dds_Layout{}, cube_data, k_cube_all_faces),
    };
    std::mt19937 random(12345);
    for (std::size_t f = 0; f < files.size(); ++f) {
        SCOPED_TRACE(f);
        const std::string& file = files[f];
        ASSERT_EQ(Decode_Result(file), D3D_OK);
        auto check = [](const std::string& damaged) {
            Texture_Image image;
            const HRESULT hr = Decode_Texture(
                reinterpret_cast<const unsigned char*>(damaged.data()), damaged.size(), &image);
            if (FAILED(hr)) return;
            // Whatever decodes must be a consistent picture.
            ASSERT_FALSE(image.faces.empty());
            for (const auto& face : image.faces) {
                ASSERT_EQ(face.size(), image.Level_Count());
                for (const Texture_Level& level : face) {
                    ASSERT_LE(level.width, k_max_texture_edge);
                    ASSERT_EQ(level.bytes.size(),
                              Texture_Level_Bytes(image.format, level.width, level.height));
                }
            }
        };
        for (std::size_t length = 0; length < file.size(); length += 1 + file.size() / 200) {
            check(file.substr(0, length));
        }
        for (int round = 0; round < 300; ++round) {
            std::string damaged = file;
            const int flips = 1 + static_cast<int>(random() % 6);
            for (int i = 0; i < flips; ++i) {
                const std::size_t at = random() % damaged.size();
                if (round % 2) {
                    damaged[at] = static_cast<char>(damaged[at] ^ (1 << (random() % 8)));
                } else {
                    damaged[at] = static_cast<char>(random());
                }
            }
            check(damaged);
        }
    }
}

// ---------------------------------------------------------------------------
// Loading onto the device
// ---------------------------------------------------------------------------
namespace {

class Texture_File : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(gpu.Ok()) << gpu.Error(); }

    IDirect3DTexture9* Load(const char* path, HRESULT expected = D3D_OK) {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(D3DXCreateTextureFromFileA(gpu.device, path, &texture), expected) << path;
        return texture;
    }

    // The texels of one level (and cube face) as GL holds them, RGBA bytes.
    std::vector<unsigned char> Gl_Texels(IDirect3DBaseTexture9* texture, int level, int face, int w,
                                         int h) {
        Gl_Device_From(gpu.device)->Make_Current();
        GLenum target = 0;
        const GLuint name = Gl_Texture_Name(texture, &target);
        std::vector<unsigned char> texels(static_cast<std::size_t>(w) * h * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTextureSubImage(name, level, 0, 0, face, w, h, 1, GL_RGBA, GL_UNSIGNED_BYTE,
                             static_cast<GLsizei>(texels.size()), texels.data());
        return texels;
    }

    Temp_Dir dir;
    Test_Device gpu{64, 64};
};

}  // namespace

TEST_F(Texture_File, LoadsThroughWindowsPathsWithAFullChain) {
    const std::vector<Rgba> red(32, {255, 0, 0, 255});
    dir.Write("Textures/Red.bmp", Encode(Picture::Bmp, 8, 4, red));
    IDirect3DTexture9* texture = Load("TEXTURES\\red.BMP");
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->GetType(), D3DRTYPE_TEXTURE);
    EXPECT_EQ(texture->GetLevelCount(), 4u);  // 8x4, 4x2, 2x1, 1x1
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(desc.Width, 8u);
    EXPECT_EQ(desc.Height, 4u);
    ASSERT_EQ(texture->GetLevelDesc(3, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 1u);
    EXPECT_EQ(D3DXTextureAsCube(texture), nullptr);
    texture->Release();

    dir.Write("empty.png", "");
    dir.Write("garbage.dds", "DDS garbage");
    EXPECT_EQ(Load("missing.bmp", D3DXERR_INVALIDDATA), nullptr);
    EXPECT_EQ(Load("empty.png", D3DXERR_INVALIDDATA), nullptr);
    EXPECT_EQ(Load("garbage.dds", D3DXERR_INVALIDDATA), nullptr);
    IDirect3DTexture9* out = reinterpret_cast<IDirect3DTexture9*>(0x1);
    EXPECT_EQ(D3DXCreateTextureFromFileA(nullptr, "x.bmp", &out), D3DERR_INVALIDCALL);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(D3DXCreateTextureFromFileA(gpu.device, nullptr, &out), D3DERR_INVALIDCALL);

    // A picture larger than the device holds is refused as the device would
    // refuse it, from the header alone.
    dir.Write("huge.png", Png_Header_Only(16384, 16384));
    EXPECT_EQ(Load("huge.png", D3DERR_OUTOFVIDEOMEMORY), nullptr);
}

TEST_F(Texture_File, DeviceTexturesHoldTheDecodedLevels) {
    std::vector<Rgba> pixels = k_eight;
    pixels[5].a = 60;
    dir.Write("eight.png", Encode(Picture::Png, 4, 2, pixels));
    IDirect3DTexture9* texture = Load("eight.png");
    ASSERT_NE(texture, nullptr);
    const std::vector<unsigned char> top = Gl_Texels(texture, 0, 0, 4, 2);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(top[i * 4 + 0], pixels[i].r) << i;
        EXPECT_EQ(top[i * 4 + 1], pixels[i].g) << i;
        EXPECT_EQ(top[i * 4 + 2], pixels[i].b) << i;
        EXPECT_EQ(top[i * 4 + 3], pixels[i].a) << i;
    }
    // Level 1, texel 0: the average of (255,0,0), (0,255,0), (10,20,30), (200,100,50).
    const std::vector<unsigned char> half = Gl_Texels(texture, 1, 0, 2, 1);
    EXPECT_NEAR(half[0], 116, 1);
    EXPECT_NEAR(half[1], 94, 1);
    EXPECT_NEAR(half[2], 20, 1);
    texture->Release();

    // A compressed file keeps its blocks on the device.
    const std::string block = Bytes({0x00, 0xF8, 0xE0, 0x07, 0x00, 0x00, 0x00, 0x00});  // red
    dir.Write("red.dds", Dds_File(4, 4, 1, Four_Cc("DXT1"), block));
    IDirect3DTexture9* dxt = Load("red.dds");
    ASSERT_NE(dxt, nullptr);
    EXPECT_EQ(dxt->GetLevelCount(), 1u);
    D3DSURFACE_DESC desc{};
    dxt->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Format, D3DFMT_DXT1);
    const std::vector<unsigned char> red = Gl_Texels(dxt, 0, 0, 4, 4);
    EXPECT_EQ(red[0], 255);
    EXPECT_EQ(red[1], 0);
    EXPECT_EQ(red[2], 0);
    dxt->Release();
}

TEST_F(Texture_File, CubeMapsComeBackAsCubeTextures) {
    std::string data;
    for (int face = 0; face < 6; ++face) {
        const std::string texel = Bytes({face * 40, 255 - face * 40, face * 10, 255});  // B G R A
        data += Repeat(texel, 16) + Repeat(texel, 4) + texel;
    }
    dir.Write("sky.dds", Dds_File(4, 4, 3, Dds_Layout{}, data, k_cube_all_faces));
    IDirect3DTexture9* texture = Load("sky.dds");
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->GetType(), D3DRTYPE_CUBETEXTURE);
    EXPECT_EQ(texture->GetLevelCount(), 3u);
    IDirect3DCubeTexture9* cube = D3DXTextureAsCube(texture);
    ASSERT_NE(cube, nullptr);
    EXPECT_EQ(cube->GetLevelCount(), 3u);

    GLenum target = 0;
    Gl_Device_From(gpu.device)->Make_Current();
    EXPECT_NE(Gl_Texture_Name(texture, &target), 0u);
    EXPECT_EQ(target, static_cast<GLenum>(GL_TEXTURE_CUBE_MAP));
    for (int face = 0; face < 6; ++face) {
        const std::vector<unsigned char> texels = Gl_Texels(texture, 0, face, 4, 4);
        EXPECT_EQ(texels[0], face * 10) << face;
        EXPECT_EQ(texels[1], 255 - face * 40) << face;
        EXPECT_EQ(texels[2], face * 40) << face;
        const std::vector<unsigned char> small = Gl_Texels(texture, 2, face, 1, 1);
        EXPECT_EQ(small[2], face * 40) << face;
    }
    // Bound like any texture, and released through the pointer it came in.
    EXPECT_EQ(gpu.device->SetTexture(0, texture), D3D_OK);
    gpu.device->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(Texture_File, TexturedQuadShowsTheFileTexels) {
    // A 4x2 texture stretched over 32x16 pixels: each texel covers 8x8.
    dir.Write("eight.tga", Encode(Picture::Tga, 4, 2, k_eight));
    IDirect3DTexture9* texture = Load("eight.tga");
    ASSERT_NE(texture, nullptr);

    struct Vertex {
        float x, y, z, rhw;
        D3DCOLOR color;
        float u, v;
    };
    const float l = 8 - 0.5f, t = 8 - 0.5f, r = 40 - 0.5f, b = 24 - 0.5f;
    const Vertex quad[4] = {{l, b, 0.5f, 1, 0xFFFFFFFF, 0, 1},
                            {l, t, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                            {r, b, 0.5f, 1, 0xFFFFFFFF, 1, 1},
                            {r, t, 0.5f, 1, 0xFFFFFFFF, 1, 0}};
    IDirect3DDevice9* d = gpu.device;
    d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    d->BeginScene();
    d->SetTexture(0, texture);
    d->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    d->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
    d->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex));
    d->EndScene();
    d->SetTexture(0, nullptr);
    ASSERT_TRUE(gpu.Capture());
    for (int i = 0; i < 8; ++i) {
        const int x = 8 + (i % 4) * 8 + 4, y = 8 + (i / 4) * 8 + 4;
        const std::uint32_t expected =
            0xFF000000u | (k_eight[i].r << 16) | (k_eight[i].g << 8) | k_eight[i].b;
        EXPECT_EQ(gpu.Pixel(x, y), expected) << "texel " << i;
    }
    EXPECT_EQ(gpu.Pixel(4, 4), 0xFF000000u);
    texture->Release();
}

TEST_F(Texture_File, DamagedFilesThroughTheFileFunction) {
    const std::string png = Encode(Picture::Png, 8, 8, std::vector<Rgba>(64, {9, 8, 7, 255}));
    const std::string dds = Dds_File(8, 8, 4, Four_Cc("DXT5"), std::string(64 + 16 * 3, 'q'));
    std::mt19937 random(99);
    for (const std::string* file : {&png, &dds}) {
        for (int round = 0; round < 40; ++round) {
            std::string damaged = *file;
            if (round % 2) {
                damaged.resize(random() % damaged.size());
            } else {
                damaged[random() % damaged.size()] ^= static_cast<char>(1 + random() % 255);
            }
            dir.Write("damaged.img", damaged);
            IDirect3DTexture9* texture = nullptr;
            const HRESULT hr = D3DXCreateTextureFromFileA(gpu.device, "damaged.img", &texture);
            if (SUCCEEDED(hr)) {
                ASSERT_NE(texture, nullptr);
                texture->Release();
            } else {
                EXPECT_EQ(texture, nullptr);
            }
        }
    }
}

TEST_F(Texture_File, LoadsOfOneUnchangedFileShareUntilOneIsWritten) {
    const std::vector<Rgba> red(16, {255, 0, 0, 255}), blue(16, {0, 0, 255, 255});
    dir.Write("red.png", Encode(Picture::Png, 4, 4, red));
    auto first_texel = [&](IDirect3DTexture9* texture) {
        const std::vector<unsigned char> texels = Gl_Texels(texture, 0, 0, 4, 4);
        return (std::uint32_t(texels[0]) << 16) | (std::uint32_t(texels[1]) << 8) | texels[2];
    };
    auto fill = [](IDirect3DTexture9* texture, DWORD argb) {
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                std::memcpy(static_cast<unsigned char*>(locked.pBits) + y * locked.Pitch + x * 4,
                            &argb, 4);
        ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    };

    // The first caller writes its texture while it is the only one loaded:
    // later loads still see the file.
    IDirect3DTexture9* a = Load("red.png");
    ASSERT_NE(a, nullptr);
    fill(a, 0xFF00FF00u);
    IDirect3DTexture9* b = Load("red.png");
    IDirect3DTexture9* c = Load("red.png");
    ASSERT_NE(b, nullptr);
    ASSERT_NE(c, nullptr);
    EXPECT_NE(b, c);
    EXPECT_EQ(first_texel(a), 0x00FF00u);
    EXPECT_EQ(first_texel(b), 0xFF0000u);
    EXPECT_EQ(Gl_Texture_Name(b, nullptr), Gl_Texture_Name(c, nullptr)) << "one storage";

    // A write through one of two sharing objects stays with it, and what the
    // other one locks still reads the file.
    fill(b, 0xFF0000FFu);
    EXPECT_NE(Gl_Texture_Name(b, nullptr), Gl_Texture_Name(c, nullptr));
    EXPECT_EQ(first_texel(b), 0x0000FFu);
    EXPECT_EQ(first_texel(c), 0xFF0000u);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(c->LockRect(1, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    DWORD texel = 0;
    std::memcpy(&texel, locked.pBits, 4);
    EXPECT_EQ(texel, 0xFFFF0000u) << "the smaller level came along";
    c->UnlockRect(1);

    // Every holder released: the storage goes, and a new load reads again.
    EXPECT_EQ(a->Release(), 0u);
    EXPECT_EQ(b->Release(), 0u);
    EXPECT_EQ(c->Release(), 0u);
    IDirect3DTexture9* d = Load("red.png");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(first_texel(d), 0xFF0000u);

    // A file written since is loaded anew even while the old one is in use.
    dir.Write("red.png", Encode(Picture::Png, 4, 4, blue));
    IDirect3DTexture9* e = Load("red.png");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(first_texel(e), 0x0000FFu);
    EXPECT_EQ(first_texel(d), 0xFF0000u);
    d->Release();
    e->Release();
}

TEST_F(Texture_File, SharedCubeMapsStayCubeMaps) {
    std::string data;
    for (int face = 0; face < 6; ++face)
        for (int texel = 0; texel < 16 + 4 + 1; ++texel) Put32(&data, 0xFF000000u | (face * 40));
    dir.Write("sky.dds", Dds_File(4, 4, 3, Dds_Layout{}, data, k_cube_all_faces));
    IDirect3DTexture9* a = Load("sky.dds");
    IDirect3DTexture9* b = Load("sky.dds");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->GetType(), D3DRTYPE_CUBETEXTURE);
    EXPECT_NE(D3DXTextureAsCube(a), D3DXTextureAsCube(b));
    EXPECT_EQ(Gl_Texture_Name(a, nullptr), Gl_Texture_Name(b, nullptr));
    const std::vector<unsigned char> face5 = Gl_Texels(b, 0, 5, 4, 4);
    EXPECT_EQ(face5[2], 200);
    a->Release();
    b->Release();
}
