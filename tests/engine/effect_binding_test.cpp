// Objects drawn through their effects: the standard parameter set read back
// from the pixels an effect writes, pass states, the stage-0 texture, passes,
// effect loading with its failures, and compiled programs shared by objects.
#include <gtest/gtest.h>

#include <string>

#include "app/globals.h"
#include "frame/frame.h"
#include "platform/fx/compile/compiler.h"
#include "scene_support.h"
#include "support/temp_dir.h"
#include "support/test_device.h"

namespace {

// The same quad whose material names a texture of its own.
std::string Textured_Quad_X(const char* texture);

const char Quad_X[] =
    "xof 0302txt 0032\nMesh Quad {\n 4;\n -10;-10;0;,\n -10;10;0;,\n 10;10;0;,\n 10;-10;0;;\n"
    " 2;\n 3;0,1,2;,\n 3;0,2,3;;\n MeshNormals {\n  1;\n  0;0;-1;;\n  2;\n  3;0,0,0;,\n  "
    "3;0,0,0;;\n }\n"
    " MeshTextureCoords {\n  4;\n  0;1;,\n  0;0;,\n  1;0;,\n  1;1;;\n }\n"
    " MeshMaterialList {\n  1;\n  2;\n  0,\n  0;\n  Material {\n   1;1;1;1;;\n   0;\n   0;0;0;;\n"
    "   0;0;0;;\n  }\n }\n}\n";

std::string Textured_Quad_X(const char* texture) {
    std::string text = Quad_X;
    std::string material_end = "   0;0;0;;\n  }\n }\n}\n";
    std::size_t at = text.rfind(material_end);
    return text.substr(0, at) + "   0;0;0;;\n   TextureFilename {\n    \"" + texture +
           "\";\n   }\n  }\n }\n}\n";
}

// Every probe writes one or two values into the pixel colour.
const char Probe_Fx[] = R"(
float4x4 World;
float4x4 ViewProjection;
float4x4 WorldViewProj;
float4x4 WorldITXf;
float4 g_vEye;
float3 LightPosition;
float3 g_LightDir;
float LIGHT[26];
float4 Base = {0.25, 0, 0, 1};
texture MaterialTexture;
texture g_txEnvMap;
texture NormalMapTexture;
texture HeightTexture;
texture OwnTexture;
sampler2D Own_Sampler = sampler_state { Texture = <OwnTexture>; MinFilter = Point; MagFilter = Point; MipFilter = None; };
sampler2D Diffuse_Sampler = sampler_state { Texture = <MaterialTexture>; MinFilter = Point; MagFilter = Point; MipFilter = None; };
sampler2D Env_Sampler = sampler_state { Texture = <g_txEnvMap>; MinFilter = Point; MagFilter = Point; MipFilter = None; };
sampler2D Bump_Sampler = sampler_state { Texture = <NormalMapTexture>; MinFilter = Point; MagFilter = Point; MipFilter = None; };
sampler2D Height_Sampler = sampler_state { Texture = <HeightTexture>; MinFilter = Point; MagFilter = Point; MipFilter = None; };

struct V { float4 pos : POSITION; float2 uv : TEXCOORD0; };
V Place(float3 p : POSITION, float2 uv : TEXCOORD0) { V o; o.pos = mul(float4(p, 1), WorldViewProj); o.uv = uv; return o; }
V Place_World(float3 p : POSITION, float2 uv : TEXCOORD0) { V o; o.pos = mul(mul(float4(p, 1), World), ViewProjection); o.uv = uv; return o; }

float4 Eye() : COLOR { return float4(g_vEye.w, g_vEye.z / -100.0, 0, 1); }
float4 Itx() : COLOR { return float4(-WorldITXf[0][3] / 40.0, -WorldITXf[1][3] / 40.0, 0, 1); }
float4 Light_Pos() : COLOR { return float4((LightPosition.x - 4.0) * 100.0, (LIGHT[13] - 4.0) * 100.0, g_LightDir.y, 1); }
float4 Light_Dir() : COLOR { return float4((-g_LightDir.x - 4.0) * 100.0, 0, 0, 1); }
float4 Own(float2 uv : TEXCOORD0) : COLOR { return tex2D(Own_Sampler, uv); }
float4 Diffuse(float2 uv : TEXCOORD0) : COLOR { return tex2D(Diffuse_Sampler, uv); }
float Mix = 0;
// The engine puts the object's or the mesh's texture on stage 0 inside every
// pass, so these read the stage-0 sampler first and their own on stage 1.
float4 Env(float2 uv : TEXCOORD0) : COLOR { return lerp(tex2D(Env_Sampler, uv), tex2D(Own_Sampler, uv), Mix); }
float4 Bump(float2 uv : TEXCOORD0) : COLOR { return lerp(tex2D(Bump_Sampler, uv), tex2D(Own_Sampler, uv), Mix); }
float4 Height(float2 uv : TEXCOORD0) : COLOR { return lerp(tex2D(Height_Sampler, uv), tex2D(Own_Sampler, uv), Mix); }
float4 Flat() : COLOR { return Base; }

technique eye { pass P0 { VertexShader = compile vs_2_0 Place(); PixelShader = compile ps_2_0 Eye(); } }
technique world { pass P0 { VertexShader = compile vs_2_0 Place_World(); PixelShader = compile ps_2_0 Eye(); } }
technique itx { pass P0 { VertexShader = compile vs_2_0 Place(); PixelShader = compile ps_2_0 Itx(); } }
technique light { pass P0 { VertexShader = compile vs_2_0 Place(); PixelShader = compile ps_2_0 Light_Pos(); } }
technique light_dir { pass P0 { VertexShader = compile vs_2_0 Place(); PixelShader = compile ps_2_0 Light_Dir(); } }
technique own { pass P0 { VertexShader = compile vs_2_0 Place(); PixelShader = compile ps_2_0 Own(); } }
technique diffuse { pass P0 { VertexShader = compile vs_2_0 Place(); PixelShader = compile ps_2_0 Diffuse(); } }
technique env { pass P0 { VertexShader = compile vs_2_0 Place(); PixelShader = compile ps_2_0 Env(); } }
technique bump { pass P0 { VertexShader = compile vs_2_0 Place(); PixelShader = compile ps_2_0 Bump(); } }
technique height { pass P0 { VertexShader = compile vs_2_0 Place(); PixelShader = compile ps_2_0 Height(); } }
technique states {
    pass P0 { CullMode = CW; ZEnable = false; FillMode = Wireframe;
              VertexShader = compile vs_2_0 Place(); PixelShader = compile ps_2_0 Flat(); }
}
technique twice {
    pass P0 { AlphaBlendEnable = true; SrcBlend = One; DestBlend = One;
              VertexShader = compile vs_2_0 Place(); PixelShader = compile ps_2_0 Flat(); }
    pass P1 { VertexShader = compile vs_2_0 Place(); PixelShader = compile ps_2_0 Flat(); }
}
)";

