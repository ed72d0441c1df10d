// Built only by the layer test, which expects this file to fail to compile:
// engine code may not include what the platform layer stands on.
#include "app/globals.h"

#include <SDL.h>
#include <epoxy/gl.h>

int Layer_Probe() {
    return SDL_INIT_VIDEO + GL_TEXTURE_2D;
}
