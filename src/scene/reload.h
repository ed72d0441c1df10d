// Live reloading (--watch) of the files a built scene came from: the game folder is watched from
// Reload_Start on; Reload_Changes, at the top of each idle pass, reloads what was saved since. A
// file that fails to load leaves what was there; the failure is one line on stderr and in
// Reload_Status (the overlay's last row) until a reload works.
#pragma once

#include "scene/records.h"

const int Reload_Quiet_Ms = 100;  // a save is complete once quiet this long
int Reload_Start();
void Reload_Stop();
bool Reload_Changes();  // true when something was reloaded or failed to
// Prints the lines of the last pass (stderr); called once its frame has been
// presented, so a reader of a line can count on the frame showing it.
void Reload_Report();
int Rebuild_Scene();  // the level again, same device and camera, no loading screen
extern char Reload_Status[Scene_Text_Size];