std::string Bmp(unsigned char r, unsigned char g, unsigned char b) {
    unsigned char data[58] = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  40,
                              0,   0,   0,  1, 0, 0, 0, 1, 0, 0, 0,  1, 0, 24, 0};
    data[54] = b;
    data[55] = g;
    data[56] = r;
    return std::string(reinterpret_cast<char*>(data), sizeof data);
}

class Effect_Binding : public Engine_Device_Test {
protected:
    void SetUp() override {
        Engine_Device_Test::SetUp();
        Main_Device->SetRenderState(D3DRS_MULTISAMPLEANTIALIAS, FALSE);
        dir.Write("quad.x", Quad_X);
        dir.Write("fx/probe.fx", Probe_Fx);
        dir.Write("red.bmp", Bmp(255, 0, 0));
        dir.Write("green.bmp", Bmp(0, 255, 0));
        dir.Write("blue.bmp", Bmp(0, 0, 255));
        dir.Write("grey.bmp", Bmp(128, 128, 128));
    }

    // A level with one light at (4, 0, 0) pointing down and one quad object
    // at (x, 0, 0) drawn with the probe technique, plus extra object keys.
    void Load_Scene(const std::string& technique, float x, const std::string& extra_keys = "",
                    const std::string& extra_blocks = "") {
        dir.Write("fx/list.txt",
                  "[Effect]\n[path]=fx\\probe.fx\n[technique]=" + technique + "\n[/Effect]\n");
        dir.Write("levels/map_new.txt",
                  "[CameraPosX]=0\n[CameraPosY]=0\n[CameraPosZ]=-50\n[CameraLookX]=0\n"
                  "[CameraLookY]=0\n[CameraLookZ]=1\n"
                  "[object]\n[type]=point_light\n[x]=4\n[light_Direction_y]=-1\n"
                  "[light_renderable]=0\n[/object]\n"
                  "[object]\n[name]=quad.x\n[x]=" +
                      std::to_string(x) + "\n[shader]=fx\\list.txt\n" + extra_keys + "[/object]\n" +
                      extra_blocks);
        Main_Scene_Camera.Up = D3DXVECTOR3(0, 1, 0);
        Main_Scene_Camera.Right = D3DXVECTOR3(1, 0, 0);
        Main_Scene_Camera.Speed = 0.222f;
        ASSERT_EQ(Build_Scene(), 0);
    }

