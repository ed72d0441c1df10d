// Stands in for a system header on the include path of the engine's own
// code (not the platform layer): the engine reaches the window system and
// OpenGL only through platform/win32.h, platform/d3d9.h and platform/d3dx9.h.
#error "engine code reaches SDL, OpenGL and EGL only through the platform layer"
