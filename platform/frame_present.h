// Presenting the main window's frames: the swap, drawing off-screen frames scaled (and
// through the gamma pass) into the window where the window is not their size, reading the
// finished frame, and mouse positions in frame pixels.
#pragma once

// Ends a frame of the main window: shows it (scaled where the window is not the frame's size,
// through the gamma pass where the picture carries the gamma) and swaps the buffers; then
// fitFramesToWindow.
void swapMainWindow();
// Compares the drawable's size with the frames' size (after each swap and when the window's
// size changes): frames go off-screen and are shown scaled where they differ, where the
// window's own buffers lack the frames' samples, or where the picture carries a gamma; else
// they are drawn straight into the window. Where the driver cannot make off-screen frames a
// notice says what the user will see, once.
void fitFramesToWindow();
// The size of the main window's frames: the configured size, also where they are shown scaled,
// or its aspect at the display's pixels where the window draws at those (see realPixels).
void mainFrameSize(int& width, int& height);
// Selects the main window's finished frame for reading (glReadPixels).
void readMainFrame();
// A mouse position in the main window as a position in its frame.
void mouseToFrame(int& x, int& y);
