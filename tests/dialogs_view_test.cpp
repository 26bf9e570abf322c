// The FLTK windows on a real display: the Configuration dialog with More Settings and About
// on top, the loading dialog with its buttons driving the gate, and the scene-graph window.
// Buttons are pressed the way FLTK presses them (their callbacks), from timers that run
// inside the dialogs' own loops. With ZORX_DIALOG_SHOTS=FOLDER each window is also saved as
// a screenshot there.
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Tree.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include <SDL.h>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/resource_images.h"
#include "config/dialogs.h"
#include "config/dialogs_view.h"
#include "config/loading_dialog.h"
#include "effects/tree_view.h"
#include "platform/events.h"
#include "platform/system/stop_signals.h"
#include "platform/window.h"
#include "scene/objects.h"
#include "scene/scene_graph.h"
#include "support/test_support.h"

namespace {

bool haveDisplay() {
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && display[0] != '\0';
}

// Saves the whole screen when screenshots are asked for.
void screenshot(const char* name) {
    const char* folder = std::getenv("ZORX_DIALOG_SHOTS");
    if (folder == nullptr) return;
    Fl::flush();
    if (fl_display != nullptr) XSync(fl_display, False);
    std::string command = std::string("import -window root ") + folder + "/" + name + ".png";
    EXPECT_EQ(std::system(command.c_str()), 0);
}

Fl_Widget* findWidget(Fl_Group* group, const char* label) {
    for (int i = 0; i < group->children(); ++i) {
        Fl_Widget* child = group->child(i);
        if (child->label() != nullptr && std::strcmp(child->label(), label) == 0) return child;
        if (Fl_Group* inner = child->as_group())
            if (Fl_Widget* found = findWidget(inner, label)) return found;
    }
    return nullptr;
}

Fl_Window* findWindow(const char* title) {
    for (Fl_Window* window = Fl::first_window(); window != nullptr;
         window = Fl::next_window(window))
        if (window->label() != nullptr && std::strcmp(window->label(), title) == 0) return window;
    return nullptr;
}

// The widget labelled so in the topmost modal dialog.
Fl_Widget* dialogWidget(const char* label) {
    Fl_Window* dialog = Fl::modal();
    if (dialog == nullptr) return nullptr;
    return findWidget(dialog, label);
}

void press(const char* label) {
    Fl_Widget* widget = dialogWidget(label);
    ASSERT_NE(widget, nullptr) << label;
    widget->do_callback();
}

void pick(const char* label, int index) {
    auto* choice = static_cast<Fl_Choice*>(dialogWidget(label));
    ASSERT_NE(choice, nullptr) << label;
    choice->value(index);
    choice->do_callback();
}

// Runs action once from the event loop after `seconds`.
void later(double seconds, std::function<void()> action) {
    auto* owned = new std::function<void()>(std::move(action));
    Fl::add_timeout(
        seconds,
        [](void* data) {
            auto* act = static_cast<std::function<void()>*>(data);
            (*act)();
            delete act;
        },
        owned);
}

int32_t soundOutput = -1;
void fakeSetOutput(int32_t output) {
    soundOutput = output;
}
int fakeDriverCount() {
    return 2;
}
const char* fakeDriverName(int driver) {
    return driver == 0 ? "Default" : "Speakers";
}
void fakeSetDriver(int32_t) {}

bool oneMode(int, int index, DisplayMode& mode) {
    const DisplayMode modes[] = {{1024, 768, 4, 60}, {1280, 1024, 4, 0}};
    if (index < 0 || index > 1) return false;
    mode = modes[index];
    return true;
}

class DialogWindows : public testing::Test {
  protected:
    void SetUp() override {
        if (!haveDisplay()) GTEST_SKIP() << "no display";
        installResourceImages();
        dialogState = DialogState{};
        dialogState.modeAt = oneMode;
        dialogState.sound = {fakeSetOutput, fakeDriverCount, fakeDriverName, fakeSetDriver};
        record = ConfigRecord{};
        record.block1.fullscreen = 0;
        record.block1.screenWidth = 1280, record.block1.screenHeight = 1024;
        record.block1.refreshRate = 0;
    }
    ConfigRecord record;
};

TEST_F(DialogWindows, ConfigurationWithMoreSettingsAndAboutSavesWhatWasChosen) {
    later(0.5, [] {
        screenshot("configuration");
        Fl_Window* dialog = Fl::modal();
        ASSERT_NE(dialog, nullptr);
        EXPECT_STREQ(dialog->label(), "KORAL Software - Configuration");
        auto* mode = static_cast<Fl_Choice*>(dialogWidget("Mode"));
        ASSERT_NE(mode, nullptr);
        EXPECT_STREQ(mode->text(), "1280 x 1024 x 32  ( at ? Hz )");
        EXPECT_TRUE(dialogWidget("Developer Mode")->active());

        later(0.5, [] {
            screenshot("more_settings");
            EXPECT_STREQ(Fl::modal()->label(), "KORAL Software - 3D Engine - OpenGL Settings");
            pick("Color Depth", 1);
            pick("S3TC (Compression)", 2);
            press("Save and Exit");
        });
        press("More Settings"); // returns when the dialog above has ended

        later(0.5, [] {
            screenshot("about");
            EXPECT_STREQ(Fl::modal()->label(), "KORAL Software - About");
            Fl::modal()->do_callback(); // the close box does nothing here
            EXPECT_STREQ(Fl::modal()->label(), "KORAL Software - About");
            press("EXIT");
        });
        press("About");

        pick("Output", 2);
        EXPECT_FALSE(dialogWidget("Quality")->active());
        auto* developer = static_cast<Fl_Check_Button*>(dialogWidget("Developer Mode"));
        developer->value(1);
        developer->do_callback();
        press("Save and  S T A R T");
    });
    EXPECT_TRUE(showConfigurationDialog(record, true));
    EXPECT_EQ(record.block2.textureColourDepth, 16);
    EXPECT_EQ(record.block2.textureCompression, 2);
    EXPECT_EQ(record.block1.audioOutput, 2);
    EXPECT_EQ(soundOutput, 2);
    EXPECT_EQ(record.block1.developerMode, 1);
    EXPECT_EQ(record.block1.refreshRate, 0);
}

TEST_F(DialogWindows, ClosingTheConfigurationDialogCancelsIt) {
    const ConfigRecord found = record;
    later(0.3, [] {
        auto* fullscreen = static_cast<Fl_Check_Button*>(dialogWidget("Fullscreen"));
        fullscreen->value(1);
        fullscreen->do_callback();
        EXPECT_FALSE(dialogWidget("Developer Mode")->active());
        Fl::modal()->do_callback(); // the close box
    });
    EXPECT_FALSE(showConfigurationDialog(record, false));
    EXPECT_EQ(record.block1.fullscreen, found.block1.fullscreen);
}

TEST_F(DialogWindows, LoadingDialogShowsLinesAndProgressAndItsButtonsDriveTheGate) {
    installLoadingDialogView(true);
    eventState = EventState{};
    openLoadingDialog(1000.0f);
    Fl_Window* window = findWindow("KORAL Software - Application loading...");
    ASSERT_NE(window, nullptr);
    int screenX = 0, screenY = 0, screenW = 0, screenH = 0;
    Fl::screen_xywh(screenX, screenY, screenW, screenH, 0);
    EXPECT_EQ(window->x(), (screenW - window->w()) / 2);
    EXPECT_EQ(window->y(), (screenH - window->h()) / 2 + 10);

    loadingDialogAddLine("Initializing fonts...");
    loadingDialogSetProgress(50.0f);
    loadingDialogAddLine("Done !");
    loadingDialogAddLine("Loading 3DS-File \"Film_03.3ds\"...");
    loadingDialogSetProgress(420.0f);

    // "Pause": the next line waits until "Next Step >>" is pressed in the window.
    findWidget(window, "Pause")->do_callback();
    EXPECT_FALSE(findWidget(window, "Pause")->active());
    EXPECT_TRUE(findWidget(window, "Continue")->active());
    EXPECT_TRUE(findWidget(window, "Next Step >>")->active());
    bool pressed = false;
    later(0.3, [&] {
        screenshot("loading");
        pressed = true;
        findWidget(window, "Next Step >>")->do_callback();
    });
    loadingDialogAddLine("Building Vertex Buffer Objects (if supported)...");
    EXPECT_TRUE(pressed);

    auto* status = static_cast<Fl_Hold_Browser*>(window->child(1));
    EXPECT_EQ(status->size(), 8);
    EXPECT_EQ(status->value(), 8);
    EXPECT_STREQ(status->text(3), "@.Done !");
    auto* progress = static_cast<Fl_Progress*>(window->child(3));
    EXPECT_EQ(progress->value(), 42.0f);

    findWidget(window, "Continue")->do_callback();
    EXPECT_TRUE(findWidget(window, "Pause")->active());
    loadingDialogAddLine("Done !"); // passes at once
    closeLoadingDialog();
    EXPECT_EQ(findWindow("KORAL Software - Application loading..."), nullptr);
    loadingDialogState = LoadingDialogState{};
    eventState = EventState{};
}

TEST_F(DialogWindows, AStopSignalWakesTheLoadingHeldAtTheGate) {
    installStopSignals();
    installLoadingDialogView(true);
    eventState = EventState{};
    openLoadingDialog(1000.0f);
    loadingPausePressed();
    // The signal lands on another thread while the gate sleeps (as it may on any of the
    // program's threads): the main thread's wait is not interrupted, only the descriptor
    // wakes it.
    std::thread signaller([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        raise(SIGTERM);
    });
    static bool gaveUp = false;
    Fl_Timeout_Handler giveUp = [](void*) {
        gaveUp = true;
        loadingContinuePressed();
    };
    Fl::add_timeout(20.0, giveUp);
    loadingDialogAddLine("Initializing fonts...");
    Fl::remove_timeout(giveUp);
    signaller.join();
    EXPECT_FALSE(gaveUp) << "the stop signal did not wake the gate";
    EXPECT_TRUE(stopRequested());
    closeLoadingDialog();
    loadingDialogState = LoadingDialogState{};
    eventState = EventState{};
}

TEST_F(DialogWindows, SceneGraphWindowMirrorsTheNodesBesideTheMainWindow) {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0);
    SDL_Window* main = SDL_CreateWindow("FILM 03 by KORAL", 100, 100, 640, 480, SDL_WINDOW_SHOWN);
    ASSERT_NE(main, nullptr);
    windowState.window = main;
    installTreeWindow(true);
    windowState.createTreeWindow();
    ASSERT_TRUE(treeViewExists());
    Fl_Window* window = findWindow("ZORX_OpenGL");
    ASSERT_NE(window, nullptr);
    const ScreenRect rect = mainWindowRect();
    EXPECT_EQ(window->x(), rect.x + rect.width);
    EXPECT_EQ(window->y(), rect.y);
    EXPECT_EQ(window->w(), 200);
    EXPECT_EQ(window->h(), rect.height);
    auto* tree = static_cast<Fl_Tree*>(window->child(0));
    EXPECT_STREQ(tree->label(), "Scene Graph");

