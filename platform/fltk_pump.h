// FLTK's windows (dialogs, boxes, the scene-graph window): the connection to the display,
// their modal loops, and serving their events from the program's message pump: once
// installed, every pumpMessages also handles FLTK's events, and the input focus moving into
// one of FLTK's windows keeps the program active.
#pragma once

class Fl_Window;

// Opens FLTK's connection to the display once, with the program's look; false when there is
// no display.
bool openFltkDisplay();

void serveFltkFromPump();

// Serves FLTK's events until the window is hidden. The loop sleeps until something happens:
// an event, a later start of the program (served at once), or a stop signal, on which it
// calls onStop, which closes the window as its default answer would.
void runFltkModal(Fl_Window& window, void (*onStop)(Fl_Window& window));

// Sleeps until something happens, for loops that serve their events through the program's
// pump: an event of FLTK's or of the main window, a later start of the program, or a stop
// signal (also one that came before the call).
void waitForFltkEvent();
