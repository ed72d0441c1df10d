// The names of the standard parameters offered to every effect on every draw
// (Bind_Standard_Parameters). Effects written for different tools spell the
// same value differently, so each value goes out under every spelling in its
// row; an effect that declares none of them simply ignores the value. The
// benchmarks and tests offer the same set from here.
#pragma once

// Each row ends with a null pointer.
const char* const Standard_World_Names[] = {"World", "WorldXf", nullptr};
const char* const Standard_View_Names[] = {"View", nullptr};
const char* const Standard_View_Projection_Names[] = {"ViewProjection", nullptr};
const char* const Standard_Projection_Names[] = {"Projection", nullptr};
const char* const Standard_World_View_Projection_Names[] = {"WorldViewProjection", "WorldViewProj",
                                                            nullptr};
const char* const Standard_World_View_Names[] = {"WorldView", nullptr};
const char* const Standard_World_View_Inverse_Names[] = {"WorldViewInverse", nullptr};
const char* const Standard_World_Inverse_Transpose_Names[] = {"WorldITXf", nullptr};
const char* const Standard_View_Inverse_Names[] = {"ViewIXf", nullptr};
const char* const Standard_Reflection_Names[] = {"g_txEnvMap", "Tex0", "EnvironmentMap",
                                                 "envTexture", nullptr};
const char* const Standard_Diffuse_Names[] = {"MaterialTexture", "ModelTex", "ColorTexture",
                                              "__Normals_Relief_1_color_tex", nullptr};
const char* const Standard_Bump_Names[] = {"NormalMapTexture", "NormalTexture", "GlossTexture",
                                           nullptr};
const char* const Standard_Height_Names[] = {"HeightTexture", nullptr};
const char* const Standard_Camera_Names[] = {"g_CamPos", "CameraPos", nullptr};
const char* const Standard_Light_Direction_Names[] = {"g_LightDir", "DirFromLight", "LightDir",
                                                      nullptr};
const char* const Standard_Light_Position_Names[] = {"g_vLight", "LightPosition",
                                                     "__light0_position", nullptr};
const char* const Standard_Light_Names[] = {"LIGHT", "DirectionalLight", "PointLight", nullptr};
// The eye as a four-component vector (SetVector).
const char* const Standard_Eye_Name = "g_vEye";

// The rows by how their value is set, in the order they are offered:
// matrices (SetMatrix), textures (SetTexture), three floats (SetValue, 12
// bytes) and the scene light (SetValue, a whole D3DLIGHT9). The eye comes
// between the textures and the three-float values.
const char* const* const Standard_Matrix_Rows[] = {Standard_World_Names,
                                                   Standard_View_Names,
                                                   Standard_View_Projection_Names,
                                                   Standard_Projection_Names,
                                                   Standard_World_View_Projection_Names,
                                                   Standard_World_View_Names,
                                                   Standard_World_View_Inverse_Names,
                                                   Standard_World_Inverse_Transpose_Names,
                                                   Standard_View_Inverse_Names};
const char* const* const Standard_Texture_Rows[] = {
    Standard_Reflection_Names, Standard_Diffuse_Names, Standard_Bump_Names, Standard_Height_Names};
const char* const* const Standard_Three_Float_Rows[] = {
    Standard_Camera_Names, Standard_Light_Direction_Names, Standard_Light_Position_Names};
const char* const* const Standard_Light_Rows[] = {Standard_Light_Names};
