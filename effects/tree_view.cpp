#include "effects/tree_view.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_PNG_Image.H>
#include <FL/Fl_Tree.H>
#include <FL/x.H>

#include <array>
#include <string>

#include "platform/system/failure.h"
#include "platform/fltk_pump.h"
#include "platform/system/resource_images.h"
#include "platform/window.h"
#include "scene/tree_view.h"

namespace {

// The seven bitmaps, by resource number from 2402.
constexpr int32_t kFirstIcon = 2402;
constexpr size_t kIconCount = 7;

struct TreeWindowState {
    bool useOwnIcon = false;
    Fl_Double_Window* window = nullptr;
    Fl_Tree* tree = nullptr;
    std::array<Fl_RGB_Image*, kIconCount> icons = {};
};
TreeWindowState treeWindowState;

constexpr std::string_view kTreeCaption = "WINDOWS ERROR";

Fl_Tree_Item* itemOf(TreeItem item) {
    return reinterpret_cast<Fl_Tree_Item*>(item);
}

TreeItem insertItem(TreeItem parent, std::string_view text, TreeIcon icon) {
    Fl_Tree* tree = treeWindowState.tree;
    if (tree == nullptr) return 0;
    const std::string label(text);
    Fl_Tree_Item* item = tree->add(parent != 0 ? itemOf(parent) : tree->root(), label.c_str());
    if (item == nullptr) return 0;
    size_t slot = size_t(icon - kFirstIcon);
    if (slot < kIconCount) item->usericon(treeWindowState.icons[slot]);
    tree->redraw();
    return reinterpret_cast<TreeItem>(item);
}

bool setItemText(TreeItem item, std::string_view text) {
    if (treeWindowState.tree == nullptr || item == 0) return false;
    const std::string label(text);
    itemOf(item)->label(label.c_str());
    treeWindowState.tree->redraw();
    return true;
}

bool deleteItem(TreeItem item) {
    if (treeWindowState.tree == nullptr || item == 0) return false;
    bool removed = treeWindowState.tree->remove(itemOf(item)) == 0;
    treeWindowState.tree->redraw();
    return removed;
}

// Opens the item's ancestors and scrolls it into view.
void ensureVisible(TreeItem item) {
    Fl_Tree* tree = treeWindowState.tree;
    if (tree == nullptr || item == 0) return;
    for (Fl_Tree_Item* parent = itemOf(item)->parent(); parent != nullptr;
         parent = parent->parent())
        if (parent->is_close()) parent->open();
    tree->show_item(itemOf(item));
}

[[noreturn]] void windowFailed() {
    fatalError(kTreeCaption, "Creating new window failed !\nAn unknown error occured when "
                             "calling WinAPI-Function \"CreateWindowEx\" !");
}

void loadIcons() {
    for (size_t i = 0; i < kIconCount; ++i) {
        const ResourceImage* bitmap = findResourceImage(kFirstIcon + int32_t(i));
        Fl_RGB_Image* image =
            bitmap != nullptr ? new Fl_PNG_Image("icon", bitmap->png, int(bitmap->size)) : nullptr;
        if (image == nullptr || image->w() <= 0 || image->h() <= 0) {
            delete image;
            fatalError(kTreeCaption, "Loading a tree-view ICON failed !\nAn unknown error "
                                     "occured when calling WinAPI-Function \"LoadBitmap\" !");
        }
        treeWindowState.icons[i] = image;
    }
}

// The close box takes the window away; the scene graph goes on without its mirror.
void windowClosed(Fl_Widget*, void*) {
    destroyTreeWindow();
}

} // namespace

void installTreeWindow(bool useOwnIcon) {
    treeWindowState.useOwnIcon = useOwnIcon;
    windowState.createTreeWindow = createTreeWindow;
    windowState.destroyTreeWindow = destroyTreeWindow;
}

TreeWindowPlace treeWindowPlace(int mainX, int mainY, int mainWidth, int mainHeight, int usableX,
                                int usableWidth, int frameWidth) {
    TreeWindowPlace place{mainX + mainWidth, mainY, mainHeight > 0 ? mainHeight : 480};
    const int right = usableX + usableWidth - (mainX + mainWidth);
    const int left = mainX - usableX;
    if (right >= frameWidth || usableWidth <= 0) return place;
    if (left >= frameWidth) {
        place.x = mainX - frameWidth;
        return place;
    }
    place.x = right >= left ? usableX + usableWidth - frameWidth : usableX;
    return place;
}

void createTreeWindow() {
    TreeWindowState& state = treeWindowState;
    if (state.window != nullptr) return;
    if (fl_display == nullptr) {
        Display* display = XOpenDisplay(nullptr);
        if (display == nullptr) windowFailed();
        fl_open_display(display);
    }
    const ScreenRect main = mainWindowRect();
    int workX = 0, workY = 0, workWidth = 0, workHeight = 0;
    Fl::screen_work_area(workX, workY, workWidth, workHeight, main.x, main.y);
    // Its frame is taken to have the main window's borders (unknown before it is shown).
    const int frame = kTreeWindowWidth + 2 * windowState.frameWidth;
    const TreeWindowPlace place =
        treeWindowPlace(main.x, main.y, main.width, main.height, workX, workWidth, frame);
    auto* window =
        new Fl_Double_Window(place.x, place.y, kTreeWindowWidth, place.height, kTreeWindowTitle);
    window->xclass(kTreeWindowClass);
    auto* tree = new Fl_Tree(0, 0, window->w(), window->h(), kTreeControlText);
    tree->labeltype(FL_NO_LABEL); // the control's text names it; it is not shown
    tree->showroot(0);
    tree->box(FL_BORDER_BOX);
    tree->color(fl_rgb_color(0x73, 0x73, 0x73));
    tree->item_labelfgcolor(FL_WHITE);
    tree->connectorcolor(fl_rgb_color(0xD7, 0xD7, 0xFF));
    tree->selectmode(FL_TREE_SELECT_SINGLE);
    window->end();
    window->resizable(tree);
    window->callback(windowClosed);
    state.window = window;
    state.tree = tree;
    loadIcons();
    if (state.useOwnIcon) {
        const ResourceImage* icon = findResourceImage(kProgramIcon);
        if (icon != nullptr) {
            Fl_PNG_Image image("icon", icon->png, int(icon->size));
            if (image.w() > 0) window->icon(&image); // the window keeps its own copy
        }
    }
    window->show();
    serveFltkFromPump();
    Fl::check();

    treeView.insertItem = insertItem;
    treeView.setItemText = setItemText;
    treeView.deleteItem = deleteItem;
    treeView.ensureVisible = ensureVisible;
}

void destroyTreeWindow() {
    TreeWindowState& state = treeWindowState;
    if (state.window == nullptr) return;
    treeView = TreeView{};
    state.window->hide();
    delete state.window; // the tree and its items with it
    state.window = nullptr;
    state.tree = nullptr;
    for (Fl_RGB_Image*& icon : state.icons) {
        delete icon;
        icon = nullptr;
    }
    Fl::check();
}
