// The --dump-scene output.
#pragma once

#include <cstdio>

// Writes the loaded scene as JSON (the --dump-scene option).
void Dump_Scene(FILE* out);