    initSceneGraph();
    SceneNode* root = &sceneGraphState.root;
    SceneObject* hall = createObject("HALL", root);
    createObject("Pillar01", hall->treeNode);
    SceneObject* logo = createObject("LOGO", hall->treeNode);
    createObject("kslogo", logo->treeNode);
    createObject("Camera03", root);
    renameNodeLabel(logo->treeNode, "LOGO (renamed)");
    // The seven icons, straight through the hooks.
    TreeItem kinds = treeView.insertItem(0, "Kinds", kIconOther);
    for (TreeIcon icon : {kIconPointLight, kIconSpotLight, kIconDirectionalLight, kIconCamera,
                          kIconMesh, kIconOther})
        treeView.insertItem(kinds, "icon " + std::to_string(int(icon)), icon);
    Fl::check();
    screenshot("tree_window");

    Fl_Tree_Item* rootItem = tree->root()->child(0);
    EXPECT_STREQ(rootItem->label(), "Scene Graph - Root");
    ASSERT_EQ(rootItem->children(), 2);
    EXPECT_STREQ(rootItem->child(0)->child(1)->label(), "LOGO (renamed)");
    EXPECT_NE(rootItem->child(0)->usericon(), nullptr);

    deleteObject("LOGO"); // its child moves up to HALL
    Fl_Tree_Item* hallItem = rootItem->child(0);
    ASSERT_EQ(hallItem->children(), 2);
    EXPECT_STREQ(hallItem->child(1)->label(), "kslogo");