    std::uint32_t Draw_At(int x, int y, int frames = 1) {
        for (int i = 0; i < frames; ++i) Render_Frame();
        EXPECT_TRUE(td.Capture());
        return td.Pixel(x, y);
    }
};

TEST_F(Effect_Binding, EyeVectorHasWOneHalfAndWorldViewProjPlacesTheObject) {
    Load_Scene("eye", 0);
    ASSERT_EQ(Object_At(1)->Effect_Count, 1);
    std::uint32_t centre = Draw_At(160, 120);
    EXPECT_NEAR(Red(centre), 128, 1);    // w = 0.5
    EXPECT_NEAR(Green(centre), 128, 1);  // eye z = -50
    EXPECT_EQ(td.Pixel(5, 5) & 0xFFFFFF, 0u);
}

TEST_F(Effect_Binding, WorldTimesViewProjectionGivesTheSamePlace) {
    Load_Scene("world", 20);
    EXPECT_NEAR(Red(Draw_At(270, 120)), 128, 1);
    EXPECT_EQ(td.Pixel(160, 120) & 0xFFFFFF, 0u);  // the quad spans x 10..30, right of centre
}

TEST_F(Effect_Binding, WorldInverseTransposeCarriesTheTranslationInItsLastColumn) {
    Load_Scene("itx", 20);
    std::uint32_t pixel = Draw_At(270, 120);
    EXPECT_NEAR(Red(pixel), 128, 1);  // 20 / 40
    EXPECT_EQ(Green(pixel), 0);
}

TEST_F(Effect_Binding, LightValuesFollowTheFirstLightsDrift) {
    Load_Scene("light", 0);
    std::uint32_t pixel = Draw_At(160, 120);  // one frame: x = 4.005
    EXPECT_NEAR(Red(pixel), 128, 2);          // LightPosition
    EXPECT_NEAR(Green(pixel), 128, 2);        // the 104-byte light as a float array
    EXPECT_EQ(Blue(pixel), 255);              // light direction value: -(D + P).y = 1
}

TEST_F(Effect_Binding, LightDirectionIsMinusDirectionPlusPosition) {
    Load_Scene("light_dir", 0);
    EXPECT_NEAR(Red(Draw_At(160, 120)), 128, 2);
}

