// Live reloading for the --watch option: effects (and the files they
// #include), named textures, models, the level file and effect lists.
//
// Everything new is loaded into a scratch record first; only when it loaded is
// it swapped into the scene record, and the scratch record's destructor then
// releases what the scene held before, once. A failed load leaves the scene as
// it was.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/globals.h"
#include "scene/build.h"
#include "scene/level_reader.h"
#include "scene/reload.h"

char Reload_Status[Scene_Text_Size] = "";

namespace {

HANDLE Watch = nullptr;
bool Pass_Failed = false;                // a reload of the current pass failed
std::vector<std::string> Pass_Failures;  // the files it failed on, each said once
std::string Report;                      // the pass's lines, printed once its frame is shown

// A path as the watch reports it (UTF-8, '/' separated, below the game folder).
bool Names(const char* engine_path, const char* changed) {
    if (!engine_path || !engine_path[0]) return false;
    char resolved[1024];
    return Platform_Resolve_Path(engine_path, resolved, sizeof resolved) &&
           std::strcmp(resolved, changed) == 0;
}

void Say(const char* cp1251_text) {
    char utf8[1024];
    Platform_Cp1251_To_Utf8(cp1251_text, utf8, sizeof utf8);
    Report += "quillmoor: ";
    Report += utf8;
    Report += '\n';
}

// One line on stderr and on the overlay; the first line of `detail` only,
// which names the file itself when it is a compiler's message.
void Fail(const char* what, const char* detail) {
    Pass_Failed = true;
    for (const std::string& failed : Pass_Failures)
        if (failed == what) return;
    Pass_Failures.push_back(what);
    char text[Scene_Text_Size];
    const int detail_length = detail ? static_cast<int>(std::strcspn(detail, "\r\n")) : 0;
    if (detail && std::strncmp(detail, what, std::strlen(what)) == 0)
        std::snprintf(text, sizeof text, "reload failed: %.*s", detail_length, detail);
    else
        std::snprintf(text, sizeof text, "reload failed: %s%s%.*s", what, detail ? ": " : "",
                      detail_length, detail ? detail : "");
    Say(text);
    std::snprintf(Reload_Status, sizeof Reload_Status, "%s", text);
}

bool Failed_Before(const char* what) {
    for (const std::string& failed : Pass_Failures)
        if (failed == what) return true;
    return false;
}

void Reloaded(const char* what, int users) {
    char text[Scene_Text_Size];
    std::snprintf(text, sizeof text, "reloaded %s (%d object%s)", what, users,
                  users == 1 ? "" : "s");
    Say(text);
}

// Message boxes of the loaders become failure lines while reloading: a modal
// box would stop the frame an author is watching.
int Reload_Message_Box(const char* text, const char*, UINT) {
    Fail(text, nullptr);
    return IDOK;
}

template <typename Visit>
void For_Each_Object(Visit visit) {
    Main_Object_Node* node = Main_Object_List ? Main_Object_List->Next : nullptr;
    for (int i = 1; node && i <= Main_Object_Count; ++i, node = node->Next)
        visit(node->Key, node->Object);
}

// The effect entries the object's list gave, loaded or not.
int Effect_Entries(const MAIN_CGObject* object) {
    int n = 0;
    while (n < Scene_Max_Effects && object->Effect_Files[n][0]) ++n;
    return n;
}

using Change_List = std::vector<std::string>;

bool Names_Any(const char* engine_path, const Change_List& changes) {
    for (const std::string& changed : changes)
        if (Names(engine_path, changed.c_str())) return true;
    return false;
}

// The effect entry is made of a changed file: its own file, a file it
// included, or (when it never loaded) its named file.
bool Effect_Uses(const MAIN_CGObject* object, int entry, const Change_List& changes) {
    if (Names_Any(object->Effect_Files[entry], changes)) return true;
    ID3DXEffect* effect = object->Effects[entry];
    char source[MAX_PATH];
    for (UINT k = 1; effect && D3DXEffectSourceFile(effect, k, source, sizeof source); ++k)
        if (Names_Any(source, changes)) return true;
    return false;
}

// What a pass reloaded, one line per file with the count of its objects.
struct Tally {
    std::vector<std::string> Names;
    std::vector<int> Objects;
    void Add(const char* name) {
        for (std::size_t i = 0; i < Names.size(); ++i)
            if (Names[i] == name) {
                ++Objects[i];
                return;
            }
        Names.push_back(name);
        Objects.push_back(1);
    }
};

// Recompiles the object's entries made of a changed file (and entries that
// never loaded); all or nothing.
void Reload_Effects(MAIN_CGObject* object, const Change_List& changes, Tally* tally) {
    const int entries = Effect_Entries(object);
    bool use[Scene_Max_Effects] = {};
    bool affected = false;
    for (int i = 0; i < entries; ++i) affected |= use[i] = Effect_Uses(object, i, changes);
    if (!affected) return;

    MAIN_CGObject fresh(object->Device);
    for (int i = 0; i < entries; ++i) {
        if (object->Effects[i] && !use[i]) continue;
        if (Failed_Before(object->Effect_Files[i])) return;  // compiled once per pass
        ID3DXBuffer* errors = nullptr;
        if (FAILED(D3DXCreateEffectFromFileA(*object->Device, object->Effect_Files[i], nullptr,
                                             nullptr, 0, nullptr, &fresh.Effects[i], &errors))) {
            fresh.Effects[i] = nullptr;
            Fail(object->Effect_Files[i],
                 errors ? static_cast<const char*>(errors->GetBufferPointer()) : nullptr);
            if (errors) errors->Release();
            return;  // `fresh` releases what it made
        }
        if (errors) errors->Release();
        fresh.Effects[i]->SetTechnique(object->Effect_Techniques[i]);
    }
    // The standard parameters are bound afresh every frame, so the new
    // instances need nothing more than their technique.
    for (int i = 0; i < entries; ++i) {
        if (!fresh.Effects[i]) continue;
        std::swap(fresh.Effects[i], object->Effects[i]);
        tally->Add(object->Effect_Files[i]);
    }
    object->Effect_Count = entries;
}

void Reload_Textures(int key, MAIN_CGObject* object, const Change_List& changes, Tally* tally) {
    const char* texts[4];
    Level_Texture_Texts(key, texts);
    IDirect3DTexture9** slots[4] = {&object->Diffuse_Texture, &object->Reflection_Texture,
                                    &object->Bump_Texture, &object->Height_Texture};
    for (int s = 0; s < 4; ++s) {
        if (std::strcmp(texts[s], "none") == 0 || !Names_Any(texts[s], changes)) continue;
        IDirect3DTexture9* texture = nullptr;
        if (FAILED(D3DXCreateTextureFromFileA(*object->Device, texts[s], &texture))) {
            Fail(texts[s], "cannot be read as a texture");
            continue;
        }
        if (*slots[s]) (*slots[s])->Release();
        *slots[s] = texture;
        tally->Add(texts[s]);
    }
    // The textures the model's materials name.
    for (DWORD i = 0; object->Texture_Files && i < object->Material_Count; ++i) {
        const char* file = object->Texture_Files[i];
        if (!file[0] || !Names_Any(file, changes)) continue;
        IDirect3DTexture9* texture = nullptr;
        if (FAILED(D3DXCreateTextureFromFileA(*object->Device, file, &texture))) {
            Fail(file, "cannot be read as a texture");
            continue;
        }
        if (object->Textures[i]) object->Textures[i]->Release();
        object->Textures[i] = texture;
        tally->Add(file);
    }
}

void Reload_Model(MAIN_CGObject* object, const Change_List& changes, Tally* tally) {
    if (!Names_Any(object->Name, changes)) return;
    MAIN_CGObject fresh(object->Device);
    fresh.Alpha = object->Alpha;
    ID3DXBuffer* materials = nullptr;
    if (FAILED(D3DXLoadMeshFromXA(object->Name, D3DXMESH_SYSTEMMEM, *object->Device, nullptr,
                                  &materials, nullptr, &fresh.Material_Count, &fresh.Mesh))) {
        Fail(object->Name, "cannot be read as a model");
        return;
    }
    Load_Materials(&fresh, materials);
    if (materials) materials->Release();
    std::swap(fresh.Mesh, object->Mesh);
    std::swap(fresh.Materials, object->Materials);
    std::swap(fresh.Textures, object->Textures);
    std::swap(fresh.Texture_Files, object->Texture_Files);
    std::swap(fresh.Material_Count, object->Material_Count);
    tally->Add(object->Name);
}

bool Is_Scene_File(const char* changed) {
    if (Names(Level_Path, changed)) return true;
    bool list = false;
    For_Each_Object([&](int key, MAIN_CGObject*) {
        const char* text = Level_Effect_List_Text(key);
        if (!list && std::strlen(text) > 4) list = Names(text, changed);
    });
    return list;
}

}  // namespace

