// --watch through the real binary: files saved while it runs show in its
// frames without a restart. Headless runs write their screenshot again after
// every reload pass, which is how these tests see the frames.
#include <chrono>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>

#include "e2e_support.h"
#include "support/bmp.h"
#include "x11_frames.h"

namespace {

using Clock = std::chrono::steady_clock;

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// A flat square facing the camera, one white material, texture coordinates.
std::string Square_X(float centre_x, float centre_y, float half) {
    char text[1024];
    std::snprintf(text, sizeof text,
                  "xof 0302txt 0032\n"
                  "Mesh Square {\n 4;\n %g;%g;0;,\n %g;%g;0;,\n %g;%g;0;,\n %g;%g;0;;\n"
                  " 2;\n 3;0,1,2;,\n 3;0,2,3;;\n"
                  " MeshTextureCoords {\n  4;\n  0;1;,\n  0;0;,\n  1;0;,\n  1;1;;\n }\n"
                  " MeshMaterialList {\n  1;\n  2;\n  0,\n  0;\n"
                  "  Material {\n   1;1;1;1;;\n   0;\n   0;0;0;;\n   0;0;0;;\n  }\n }\n}\n",
                  centre_x - half, centre_y - half, centre_x - half, centre_y + half,
                  centre_x + half, centre_y + half, centre_x + half, centre_y - half);
    return text;
}

std::string Colour_Fxh(const char* rgb) {
    return std::string("#define WATCH_COLOUR float4(") + rgb + ", 1)\n";
}

const char Colour_Fx[] =
    "#include \"include\\\\watch_colour.fxh\"\n"
    "float4x4 WorldViewProj : WORLDVIEWPROJECTION;\n"
    "float4 Colour_VS(float4 pos : POSITION) : POSITION { return mul(pos, WorldViewProj); }\n"
    "float4 Colour_PS() : COLOR { return WATCH_COLOUR; }\n"
    "technique standart { pass P { CullMode = None;\n"
    "  VertexShader = compile vs_2_0 Colour_VS(); PixelShader = compile ps_2_0 Colour_PS(); } }\n";

const char Texture_Fx[] =
    "float4x4 WorldViewProj : WORLDVIEWPROJECTION;\n"
    "texture MaterialTexture;\n"
    "sampler Surface = sampler_state { Texture = <MaterialTexture>; MinFilter = Point;\n"
    "  MagFilter = Point; MipFilter = None; };\n"
    "struct V { float4 Pos : POSITION; float2 Uv : TEXCOORD0; };\n"
    "V Texture_VS(float4 pos : POSITION, float2 uv : TEXCOORD0) {\n"
    "  V o; o.Pos = mul(pos, WorldViewProj); o.Uv = uv; return o; }\n"
    "float4 Texture_PS(float2 uv : TEXCOORD0) : COLOR { return tex2D(Surface, uv); }\n"
    "technique standart { pass P { CullMode = None;\n"
    "  VertexShader = compile vs_2_0 Texture_VS(); PixelShader = compile ps_2_0 Texture_PS(); } "
    "}\n";

std::string List(const char* fx) {
    return std::string("[Effect]\r\n[path]=") + fx + "\r\n[technique]=standart\r\n[/Effect]\r\n";
}

std::string Object(const char* model, float x, const char* list, const char* texture) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "[object]\r\n[name]=%s\r\n[x]=%g\r\n[y]=0\r\n[z]=0\r\n[shader]=%s\r\n"
                  "[diffuse_texture]=%s\r\n[/object]\r\n",
                  model, x, list, texture);
    return text;
}

// The camera looks down +z at two squares: a coloured one on the left
// (effect with an #include) and a textured one on the right.
std::string Level(float camera_x, bool with_textured) {
    char camera[256];
    std::snprintf(camera, sizeof camera,
                  "[CameraPosX]=%g\r\n[CameraPosY]=0\r\n[CameraPosZ]=-60\r\n[CameraLookX]=0\r\n"
                  "[CameraLookY]=0\r\n[CameraLookZ]=1\r\n",
                  camera_x);
    std::string level = camera;
    level += Object("models\\coloured.x", -15, "fx\\lists\\colour.txt", "none");
    if (with_textured)
        level += Object("models\\textured.x", 15, "fx\\lists\\texture.txt", "textures\\watch.bmp");
    return level;
}

