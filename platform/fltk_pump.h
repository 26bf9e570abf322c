// FLTK's windows (dialogs, the scene-graph window) served from the program's message pump:
// once installed, every pumpMessages also handles FLTK's events, and the input focus moving
// into one of FLTK's windows keeps the program active.
#pragma once

void serveFltkFromPump();
