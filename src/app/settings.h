// The settings file "ini.txt": window size and the anti-aliasing switch.
#pragma once

#include "platform/win32.h"

int Load_Settings();
int Apply_Settings(int* width, int* height, BYTE* anti_aliasing);

// The settings comparison: equal when the text and the literal agree at every
// position from the second character up to the text's terminating zero. The
// first character is never looked at, so an empty text equals any literal.
bool Settings_Equal(const char* text, const char* literal);

const int Settings_Line_Width = 98;
const int Settings_Field_Width = 49;
