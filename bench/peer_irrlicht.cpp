// The peer engine in the comparison (scripts/bench.sh compare): Irrlicht 1.8
// from Debian drawing the same Quillmoor level the engine draws.
//
// It reads the game folder's levels/map_new.txt, loads each model once with
// Irrlicht's own .x loader (static meshes, kept in GPU buffers, as an
// Irrlicht user would set them up) and adds one mesh scene node per object.
// Everything is set to match the engine: 1008x729 window (the engine's
// client area), 4 samples, no vsync, 16-bit depth, the engine's camera
// (position, look, 45 degrees vertical field of view at a fixed 4:3 aspect,
// near 1, far 15000), fixed-function lighting by the level's first two
// lights with their diffuse and ambient colours and no attenuation, no
// global ambient, material ambient = diffuse, no specular, no culling.
//
//   peer_irrlicht [--dir DIR] [--frames N] [--screenshot FILE.png] [--walk STEP]
//
// --walk moves the camera STEP units along its look before each frame, as
// the engine's option does.
//
// Prints "peer_irrlicht: N frames in S s (F fps); ... peak RSS K KiB".
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <GL/gl.h>
#include <irrlicht.h>
#include <unistd.h>

#include "bench/level_reader.h"

using namespace irr;

namespace {

const u32 Width = 1008;
const u32 Height = 729;
const f32 Fov_Y = 0.7853982f, Aspect = 1.3333334f, Near = 1.0f, Far = 15000.0f;

// Material settings that make Irrlicht's fixed-function lighting compute what
// the engine's does (see the file comment).
void Match_Engine_Material(video::SMaterial* m) {
    m->AmbientColor = m->DiffuseColor;
    m->SpecularColor = video::SColor(0, 0, 0, 0);
    m->Shininess = 0.0f;
    m->ColorMaterial = video::ECM_NONE;
    m->BackfaceCulling = false;
    m->Lighting = true;
    m->TextureLayer[0].TrilinearFilter = true;
}

// The engine draws a .x file as its frames place it, ignoring animation
// sets; Irrlicht would pose a file that has them at animation frame 0. With
// the keys dropped, every joint keeps its frame's own matrix.
scene::IMesh* Static_Pose(scene::IAnimatedMesh* animated) {
    if (animated->getMeshType() != scene::EAMT_SKINNED) return animated->getMesh(0);
    scene::ISkinnedMesh* skinned = static_cast<scene::ISkinnedMesh*>(animated);
    auto& joints = skinned->getAllJoints();
    for (u32 j = 0; j < joints.size(); ++j) {
        joints[j]->PositionKeys.clear();
        joints[j]->ScaleKeys.clear();
        joints[j]->RotationKeys.clear();
    }
    skinned->animateMesh(1.0f, 1.0f);  // any frame but the last one posed
    skinned->skinMesh();
    return skinned;
}

// Irrlicht's own screenshot reads the front buffer, which Mesa leaves
// black under Xvfb; this reads the finished back buffer before the swap.
bool Write_Screenshot(video::IVideoDriver* driver, const char* path) {
    std::vector<u32> pixels(std::size_t(Width) * Height);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, Width, Height, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
    std::vector<u32> rows(pixels.size());
    for (u32 y = 0; y < Height; ++y)
        for (u32 x = 0; x < Width; ++x)
            rows[std::size_t(y) * Width + x] =
                pixels[std::size_t(Height - 1 - y) * Width + x] | 0xFF000000u;
    video::IImage* image = driver->createImageFromData(
        video::ECF_A8R8G8B8, core::dimension2d<u32>(Width, Height), rows.data(), false, false);
    const bool ok = image && driver->writeImageToFile(image, path);
    if (image) image->drop();
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    bench::Run_Options options;
    if (const int status = bench::Start_Run("peer_irrlicht", argc, argv, &options)) return status;
    const long frames = options.frames;
    const char* screenshot = options.screenshot;
    bench::Level& level = options.level;

    SIrrlichtCreationParameters params;
    params.DriverType = video::EDT_OPENGL;
    params.WindowSize = core::dimension2d<u32>(Width, Height);
    params.Bits = 32;
    params.ZBufferBits = 16;
    params.AntiAlias = 4;
    params.Vsync = false;
    params.Stencilbuffer = false;
    IrrlichtDevice* device = createDeviceEx(params);
    if (!device) {
        std::fprintf(stderr, "peer_irrlicht: no OpenGL device\n");
        return 1;
    }
    device->getLogger()->setLogLevel(ELL_WARNING);
    video::IVideoDriver* driver = device->getVideoDriver();
    scene::ISceneManager* scene = device->getSceneManager();
    GLint samples = 0;
    glGetIntegerv(GL_SAMPLES, &samples);

    std::map<std::string, scene::IMesh*> meshes;
    int nodes = 0;
    for (const bench::Level_Object& o : level.objects) {
        auto found = meshes.find(o.model);
        if (found == meshes.end()) {
            scene::IAnimatedMesh* animated = scene->getMesh(o.model.c_str());
            if (!animated) animated = scene->getMesh("blank.x");
            scene::IMesh* mesh = animated ? Static_Pose(animated) : nullptr;
            if (mesh) {
                mesh->setHardwareMappingHint(scene::EHM_STATIC);
                for (u32 b = 0; b < mesh->getMeshBufferCount(); ++b)
                    Match_Engine_Material(&mesh->getMeshBuffer(b)->getMaterial());
            }
            found = meshes.emplace(o.model, mesh).first;
        }
        if (!found->second) continue;
        scene->addMeshSceneNode(found->second, nullptr, -1, core::vector3df(o.x, o.y, o.z));
        ++nodes;
    }

    scene->setAmbientLight(video::SColorf(0, 0, 0, 0));
    for (std::size_t i = 0; i < level.lights.size() && i < 2; ++i) {
        const bench::Level_Light& l = level.lights[i];
        scene::ILightSceneNode* light = scene->addLightSceneNode(
            nullptr, core::vector3df(l.x, l.y, l.z),
            video::SColorf(l.diffuse[0], l.diffuse[1], l.diffuse[2], l.diffuse[3]), l.range);
        video::SLight& data = light->getLightData();
        data.AmbientColor = video::SColorf(l.ambient[0], l.ambient[1], l.ambient[2], l.ambient[3]);
        data.SpecularColor = video::SColorf(0, 0, 0, 0);
        data.Attenuation = core::vector3df(1, 0, 0);  // the engine's: none within range
    }

    auto eye = [&] {
        return core::vector3df(level.camera_pos[0], level.camera_pos[1], level.camera_pos[2]);
    };
    const core::vector3df look(level.camera_look[0], level.camera_look[1], level.camera_look[2]);
    scene::ICameraSceneNode* camera = scene->addCameraSceneNode(nullptr, eye(), eye() + look);
    camera->setFOV(Fov_Y);
    camera->setAspectRatio(Aspect);
    camera->setNearValue(Near);
    camera->setFarValue(Far);

    const auto start = std::chrono::steady_clock::now();
    long done = 0;
    while (done < frames && device->run()) {
        if (options.walk != 0) {
            bench::Walk_Camera(&level, options.walk);
            camera->setPosition(eye());
            camera->setTarget(eye() + look);
        }
        driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
        scene->drawAll();
        ++done;
        if (done == frames && screenshot && !Write_Screenshot(driver, screenshot))
            std::fprintf(stderr, "peer_irrlicht: cannot write %s\n", screenshot);
        driver->endScene();
    }
    glFinish();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf(
        "peer_irrlicht: %ld frames in %.3f s (%.1f fps); %d objects; %d samples; "
        "peak RSS %ld KiB\n",
        done, seconds, seconds > 0 ? double(done) / seconds : 0.0, nodes, int(samples),
        bench::Peak_Rss_Kib());
    std::fflush(stdout);
    device->drop();
    return 0;
}