    window->do_callback(); // the close box: the graph goes on without its mirror
    EXPECT_FALSE(treeViewExists());
    createObject("late", root);
    for (const char* name : {"late", "Camera03", "kslogo", "Pillar01", "HALL"}) deleteObject(name);
    shutdownSceneGraph();
    windowState.destroyTreeWindow();
    windowState = WindowState{};
    SDL_DestroyWindow(main);
}

} // namespace

// The tree window goes beside the main window, never under it: to the right where there is
// room on the usable desktop, else to the left, else against the edge with more room.
TEST(TreeWindowPlace, BesideTheMainWindowWhereThereIsRoom) {
    const struct {
        const char* what;
        int mainX, mainWidth, usableX, usableWidth;
        int x;
    } table[] = {
        {"room on the right", 100, 660, 0, 1280, 760},
        {"no room on the right, some on the left", 230, 1034, 0, 1280, 20},
        {"only the right edge has room", 0, 1034, 0, 1280, 1034},
        {"no room on either side, more on the right", 10, 1240, 0, 1280, 1280 - 210},
        {"no room on either side, more on the left", 30, 1240, 0, 1280, 0},
        {"on a second screen", 1500, 1000, 1280, 1280, 1290},
        {"no desktop known", 500, 1034, 0, 0, 1534},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.what);
        TreeWindowPlace place =
            treeWindowPlace(row.mainX, 40, row.mainWidth, 600, row.usableX, row.usableWidth, 210);
        EXPECT_EQ(place.x, row.x);
        EXPECT_EQ(place.y, 40);
        EXPECT_EQ(place.height, 600);
    }
    EXPECT_EQ(treeWindowPlace(0, 0, 0, 0, 0, 1280, 210).height, 480);
}
