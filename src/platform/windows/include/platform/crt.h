// The C runtime functions the engine takes from the Windows runtime (_gcvt):
// on Windows they are the runtime's own, declared by <stdlib.h>.
#pragma once

#include <cstdlib>
