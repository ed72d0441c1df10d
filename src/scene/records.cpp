#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>
#include <vector>
#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "app/globals.h"
#include "scene/records.h"

namespace {
bool Record_Is_Fresh(const void* record);
}  // namespace

MAIN_CGObject::MAIN_CGObject(IDirect3DDevice9** device)
    : Device(device),
      Mesh(nullptr),
      Materials(nullptr),
      Textures(nullptr),
      Texture_Files(nullptr),
      Material_Count(0),
      Position(0.0f, 0.0f, 0.0f),
      Alpha(0),
      Effect_Count(0),
      Diffuse_Texture(nullptr),
      Reflection_Texture(nullptr),
      Bump_Texture(nullptr),
      Height_Texture(nullptr),
      Scene_Light(nullptr) {
    D3DXMatrixIdentity(&Shadow_World);
    D3DXMatrixIdentity(&World);
    Name[0] = '\0';
    for (int i = 0; i < Scene_Max_Effects; ++i) Effects[i] = nullptr;
    // The effect texts are most of the record (10 KiB) and a plain object
    // never uses them. A record that operator new took from a fresh block
    // lies in memory the system hands out zeroed, so they are empty already,
    // and writing them would only make the system back those pages.
    if (Record_Is_Fresh(this)) return;
    for (int i = 0; i < Scene_Max_Effects; ++i) {
        Effect_Files[i][0] = '\0';
        Effect_Techniques[i][0] = '\0';
    }
}

namespace {

// An object record is about 11 KiB and a level may hold a million of them.
// Each taken from the heap on its own costs page faults as its fields are
// first written, and the system zeroes every page it backs. Records are
// carved from large blocks mapped straight from the system instead, whose
// pages are zero until written: a fresh record's effect texts need no
// writing (see the constructor), so a plain object's record backs only the
// page or two its other fields lie in. A deleted record's place is taken by
// the next one. The sanitizer build keeps one allocation per record, so that
// it still watches each.
const std::size_t Record_Block_Smallest = 2u << 20;
const std::size_t Record_Block_Largest = 32u << 20;

struct Free_Record {
    Free_Record* Next;
};
Free_Record* Free_Records = nullptr;
std::vector<void*> Record_Blocks;  // kept for the life of the process
unsigned char* Record_Block_Next = nullptr;
std::size_t Record_Block_Left = 0;

std::size_t Record_Slot_Size() {
    return (sizeof(MAIN_CGObject) + alignof(std::max_align_t) - 1) &
           ~(alignof(std::max_align_t) - 1);
}

// Blocks are a Linux matter (mmap); elsewhere, and in
// the sanitizer build, every record is its own allocation.
bool Pooled_Records() {
#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__)
    return true;
#else
    return false;
#endif
}

void* New_Record_Block(std::size_t size) {
#if defined(__linux__)
    void* block = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
#else
    (void)size;
    return nullptr;
#endif
}

// The record operator new last carved from a block's untouched part, whose
// memory is still all zero; cleared once its constructor has asked.
const void* Fresh_Record = nullptr;

bool Record_Is_Fresh(const void* record) {
    const bool fresh = record != nullptr && record == Fresh_Record;
    Fresh_Record = nullptr;
    return fresh;
}

}  // namespace

void* MAIN_CGObject::operator new(std::size_t size) {
    if (!Pooled_Records() || size != sizeof(MAIN_CGObject)) return ::operator new(size);
    Fresh_Record = nullptr;
    if (Free_Records) {
        Free_Record* record = Free_Records;
        Free_Records = record->Next;
        return record;
    }
    const std::size_t slot = Record_Slot_Size();
    if (Record_Block_Left < slot) {
        // Blocks double from 2 MiB, so a small level holds little unused.
        const std::size_t block_size = Record_Blocks.size() >= 4
                                           ? Record_Block_Largest
                                           : Record_Block_Smallest << Record_Blocks.size();
        Record_Blocks.reserve(Record_Blocks.size() + 1);
        void* block = New_Record_Block(block_size);
        if (!block) throw std::bad_alloc();
        Record_Blocks.push_back(block);
        Record_Block_Next = static_cast<unsigned char*>(block);
        Record_Block_Left = block_size;
    }
    void* record = Record_Block_Next;
    Record_Block_Next += slot;
    Record_Block_Left -= slot;
    Fresh_Record = record;
    return record;
}

void MAIN_CGObject::operator delete(void* record, std::size_t size) {
    if (!record) return;
    if (!Pooled_Records() || size != sizeof(MAIN_CGObject)) {
        ::operator delete(record);
        return;
    }
    Free_Records = new (record) Free_Record{Free_Records};
}