int Reload_Start() {
    Watch = Platform_Watch_Folder(".");
    if (!Watch) {
        std::fputs("quillmoor: cannot watch the game folder; --watch is off\n", stderr);
        return -1;
    }
    char folder[1024] = "";
    GetCurrentDirectoryA(sizeof folder, folder);
    char text[1100];
    std::snprintf(text, sizeof text, "watching %s for changes", folder);
    Say(text);
    Reload_Report();
    return 0;
}

void Reload_Report() {
    if (Report.empty()) return;
    std::fputs(Report.c_str(), stderr);
    std::fflush(stderr);
    Report.clear();
}

void Reload_Stop() {
    if (Watch) Platform_Close_Watch(Watch);
    Watch = nullptr;
}

int Rebuild_Scene() {
    Main_Object_Node* old_objects = Main_Object_List;
    Main_Light_Node* old_lights = Main_Light_List;
    const int old_object_count = Main_Object_Count;
    const int old_light_count = Main_Light_Count;
    const DWORD old_slots = Main_Light_Slots;

    Main_Object_List = nullptr;
    Main_Light_List = nullptr;
    Main_Object_Count = 0;
    Main_Light_Count = 0;
    Main_Light_Slots = 0;
    // The camera stays where the author has put it.
    D3DXVECTOR3 level_pos, level_look;
    if (Load_Level(Main_Device_Ref, Level_Path, &level_pos, &level_look, &Main_Object_List,
                   &Main_Light_List) < 0) {
        Main_Object_List = old_objects;
        Main_Light_List = old_lights;
        Main_Object_Count = old_object_count;
        Main_Light_Count = old_light_count;
        Main_Light_Slots = old_slots;
        Fail(Level_Path, "cannot be read");
        return -1;
    }

    // As scene building does, without the loading screen. The old scene is
    // still loaded meanwhile, so unchanged files are shared, not read again.
    Main_Light_Node* light = Main_Light_List ? Main_Light_List->Next : nullptr;
    for (int i = 1; light && i <= Main_Light_Count; ++i, light = light->Next)
        Setup_Light(light->Light);
    D3DLIGHT9* first_light =
        (Main_Light_List && Main_Light_List->Next) ? &Main_Light_List->Next->Light->Light : nullptr;
    Share_Models(true);
    Main_Object_Node* object = Main_Object_List ? Main_Object_List->Next : nullptr;
    for (int j = 1; object && j <= Main_Object_Count; ++j, object = object->Next)
        Load_Object(object->Object, object->Object->Name, first_light);
    Share_Models(false);

    for (int key = 0; key <= old_object_count; ++key) Remove_Object(&old_objects, key);
    for (int key = 0; key <= old_light_count; ++key) Remove_Light(&old_lights, key);
    // Light slots the new level does not use any more go dark.
    for (DWORD slot = Main_Light_Slots; slot < old_slots; ++slot)
        Main_Device->LightEnable(slot, FALSE);
    return 0;
}

