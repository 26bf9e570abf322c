// What the FLTK views of this folder share: the compiled-in images,
// a group box drawn with its title on the frame line, placing a dialog over its owner, and
// serving FLTK's events from the program's message pump.
#pragma once

#include <FL/Fl_Box.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Window.H>

#include <cstdint>

#include "platform/fltk_pump.h"

// The compiled-in image with that resource number, decoded once; null when it is missing.
Fl_RGB_Image* fltkResourceImage(int32_t id);
// The program's icon on the window, when the program uses its own icon.
void setProgramIcon(Fl_Window& window, bool useOwnIcon);
// Centres window over the owner's rectangle (the whole screen without an owner), moved by
// (dx, dy); on the screen's centre where it would not fit.
void placeDialog(Fl_Window& window, const Fl_Window* owner, int dx, int dy);

// A titled group frame: an etched rectangle with its label on the top line.
class GroupFrame : public Fl_Box {
  public:
    GroupFrame(int x, int y, int w, int h, const char* title);

  protected:
    void draw() override;
};