MAIN_CGObject::~MAIN_CGObject() {
    if (Mesh) Mesh->Release();
    delete[] Materials;
    if (Textures) {
        for (DWORD i = 0; i < Material_Count; ++i)
            if (Textures[i]) Textures[i]->Release();
        delete[] Textures;
    }
    delete[] Texture_Files;
    // The object also owns its effects and its four named textures; nothing
    // else holds them, so they go with it.
    for (ID3DXEffect* effect : Effects)
        if (effect) effect->Release();
    for (IDirect3DTexture9* texture :
         {Diffuse_Texture, Reflection_Texture, Bump_Texture, Height_Texture})
        if (texture) texture->Release();
}

MAIN_CGLight::MAIN_CGLight(IDirect3DDevice9** device)
    : Device(device),
      Marker_Material(),
      Marker_Mesh(nullptr),
      Slot(Main_Light_Slots),
      Renderable(true) {
    D3DXMatrixIdentity(&World);
    std::memset(&Light, 0, sizeof Light);
    Light.Type = D3DLIGHT_SPOT;
    Light.Position = {0.0f, 0.0f, 0.0f};
    Light.Direction = {0.0f, 0.0f, 0.0f};
    Light.Diffuse = {2.0f, 2.0f, 2.0f, 2.0f};
    Light.Ambient = {2.0f, 2.0f, 2.0f, 2.0f};
    Light.Range = 30.0f;
    // No fall-off with distance. Direct3D 9 leaves a point or spot light with
    // all three attenuations 0 undefined (D3DLIGHT9: they "should not be set
    // to 0.0 at the same time"): Wine's Direct3D then lights nothing or
    // everything fully, ours took it as this.
    Light.Attenuation0 = 1.0f;
    Light.Falloff = 10.0f;
    Light.Phi = 1.0f;
    if (*Device) {
        (*Device)->SetLight(Slot, &Light);
        (*Device)->LightEnable(Slot, TRUE);
    }
    ++Main_Light_Slots;
}

MAIN_CGLight::~MAIN_CGLight() {
    if (Marker_Mesh) Marker_Mesh->Release();
}

namespace {

template <typename Node>
Node* Append(Node** list, Node* node, Node** tail) {
    node->Next = nullptr;
    node->Prev = nullptr;
    if (*list == nullptr) {
        *list = node;
    } else {
        // A caller adding many records keeps the last node for us, so a big
        // level does not walk its whole list for every new record; the walk
        // still finds the end when that node is not the last any more.
        Node* last = (tail && *tail && (*tail)->Next == nullptr) ? *tail : *list;
        while (last->Next) last = last->Next;
        last->Next = node;
        node->Prev = last;
    }
    if (tail) *tail = node;
    return node;
}

template <typename Node>
Node* Unlink(Node** list, int key) {
    Node* node = *list;
    while (node && node->Key != key) node = node->Next;
    if (!node) return nullptr;
    if (node == *list) {
        *list = node->Next;
        if (node->Next) node->Next->Prev = nullptr;
    } else {
        node->Prev->Next = node->Next;
        if (node->Next) node->Next->Prev = node->Prev;
    }
    return node;
}

}  // namespace

Main_Object_Node* Add_Object(Main_Object_Node** list, int key, IDirect3DDevice9** device,
                             Main_Object_Node** tail) {
    // The record is made before the node is linked: a failed append leaves the
    // list as it was.
    MAIN_CGObject* object = new MAIN_CGObject(device);
    Main_Object_Node* node = new Main_Object_Node{key, object, nullptr, nullptr};
    return Append(list, node, tail);
}

Main_Light_Node* Add_Light(Main_Light_Node** list, int key, IDirect3DDevice9** device,
                           Main_Light_Node** tail) {
    MAIN_CGLight* light = new MAIN_CGLight(device);
    Main_Light_Node* node = new Main_Light_Node{key, light, nullptr, nullptr};
    return Append(list, node, tail);
}

int Remove_Object(Main_Object_Node** list, int key) {
    Main_Object_Node* node = Unlink(list, key);
    if (!node) return -1;
    delete node->Object;
    delete node;
    return key;
}

int Remove_Light(Main_Light_Node** list, int key) {
    Main_Light_Node* node = Unlink(list, key);
    if (!node) return -1;
    delete node->Light;
    delete node;
    return key;
}

void Free_Scene_Lists() {
    while (Main_Object_List) Remove_Object(&Main_Object_List, Main_Object_List->Key);
    while (Main_Light_List) Remove_Light(&Main_Light_List, Main_Light_List->Key);
    Main_Object_Count = 0;
    Main_Light_Count = 0;
    Main_Light_Slots = 0;
}