bool Reload_Changes() {
    if (!Watch) return false;
    std::vector<std::string> changes;
    char changed[1024];
    while (Platform_Next_Folder_Change(Watch, Reload_Quiet_Ms, changed, sizeof changed))
        changes.push_back(changed);
    if (changes.empty()) return false;

    Pass_Failed = false;
    Pass_Failures.clear();
    const Platform_Message_Box_Hook previous_hook =
        Platform_Set_Message_Box_Hook(Reload_Message_Box);
    bool reloaded = false;
    bool rebuild = false;
    for (const std::string& change : changes) rebuild = rebuild || Is_Scene_File(change.c_str());
    if (rebuild) {
        if (Rebuild_Scene() >= 0) {
            char text[Scene_Text_Size];
            std::snprintf(text, sizeof text, "reloaded the scene: %d objects, %d lights",
                          Main_Object_Count, Main_Light_Count);
            Say(text);
            reloaded = true;
        }
    } else {
        Tally tally;
        For_Each_Object([&](int key, MAIN_CGObject* object) {
            Reload_Effects(object, changes, &tally);
            Reload_Textures(key, object, changes, &tally);
            Reload_Model(object, changes, &tally);
        });
        for (std::size_t i = 0; i < tally.Names.size(); ++i)
            Reloaded(tally.Names[i].c_str(), tally.Objects[i]);
        reloaded = !tally.Names.empty();
    }
    Platform_Set_Message_Box_Hook(previous_hook);
    if (!Pass_Failed && reloaded) Reload_Status[0] = '\0';
    return reloaded || Pass_Failed;
}
