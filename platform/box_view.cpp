#include "platform/box_view.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>

#include <algorithm>
#include <string>

#include "platform/fltk_pump.h"

namespace {

constexpr int kMargin = 12;
constexpr int kIconSide = 40;
constexpr int kButtonWidth = 84;
constexpr int kButtonHeight = 28;
constexpr int kMaxTextWidth = 560;

struct BoxWindow {
    BoxAnswer answer = BoxAnswer::Yes;
    BoxAnswer escapeAnswer = BoxAnswer::Yes;
};

void answerWith(Fl_Widget* widget, BoxAnswer answer) {
    Fl_Window* window = widget->as_window() != nullptr ? widget->as_window() : widget->window();
    static_cast<BoxWindow*>(window->user_data())->answer = answer;
    window->hide();
}

void onYes(Fl_Widget* widget, void*) {
    answerWith(widget, BoxAnswer::Yes);
}

void onNo(Fl_Widget* widget, void*) {
    answerWith(widget, BoxAnswer::No);
}

// Escape and the close box.
void onClose(Fl_Widget* widget, void* data) {
    answerWith(widget, static_cast<BoxWindow*>(data)->escapeAnswer);
}

// The X window of the SDL window, 0 where it has none.
Window ownerWindow(SDL_Window* owner) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (owner == nullptr || !SDL_GetWindowWMInfo(owner, &info) || info.subsystem != SDL_SYSWM_X11)
        return 0;
    return info.info.x11.window;
}

// Kept above its owner (a full-screen window too), and in front of everything else.
void placeInFront(Fl_Window& window, SDL_Window* owner) {
    Window self = fl_xid(&window);
    if (Window ownerXid = ownerWindow(owner)) XSetTransientForHint(fl_display, self, ownerXid);
    Atom type = XInternAtom(fl_display, "_NET_WM_WINDOW_TYPE", False);
    Atom dialog = XInternAtom(fl_display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    XChangeProperty(fl_display, self, type, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&dialog), 1);
    XRaiseWindow(fl_display, self);
    XFlush(fl_display);
}

} // namespace

BoxAnswer showBoxWindow(BoxKind kind, std::string_view caption, std::string_view text,
                        SDL_Window* owner) {
    if (!openFltkDisplay()) return BoxAnswer::NotShown;
    std::string title(caption), body;
    // An @ in a label would start one of FLTK's symbols.
    for (char c : text) body += c == '@' ? std::string("@@") : std::string(1, c);
    bool question = kind == BoxKind::Question;
    fl_font(FL_HELVETICA, FL_NORMAL_SIZE);
    int textW = kMaxTextWidth, textH = 0;
    fl_measure(body.c_str(), textW, textH, 0);
    // The widest line, a little wider so that drawing wraps no line of it again; the height
    // is the text's at that width.
    textW = std::max(textW + 8, 2 * kButtonWidth + kMargin);
    int wrapW = textW;
    textH = 0;
    fl_measure(body.c_str(), wrapW, textH, 0);
    textH = std::max(textH, kIconSide);
    int width = kMargin * 3 + kIconSide + textW;
    int height = kMargin * 3 + textH + kButtonHeight;

    BoxWindow box;
    box.escapeAnswer = question ? BoxAnswer::No : BoxAnswer::Yes;
    Fl_Window window(width, height, title.c_str());
    window.user_data(&box);
    window.callback(onClose, &box);
    Fl_Box icon(kMargin, kMargin, kIconSide, kIconSide, question ? "?" : "!");
    icon.box(FL_THIN_UP_BOX);
    icon.labelfont(FL_TIMES_BOLD);
    icon.labelsize(34);
    icon.labelcolor(kind == BoxKind::Fatal ? FL_RED : FL_BLUE);
    Fl_Box message(kMargin * 2 + kIconSide, kMargin, textW, textH, body.c_str());
    message.align(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE | FL_ALIGN_WRAP);
    int buttonY = height - kMargin - kButtonHeight;
    Fl_Return_Button yes(width - kMargin - kButtonWidth, buttonY, kButtonWidth, kButtonHeight,
                         question ? "Yes" : "OK");
    yes.callback(onYes);
    Fl_Button no(width - 2 * (kMargin + kButtonWidth), buttonY, kButtonWidth, kButtonHeight, "No");
    no.callback(onNo);
    if (!question) no.hide();
    window.end();
    window.set_modal();
    window.position((Fl::w() - width) / 2, (Fl::h() - height) / 2);
    window.show();
    placeInFront(window, owner);
    yes.take_focus();
    runFltkModal(window, [](Fl_Window& stopped) {
        static_cast<BoxWindow*>(stopped.user_data())->answer = BoxAnswer::Yes;
    });
    window.hide();
    Fl::flush();
    return box.answer;
}