void Make_Folder(const Game_Folder& folder) {
    folder.Write("ini.txt", "[rezolution]=640x480\r\n[AAliasing]=false\r\n");
    folder.Write("levels/map_new.txt", Level(0, true));
    folder.Write("models/coloured.x", Square_X(0, 0, 8));
    folder.Write("models/textured.x", Square_X(0, 0, 8));
    folder.Write("textures/watch.bmp", Solid_Bmp(0, 0, 255));
    folder.Write("fx/colour.fx", Colour_Fx);
    folder.Write("fx/include/watch_colour.fxh", Colour_Fxh("1, 0, 0"));
    folder.Write("fx/texture.fx", Texture_Fx);
    folder.Write("fx/lists/colour.txt", List("fx\\colour.fx"));
    folder.Write("fx/lists/texture.txt", List("fx\\texture.fx"));
    folder.Write("fx/white.fx", std::string("#define WATCH_COLOUR float4(1, 1, 1, 1)\n") +
                                    (std::strchr(Colour_Fx, '\n') + 1));
}

// Writes a file the way an editor that saves in place does.
void Save_In_Place(const Game_Folder& folder, const std::string& relative,
                   const std::string& bytes) {
    folder.Write(relative, bytes);
}

// Writes a file the way editors that keep a backup do: a temporary file
// beside it, renamed over it.
void Save_By_Rename(const Game_Folder& folder, const std::string& relative,
                    const std::string& bytes) {
    const std::filesystem::path target = std::filesystem::path(folder.Path()) / relative;
    const std::string temp = relative + ".tmp~";
    folder.Write(temp, bytes);
    std::filesystem::rename(std::filesystem::path(folder.Path()) / temp, target);
}

// The binary headless with --watch, its screenshot renewed after each reload.
class Watch_Run {
public:
    explicit Watch_Run(const Game_Folder& folder) : shot_(folder.Path() + "/shot.png") {
        Process_Options options;
        options.Working_Dir = folder.Path();
        options.Unset = {"DISPLAY", "WAYLAND_DISPLAY"};
        process_ = std::make_unique<Running_Process>(
            std::vector<std::string>{Quillmoor_Binary(), "--headless", "--watch", "--screenshot",
                                     shot_},
            options);
    }

