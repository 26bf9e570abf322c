#include "config/fltk_support.h"

#include <FL/Fl.H>
#include <FL/Fl_PNG_Image.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <array>

#include "config/dialogs.h"
#include "platform/fltk_pump.h"
#include "platform/system/resource_images.h"

namespace {

struct FltkSupportState {
    std::array<Fl_RGB_Image*, 16> images = {}; // by resource number - 2400 (icon: last slot)
};
FltkSupportState fltkSupportState;

Fl_RGB_Image*& imageSlot(int32_t id) {
    size_t slot = id == kProgramIcon ? fltkSupportState.images.size() - 1 : size_t(id - 2400);
    return fltkSupportState.images[slot];
}

} // namespace

Fl_RGB_Image* fltkResourceImage(int32_t id) {
    if (id != kProgramIcon && (id < 2400 || id > 2408)) return nullptr;
    Fl_RGB_Image*& image = imageSlot(id);
    if (image != nullptr) return image;
    const ResourceImage* resource = findResourceImage(id);
    if (resource == nullptr) return nullptr;
    auto* png = new Fl_PNG_Image("resource", resource->png, int(resource->size));
    if (png->w() <= 0 || png->h() <= 0 || png->d() == 0) {
        delete png;
        return nullptr;
    }
    image = png;
    return image;
}

void setProgramIcon(Fl_Window& window, bool useOwnIcon) {
    if (!useOwnIcon) return;
    if (Fl_RGB_Image* icon = fltkResourceImage(kProgramIcon)) window.icon(icon);
}

void placeDialog(Fl_Window& window, const Fl_Window* owner, int dx, int dy) {
    int screenX = 0, screenY = 0, screenW = 0, screenH = 0;
    Fl::screen_xywh(screenX, screenY, screenW, screenH, 0);
    DialogPlace place = owner != nullptr
                            ? centreDialog(owner->x(), owner->y(), owner->w(), owner->h(),
                                           window.w(), window.h(), dx, dy, screenW, screenH)
                            : centreDialog(0, 0, screenW, screenH, window.w(), window.h(), dx, dy,
                                           screenW, screenH);
    window.position(place.x, place.y);
}

GroupFrame::GroupFrame(int x, int y, int w, int h, const char* title)
    : Fl_Box(FL_NO_BOX, x, y, w, h, title) {
    align(FL_ALIGN_TOP_LEFT | FL_ALIGN_INSIDE);
}

void GroupFrame::draw() {
    fl_font(labelfont(), labelsize());
    int labelW = 0, labelH = 0;
    fl_measure(label(), labelW, labelH, 0);
    int top = y() + labelH / 2;
    fl_draw_box(FL_ENGRAVED_FRAME, x(), top, w(), h() - (top - y()), color());
    Fl_Color background = parent() != nullptr ? parent()->color() : FL_BACKGROUND_COLOR;
    fl_color(background);
    fl_rectf(x() + 8, y(), labelW, labelH);
    fl_color(labelcolor());
    fl_draw(label(), x() + 8, y(), labelW, labelH, FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
}