TEST_F(Effect_Binding, NamedTexturesReachTheirParameters) {
    struct Case {
        const char* technique;
        const char* key;
        const char* file;
        std::uint32_t colour;
    } cases[] = {{"diffuse", "diffuse_texture", "red.bmp", 0xFF0000},
                 {"env", "reflection_texture", "blue.bmp", 0x0000FF},
                 {"bump", "bump_texture", "green.bmp", 0x00FF00},
                 {"height", "height_texture", "grey.bmp", 0x808080}};
    for (const Case& c : cases) {
        Reset_Scene_Globals();
        Load_Scene(c.technique, 0, std::string("[") + c.key + "]=" + c.file + "\n");
        EXPECT_EQ(Draw_At(160, 120) & 0xFFFFFF, c.colour) << c.technique;
    }
}

// Every name of the standard parameter set, each in an effect that declares
// all of them: technique i draws green when name i received the scene's
// value and red while it still holds the declared 7s.
TEST_F(Effect_Binding, EveryStandardParameterNameReceivesItsValue) {
    struct Name {
        const char* name;
        char kind;  // m matrix, t texture, v float4, c float3, l light
        const char* test;
    };
    const Name names[] = {
        {"World", 'm', ""},
        {"WorldXf", 'm', ""},
        {"View", 'm', ""},
        {"ViewProjection", 'm', ""},
        {"Projection", 'm', ""},
        {"WorldViewProjection", 'm', ""},
        {"WorldViewProj", 'm', ""},
        {"WorldView", 'm', ""},
        {"WorldViewInverse", 'm', ""},
        {"WorldITXf", 'm', ""},
        {"ViewIXf", 'm', ""},
        {"g_txEnvMap", 't', ""},
        {"Tex0", 't', ""},
        {"EnvironmentMap", 't', ""},
        {"envTexture", 't', ""},
        {"MaterialTexture", 't', ""},
        {"ModelTex", 't', ""},
        {"ColorTexture", 't', ""},
        {"__Normals_Relief_1_color_tex", 't', ""},
        {"NormalMapTexture", 't', ""},
        {"NormalTexture", 't', ""},
        {"GlossTexture", 't', ""},
        {"HeightTexture", 't', ""},
        {"g_vEye", 'v', "abs(g_vEye.w - 0.5) < 0.01"},
        {"g_CamPos", 'c', "abs(g_CamPos.z + 50) < 0.5"},
        {"CameraPos", 'c', "abs(CameraPos.z + 50) < 0.5"},
        {"g_LightDir", 'c', "abs(g_LightDir.x + 4) < 0.1"},
        {"DirFromLight", 'c', "abs(DirFromLight.x + 4) < 0.1"},
        {"LightDir", 'c', "abs(LightDir.x + 4) < 0.1"},
        {"g_vLight", 'c', "abs(g_vLight.x - 4) < 0.1"},
        {"LightPosition", 'c', "abs(LightPosition.x - 4) < 0.1"},
        {"__light0_position", 'c', "abs(__light0_position.x - 4) < 0.1"},
        {"LIGHT", 'l', ""},
        {"DirectionalLight", 'l', ""},
        {"PointLight", 'l', ""},
    };
    ASSERT_EQ(std::size(names), 35u);
    std::string fx =
        "float Mix = 0;\ntexture Stage_Zero;\n"
        "sampler2D Stage_Zero_Sampler = sampler_state { Texture = <Stage_Zero>; };\n"
        "struct V { float4 pos : POSITION; float2 uv : TEXCOORD0; };\n"
        "V Cover(float3 p : POSITION, float2 uv : TEXCOORD0) {\n"
        "    V o; o.pos = float4(p.xy / 10.0, 0.5, 1); o.uv = uv; return o; }\n"
        "float4 Verdict(bool ok) { return ok ? float4(0, 1, 0, 1) : float4(1, 0, 0, 1); }\n";
    std::string techniques;
    for (std::size_t i = 0; i < std::size(names); ++i) {
        const std::string n = names[i].name;
        std::string test = names[i].test;
        switch (names[i].kind) {
        case 'm':
            fx += "float4x4 " + n + " = {7,7,7,7, 7,7,7,7, 7,7,7,7, 7,7,7,7};\n";
            test = "abs(" + n + "[0][0] - 7) > 0.5 && abs(" + n + "[3][3] - 7) > 0.5";
            break;
        case 't':
            fx += "texture " + n + ";\nsampler2D " + n + "_Sampler = sampler_state { Texture = <" +
                  n + ">; };\n";
            test = "lerp(tex2D(" + n + "_Sampler, uv), tex2D(Stage_Zero_Sampler, uv), Mix).g > 0.5";
            break;
        case 'v': fx += "float4 " + n + " = {7, 7, 7, 7};\n"; break;
        case 'c': fx += "float3 " + n + " = {7, 7, 7};\n"; break;
        case 'l':
            fx += "float " + n + "[26] = {7,7,7,7,7,7,7,7,7,7,7,7,7,7,7,7,7,7,7,7,7,7,7,7,7,7};\n";
            test = "abs(" + n + "[13] - 4) < 0.1";  // the light's position.x
            break;
        }
        const std::string t = std::to_string(i);
        fx += "float4 Check" + t + "(float2 uv : TEXCOORD0) : COLOR { return Verdict(" + test +
              "); }\n";
        techniques += "technique t" + t + " { pass P0 { VertexShader = compile vs_3_0 Cover(); " +
                      "PixelShader = compile ps_3_0 Check" + t + "(); } }\n";
    }
    dir.Write("fx/probe.fx", fx + techniques);
    const std::string textures =
        "[diffuse_texture]=green.bmp\n[reflection_texture]=green.bmp\n"
        "[bump_texture]=green.bmp\n[height_texture]=green.bmp\n";
    for (std::size_t i = 0; i < std::size(names); ++i) {
        Reset_Scene_Globals();
        Load_Scene("t" + std::to_string(i), 0, textures);
        ASSERT_EQ(Object_At(1)->Effect_Count, 1) << names[i].name;
        const std::uint32_t pixel = Draw_At(160, 120);
        EXPECT_GT(Green(pixel), 200) << names[i].name;
        EXPECT_LT(Red(pixel), 50) << names[i].name;
    }
}

