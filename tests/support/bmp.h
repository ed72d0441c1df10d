// Small picture files written by tests.
#pragma once

#include <string>

// A side x side 24-bit BMP of one colour.
std::string Solid_Bmp(unsigned char r, unsigned char g, unsigned char b, int side = 4);
