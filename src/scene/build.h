// Building the scene at start-up: Build_Scene reads the level, then sets up
// every light and loads every object's model, materials, textures and effects.
#pragma once

#include "scene/records.h"

int Build_Scene();
// What Build_Scene is reading or building at the moment: the level file, a
// light's label or an object's model. Named when memory runs out.
extern char Scene_Now_Loading[Scene_Text_Size];

// The level file scene building reads, relative to the game folder.
extern const char Level_Path[];

// The steps Build_Scene takes for each light and each object.
int Setup_Light(MAIN_CGLight* light);
HRESULT Load_Object(MAIN_CGObject* object, const char* model_path, D3DLIGHT9* scene_light);
// The material and texture arrays of a freshly loaded mesh (objects with alpha 0 get none).
void Load_Materials(MAIN_CGObject* object, ID3DXBuffer* material_buffer);
void Load_Object_Effects(MAIN_CGObject* object);
// While on, Load_Object loads each model path once and hands later objects
// naming it the same mesh and material records; turning it off lets go of
// the models it kept (the objects keep theirs). On while a scene is built.
void Share_Models(bool on);