    // Waits until stderr holds `count` copies of `text`.
    bool Wait_For(const std::string& text, int count = 1, int timeout_seconds = 120) {
        const auto deadline = Clock::now() + std::chrono::seconds(timeout_seconds);
        while (Count(process_->Err_So_Far(), text) < count) {
            if (Clock::now() > deadline || process_->Exited(nullptr)) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
    int Lines(const std::string& text) const { return Count(process_->Err_So_Far(), text); }
    std::string Err() const { return process_->Err_So_Far(); }

    // Makes an edit, waits for its stderr line to reach `count` copies and
    // for the frame drawn after it. Milliseconds from the edit to the line
    // go to `took`.
    template <typename Edit>
    Png_Image Frame_After(Edit edit, const std::string& line, int count, long* took = nullptr) {
        std::filesystem::remove(shot_);
        const auto start = Clock::now();
        edit();
        if (!Wait_For(line, count)) return {};
        if (took)
            *took = long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start)
                             .count());
        const auto deadline = Clock::now() + std::chrono::seconds(60);
        while (!std::filesystem::exists(shot_) && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return Read_Png(shot_);
    }

    Process_Result Stop() {
        process_->Terminate();
        return process_->Wait(120);
    }

private:
    std::string shot_;
    std::unique_ptr<Running_Process> process_;
};

// Where the squares show in a 640x480 window's frame (client 624x441).
const int Coloured_X = 312 - 102, Textured_X = 312 + 102, Square_Y = 220;
// The overlay's last row, where a failed reload is named.
const int Status_Y0 = 145, Status_Y1 = 158;

unsigned Rgb(const Png_Image& image, int x, int y) {
    return image.Pixel(x, y) & 0xFFFFFF;
}

int Reddish_Status_Pixels(const Png_Image& image) {
    int n = 0;
    for (int y = Status_Y0; y < Status_Y1; ++y)
        for (int x = 10; x < 400; ++x) {
            const unsigned p = Rgb(image, x, y);
            n += ((p >> 16) & 0xFF) > 120 && ((p >> 8) & 0xFF) < 80;
        }
    return n;
}

TEST(Watch, EffectEditsShowAtOnceAndABrokenEffectKeepsTheOldOne) {
    Game_Folder folder(true);
    Make_Folder(folder);
    Watch_Run run(folder);
    ASSERT_TRUE(run.Wait_For("quillmoor: watching ")) << run.Err();

    // The colour comes from an #included file: saving that file recompiles.
    long took = 0;
    Png_Image green = run.Frame_After(
        [&] { Save_In_Place(folder, "fx/include/watch_colour.fxh", Colour_Fxh("0, 1, 0")); },
        "reloaded fx\\colour.fx", 1, &took);
    ASSERT_TRUE(green.Ok()) << run.Err();
    EXPECT_EQ(Rgb(green, Coloured_X, Square_Y), 0x00FF00u);
    EXPECT_EQ(Rgb(green, Textured_X, Square_Y), 0x0000FFu);  // the other object as it was
#if !defined(__SANITIZE_ADDRESS__)                           // sanitized builds draw far slower
    EXPECT_LT(took, 1000) << "the edit took " << took << " ms to show";
#endif
    EXPECT_EQ(Reddish_Status_Pixels(green), 0);

    // A broken effect: the old one keeps drawing, the error is one line on
    // stderr and on the overlay's last row.
    Png_Image broken = run.Frame_After(
        [&] { Save_In_Place(folder, "fx/colour.fx", std::string(Colour_Fx) + "float4 }\n"); },
        "quillmoor: reload failed: fx\\colour.fx", 1);
    ASSERT_TRUE(broken.Ok()) << run.Err();
    EXPECT_EQ(Rgb(broken, Coloured_X, Square_Y), 0x00FF00u);
    EXPECT_GT(Reddish_Status_Pixels(broken), 20);
    const std::string err = run.Err();
    // The compiler's message, with file and line.
    EXPECT_EQ(Count(err, "quillmoor: reload failed: fx\\colour.fx(7): error: "), 1) << err;

    // Fixed again: the new colour, and the error row is gone.
    Png_Image fixed = run.Frame_After(
        [&] {
            Save_By_Rename(folder, "fx/include/watch_colour.fxh", Colour_Fxh("1, 1, 0"));
            Save_In_Place(folder, "fx/colour.fx", Colour_Fx);
        },
        "reloaded fx\\colour.fx", 2);
    ASSERT_TRUE(fixed.Ok()) << run.Err();
    EXPECT_EQ(Rgb(fixed, Coloured_X, Square_Y), 0xFFFF00u);
    EXPECT_EQ(Reddish_Status_Pixels(fixed), 0);

    Process_Result end = run.Stop();
    EXPECT_EQ(end.Exit_Code, 0) << end.Err;
}

TEST(Watch, EachSavePatternReloadsOnceAndTexturesFollow) {
    Game_Folder folder(true);
    Make_Folder(folder);
    Watch_Run run(folder);
    ASSERT_TRUE(run.Wait_For("quillmoor: watching ")) << run.Err();

    // In place, then by rename; each is followed by a texture save whose
    // reload line comes after any second reload of the effect would have.
    const std::string texture_line = "reloaded textures\\watch.bmp";
    Save_In_Place(folder, "fx/include/watch_colour.fxh", Colour_Fxh("0, 1, 0"));
    ASSERT_TRUE(run.Wait_For("reloaded fx\\colour.fx", 1)) << run.Err();
    Png_Image white = run.Frame_After(
        [&] { Save_In_Place(folder, "textures/watch.bmp", Solid_Bmp(255, 255, 255)); },
        texture_line, 1);
    ASSERT_TRUE(white.Ok()) << run.Err();
    EXPECT_EQ(Rgb(white, Textured_X, Square_Y), 0xFFFFFFu);
    EXPECT_EQ(run.Lines("reloaded fx\\colour.fx"), 1) << run.Err();

    Save_By_Rename(folder, "fx/include/watch_colour.fxh", Colour_Fxh("0, 0, 1"));
    ASSERT_TRUE(run.Wait_For("reloaded fx\\colour.fx", 2)) << run.Err();
    Png_Image red =
        run.Frame_After([&] { Save_By_Rename(folder, "textures/watch.bmp", Solid_Bmp(255, 0, 0)); },
                        texture_line, 2);
    ASSERT_TRUE(red.Ok()) << run.Err();
    EXPECT_EQ(Rgb(red, Textured_X, Square_Y), 0xFF0000u);
    EXPECT_EQ(Rgb(red, Coloured_X, Square_Y), 0x0000FFu);
    EXPECT_EQ(run.Lines("reloaded fx\\colour.fx"), 2) << run.Err();
    EXPECT_EQ(run.Lines("quillmoor: reload"), 4) << run.Err();  // nothing else reloaded

    // A texture that cannot be read leaves the old one.
    Png_Image kept =
        run.Frame_After([&] { Save_In_Place(folder, "textures/watch.bmp", "not an image"); },
                        "quillmoor: reload failed: textures\\watch.bmp", 1);
    ASSERT_TRUE(kept.Ok()) << run.Err();
    EXPECT_EQ(Rgb(kept, Textured_X, Square_Y), 0xFF0000u);

    Process_Result end = run.Stop();
    EXPECT_EQ(end.Exit_Code, 0) << end.Err;
}

TEST(Watch, ModelAndLevelReplacementsShowAndTheCameraStays) {
    Game_Folder folder(true);
    Make_Folder(folder);
    Watch_Run run(folder);
    ASSERT_TRUE(run.Wait_For("quillmoor: watching ")) << run.Err();

    // The coloured square moves up out of the sampled point.
    Png_Image moved =
        run.Frame_After([&] { Save_By_Rename(folder, "models/coloured.x", Square_X(0, 30, 8)); },
                        "reloaded models\\coloured.x", 1);
    ASSERT_TRUE(moved.Ok()) << run.Err();
    EXPECT_EQ(Rgb(moved, Coloured_X, Square_Y), 0x000000u);
    EXPECT_EQ(Rgb(moved, Textured_X, Square_Y), 0x0000FFu);

    // A broken model leaves the last one.
    Png_Image kept = run.Frame_After(
        [&] { Save_In_Place(folder, "models/coloured.x", "xof 0302txt 0032\nMesh {"); },
        "quillmoor: reload failed: models\\coloured.x", 1);
    ASSERT_TRUE(kept.Ok()) << run.Err();
    EXPECT_EQ(Rgb(kept, Coloured_X, Square_Y), 0x000000u);

    // The level without the textured square, its camera keys moved: the
    // scene is rebuilt, the camera stays where it was.
    Save_In_Place(folder, "models/coloured.x", Square_X(0, 0, 8));
    ASSERT_TRUE(run.Wait_For("reloaded models\\coloured.x", 2)) << run.Err();
    Png_Image rebuilt =
        run.Frame_After([&] { Save_In_Place(folder, "levels/map_new.txt", Level(200, false)); },
                        "reloaded the scene: 1 objects, 0 lights", 1);
    ASSERT_TRUE(rebuilt.Ok()) << run.Err();
    EXPECT_EQ(Rgb(rebuilt, Coloured_X, Square_Y), 0xFF0000u);
    EXPECT_EQ(Rgb(rebuilt, Textured_X, Square_Y), 0x000000u);

    // An effect list is part of the level: pointing the list at another
    // effect rebuilds the scene as well.
    Png_Image relisted =
        run.Frame_After([&] { Save_In_Place(folder, "fx/lists/colour.txt", List("fx\\white.fx")); },
                        "reloaded the scene: 1 objects, 0 lights", 2);
    ASSERT_TRUE(relisted.Ok()) << run.Err();
    EXPECT_EQ(Rgb(relisted, Coloured_X, Square_Y), 0xFFFFFFu);

    Process_Result end = run.Stop();
    EXPECT_EQ(end.Exit_Code, 0) << end.Err;
    EXPECT_EQ(end.Err.find("game.exe"), std::string::npos) << end.Err;
}

TEST(Watch, WindowedRunShowsAnEffectEdit) {
    Game_Folder folder(true);
    Make_Folder(folder);
    Windowed_Run run(folder, {"--watch"});
    ASSERT_TRUE(run.Ok()) << run.Why();
    const auto watching = Clock::now() + std::chrono::seconds(120);
    while (run.Err_So_Far().find("quillmoor: watching ") == std::string::npos &&
           Clock::now() < watching && !run.Exited())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(Wait_For_Frames(run, 2));
    std::uint32_t before = 0, after = 0;
    ASSERT_TRUE(X11_Pixel(run.Display(), run.Window(), Coloured_X, Square_Y, &before));
    EXPECT_EQ(before, 0xFF0000u);

    Save_By_Rename(folder, "fx/include/watch_colour.fxh", Colour_Fxh("0, 1, 1"));
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (run.Err_So_Far().find("reloaded fx\\colour.fx") == std::string::npos &&
           Clock::now() < deadline && !run.Exited())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(Wait_For_Frames(run, 2));
    ASSERT_TRUE(X11_Pixel(run.Display(), run.Window(), Coloured_X, Square_Y, &after));
    EXPECT_EQ(after, 0x00FFFFu);

    // Without a window manager the keyboard follows the pointer.
    run.Xdotool({"mousemove", "--window", run.Window(), "100", "100"});
    run.Xdotool({"key", "Escape"});
    Process_Result end = run.Wait();
    EXPECT_EQ(end.Exit_Code, 0) << end.Err;
}

}  // namespace