TEST_F(Effect_Binding, DiffuseTextureReplacesTheEffectsTextureOnStageZero) {
    dir.Write("quad.x", Textured_Quad_X("blue.bmp"));
    Load_Scene("own", 0, "[diffuse_texture]=red.bmp\n");
    IDirect3DTexture9* green = nullptr;
    ASSERT_TRUE(SUCCEEDED(D3DXCreateTextureFromFileA(Main_Device, "green.bmp", &green)));
    Object_At(1)->Effects[0]->SetTexture("OwnTexture", green);
    EXPECT_EQ(Draw_At(160, 120) & 0xFFFFFF, 0xFF0000u);
    // Without the object's texture the mesh's own takes stage 0, over the
    // effect's texture, as the device does for any SetTexture inside a pass.
    Object_At(1)->Diffuse_Texture->Release();
    Object_At(1)->Diffuse_Texture = nullptr;
    EXPECT_EQ(Draw_At(160, 120) & 0xFFFFFF, 0x0000FFu);
    green->Release();
}

TEST_F(Effect_Binding, AnObjectDrawnThroughAWireframePassLeavesTheDeviceStatesAsTheyWere) {
    Load_Scene("states", 0);
    Draw_At(160, 120);
    DWORD cull = 0, z = 0, fill = 0;
    Main_Device->GetRenderState(D3DRS_CULLMODE, &cull);
    Main_Device->GetRenderState(D3DRS_ZENABLE, &z);
    Main_Device->GetRenderState(D3DRS_FILLMODE, &fill);
    EXPECT_EQ(cull, static_cast<DWORD>(D3DCULL_NONE));
    EXPECT_EQ(z, static_cast<DWORD>(D3DZB_TRUE));
    EXPECT_EQ(fill, static_cast<DWORD>(D3DFILL_SOLID));
    // In the pass: wireframe, so the quad's middle stays black while its
    // outline is drawn.
    EXPECT_EQ(td.Pixel(160, 100) & 0xFFFFFF, 0u);
}

