#define VERSION 3
#if VERSION > 2
#error this effect needs version 2
#endif