TEST_F(Effect_Binding, TwoPassesDrawEverySubsetTwice) {
    Load_Scene("twice", 0);
    EXPECT_NEAR(Red(Draw_At(160, 120)), 128, 1);  // 0.25 added twice
}

TEST_F(Effect_Binding, BlendedObjectIgnoresItsEffects) {
    Load_Scene("eye", 0, "[alpha]=150\n");
    std::uint32_t pixel = Draw_At(160, 120);
    // Drawn with its material (white), not the effect's colour.
    EXPECT_NE(Red(pixel), 128);
    EXPECT_EQ(Red(pixel), Green(pixel));
}

TEST_F(Effect_Binding, MissingEffectFileStopsTheListAndDrawsPlain) {
    dir.Write("fx/three.txt",
              "[Effect]\n[path]=fx\\probe.fx\n[technique]=eye\n[/Effect]\n"
              "[Effect]\n[path]=fx\\missing.fx\n[/Effect]\n"
              "[Effect]\n[path]=fx\\probe.fx\n[/Effect]\n");
    Load_Scene("eye", 0, "", "[object]\n[name]=quad.x\n[shader]=fx\\three.txt\n[/object]\n");
    MAIN_CGObject* object = Object_At(2);
    EXPECT_EQ(object->Effect_Count, 0);
    EXPECT_NE(object->Effects[0], nullptr);
    EXPECT_EQ(object->Effects[2], nullptr);  // never tried
    ASSERT_EQ(state.Boxes().size(), 1u);
    EXPECT_EQ(state.Boxes()[0].Text, "fx\\missing.fx");
    EXPECT_EQ(state.Boxes()[0].Caption, "game.exe");
}

TEST_F(Effect_Binding, ObjectsSharingAnEffectFileCompileItOnce) {
    ID3DXEffect* effect = nullptr;
    ASSERT_TRUE(SUCCEEDED(D3DXCreateEffectFromFileA(Main_Device, "fx\\probe.fx", nullptr, nullptr,
                                                    0, nullptr, &effect, nullptr)));
    effect->Release();  // probe.fx is compiled now
    // What one fresh file of this kind costs.
    dir.Write("fx/variant.fx", std::string(Probe_Fx) + "\nfloat Unique_Variant = 9;\n");
    std::uint64_t start = qm_fx::Shader_Compile_Count();
    ASSERT_TRUE(SUCCEEDED(D3DXCreateEffectFromFileA(Main_Device, "fx\\variant.fx", nullptr, nullptr,
                                                    0, nullptr, &effect, nullptr)));
    effect->Release();
    std::uint64_t one_file = qm_fx::Shader_Compile_Count() - start;
    EXPECT_GT(one_file, 0u);

    // Two objects naming another fresh file compile it once between them.
    dir.Write("fx/shared.fx", std::string(Probe_Fx) + "\nfloat Unique_Shared = 7;\n");
    dir.Write("fx/shared.txt", "[Effect]\n[path]=fx\\shared.fx\n[technique]=eye\n[/Effect]\n");
    std::uint64_t before = qm_fx::Shader_Compile_Count();
    Load_Scene("eye", 0, "",
               "[object]\n[name]=quad.x\n[shader]=fx\\shared.txt\n[/object]\n"
               "[object]\n[name]=quad.x\n[shader]=fx\\shared.txt\n[/object]\n");
    Draw_At(160, 120);
    EXPECT_EQ(qm_fx::Shader_Compile_Count() - before, one_file);
    EXPECT_NE(Object_At(2)->Effects[0], Object_At(3)->Effects[0]);  // instances of their own
}

}  // namespace
