#include "config/dialogs_view.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>

#include <string>
#include <vector>

#include "config/dialogs.h"
#include "config/fltk_support.h"
#include "platform/system/failure.h"
#include "platform/system/instance.h"
#include "platform/system/resource_images.h"
#include "platform/system/stop_signals.h"

namespace {

// A combo box shown by an Fl_Choice. The menu points at the texts of the ComboBox, so it
// is rebuilt whenever the logic refills the entries.
struct ChoiceView {
    Fl_Choice* widget = nullptr;
    ComboBox* box = nullptr;
    std::vector<Fl_Menu_Item> items;
};

void showChoice(ChoiceView& view) {
    view.items.assign(view.box->entries.size() + 1, Fl_Menu_Item{});
    for (size_t i = 0; i < view.box->entries.size(); ++i)
        view.items[i].text = view.box->entries[i].c_str();
    view.widget->menu(view.items.data());
    view.widget->value(view.box->selected);
    if (view.box->enabled)
        view.widget->activate();
    else
        view.widget->deactivate();
    view.widget->redraw();
}

void showCheck(Fl_Check_Button* widget, const CheckBox& box) {
    widget->value(box.checked ? 1 : 0);
    if (box.enabled)
        widget->activate();
    else
        widget->deactivate();
}

// The selection the user made goes into the logic's control.
void choicePicked(Fl_Widget* widget, void* data) {
    static_cast<ComboBox*>(data)->selected = static_cast<Fl_Choice*>(widget)->value();
}

void checkClicked(Fl_Widget* widget, void* data) {
    static_cast<CheckBox*>(data)->checked = static_cast<Fl_Check_Button*>(widget)->value() != 0;
}

Fl_Choice* addChoice(int x, int y, int w, const char* label, ComboBox& box,
                     std::vector<ChoiceView>& views) {
    auto* widget = new Fl_Choice(x, y, w, 24, label);
    widget->callback(choicePicked, &box);
    views.push_back({widget, &box, {}});
    return widget;
}

Fl_Check_Button* addCheck(int x, int y, int w, const char* label, CheckBox& box) {
    auto* widget = new Fl_Check_Button(x, y, w, 22, label);
    widget->callback(checkClicked, &box);
    return widget;
}

void addPicture(int x, int y, int w, int h, int32_t id) {
    auto* picture = new Fl_Box(FL_THIN_DOWN_BOX, x, y, w, h, nullptr);
    picture->color(FL_BLACK);
    if (Fl_RGB_Image* image = fltkResourceImage(id)) {
        picture->box(FL_NO_BOX);
        picture->image(image);
    }
}

Fl_Button* addButton(int x, int y, int w, const char* label, Fl_Callback* action, void* data) {
    auto* button = new Fl_Button(x, y, w, 30, label);
    button->callback(action, data);
    return button;
}

// The dialog on top of the others: a later start brings it to the front.
bool raiseModalDialog() {
    Fl_Window* dialog = Fl::modal();
    if (dialog == nullptr) return false;
    dialog->show();
    return true;
}

// Shows window modally until it is hidden; focus on the confirm button. A stop signal closes
// it as its close box would (the About dialog, whose close box does nothing, closes too).
void runModal(Fl_Double_Window& window, Fl_Button& confirm) {
    window.set_modal();
    window.show();
    confirm.take_focus();
    runFltkModal(window, [](Fl_Window& stopped) { stopped.do_callback(); });
}

void closeWindow(Fl_Widget* widget, void*) {
    widget->window()->hide();
}

void ignoreClose(Fl_Widget*, void*) {}

// ---- "About" ----

constexpr const char* kProfileText =
    "FILM 03 by KORAL\n\n"
    "A real-time 3D demo on the ZORX_OpenGL engine: a flight through a hall of light, a "
    "glowing logo and music made for it.\n\n"
    "Every picture, sound and note of it is made by its own program code.";

void showAboutDialog(const Fl_Window& owner, bool useOwnIcon) {
    const std::string title(kAboutTitle);
    Fl_Double_Window window(420, 222, title.c_str());
    auto* icon = new Fl_Box(FL_NO_BOX, 16, 16, 64, 64, nullptr);
    if (Fl_RGB_Image* image = fltkResourceImage(kProgramIcon)) icon->image(image);
    auto* profile = new Fl_Box(FL_NO_BOX, 96, 16, 308, 144, kProfileText);
    profile->align(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE | FL_ALIGN_WRAP);
    // The maker has no web site or mail address to offer: no buttons lead nowhere.
    Fl_Button* exit = addButton(314, 176, 90, "EXIT", closeWindow, nullptr);
    exit->shortcut(FL_Enter);
    window.end();
    window.callback(ignoreClose); // only "EXIT" ends the dialog
    setProgramIcon(window, useOwnIcon);
    placeDialog(window, &owner, 0, 10);
    runModal(window, *exit);
}

// ---- "More Settings" ----

struct MoreSettingsView {
    ConfigBlock2* block = nullptr;
    Fl_Check_Button* saveTextures = nullptr;
    std::vector<ChoiceView> choices;
};

void moreSettingsConfirmed(Fl_Widget* widget, void* data) {
    auto* view = static_cast<MoreSettingsView*>(data);
    confirmMoreSettingsDialog(*view->block);
    widget->window()->hide();
}

void moreSettingsCancelled(Fl_Widget* widget, void* data) {
    auto* view = static_cast<MoreSettingsView*>(data);
    cancelMoreSettingsDialog(*view->block);
    Fl_Window* window = widget->as_window() != nullptr ? widget->as_window() : widget->window();
    window->hide();
}

void showMoreSettingsDialog(const Fl_Window& owner, ConfigBlock2& block, bool useOwnIcon) {
    MoreSettingsDialog& dialog = dialogState.moreSettings;
    openMoreSettingsDialog(block);
    MoreSettingsView view;
    view.block = &block;

    const std::string title(kMoreSettingsTitle);
    Fl_Double_Window window(560, 552, title.c_str());
    new GroupFrame(9, 9, 542, 110, " Miscellaneous ");
    view.saveTextures =
        addCheck(20, 28, 300, "Save compressed textures to harddisk", dialog.saveTextures);
    addChoice(170, 56, 370, "Vertical Sync", dialog.verticalSync, view.choices);
    addChoice(170, 86, 370, "Depth Buffer", dialog.depthBuffer, view.choices);
    new GroupFrame(9, 127, 542, 52, " Compute specular reflections from ");
    addChoice(20, 148, 520, nullptr, dialog.specular, view.choices);
    new GroupFrame(9, 187, 542, 52, " MultiSampling High-Resolution-Anti-Aliasing ");
    addChoice(20, 208, 520, nullptr, dialog.multisampling, view.choices);
    new GroupFrame(9, 247, 542, 196, " Texture Settings ");
    addChoice(170, 266, 370, "S3TC (Compression)", dialog.compression, view.choices);
    addChoice(170, 296, 370, "Color Depth", dialog.colourDepth, view.choices);
    addChoice(170, 326, 370, "Filtering", dialog.filtering, view.choices);
    addChoice(170, 356, 370, "Anisotropic Filtering", dialog.anisotropy, view.choices);
    addChoice(170, 386, 370, "Detail Level", dialog.detailLevel, view.choices);
    const std::string note(kS3tcNote);
    auto* noteBox = new Fl_Box(FL_NO_BOX, 20, 412, 520, 28, note.c_str());
    noteBox->align(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE | FL_ALIGN_WRAP);
    noteBox->labelsize(11);
    new GroupFrame(9, 451, 280, 92, " KORAL Software 3D Engine powered by ");
    addPicture(21, 471, 256, 64, kEngineBitmap);
    addButton(345, 507, 95, "Cancel", moreSettingsCancelled, &view);
    Fl_Button* confirm = addButton(446, 507, 105, "Save and Exit", moreSettingsConfirmed, &view);
    confirm->shortcut(FL_Enter);
    window.end();
    window.callback(moreSettingsCancelled, &view);

    showCheck(view.saveTextures, dialog.saveTextures);
    for (ChoiceView& choice : view.choices) showChoice(choice);
    setProgramIcon(window, useOwnIcon);
    placeDialog(window, &owner, 0, 10);
    runModal(window, *confirm);
}

// ---- "Configuration" ----

struct ConfigurationView {
    ConfigRecord* record = nullptr;
    bool useOwnIcon = false;
    bool startFlag = false;
    Fl_Double_Window* window = nullptr;
    Fl_Check_Button* fullscreen = nullptr;
    Fl_Check_Button* developerMode = nullptr;
    std::vector<ChoiceView> choices;
};

void showConfiguration(ConfigurationView& view) {
    const ConfigurationDialog& dialog = dialogState.configuration;
    showCheck(view.fullscreen, dialog.fullscreen);
    showCheck(view.developerMode, dialog.developerMode);
    for (ChoiceView& choice : view.choices) showChoice(choice);
}

void fullscreenToggled(Fl_Widget* widget, void* data) {
    auto* view = static_cast<ConfigurationView*>(data);
    dialogState.configuration.fullscreen.checked =
        static_cast<Fl_Check_Button*>(widget)->value() != 0;
    fullscreenClicked(view->record->block1);
    showConfiguration(*view);
}

void monitorPicked(Fl_Widget* widget, void* data) {
    auto* view = static_cast<ConfigurationView*>(data);
    videoDeviceChanged(view->record->block1, static_cast<Fl_Choice*>(widget)->value());
    showConfiguration(*view);
}

void outputPicked(Fl_Widget* widget, void* data) {
    auto* view = static_cast<ConfigurationView*>(data);
    audioOutputChanged(view->record->block1, static_cast<Fl_Choice*>(widget)->value());
    showConfiguration(*view);
}

void moreSettingsPressed(Fl_Widget*, void* data) {
    auto* view = static_cast<ConfigurationView*>(data);
    showMoreSettingsDialog(*view->window, view->record->block2, view->useOwnIcon);
}

void aboutPressed(Fl_Widget*, void* data) {
    auto* view = static_cast<ConfigurationView*>(data);
    showAboutDialog(*view->window, view->useOwnIcon);
}

void startPressed(Fl_Widget*, void* data) {
    auto* view = static_cast<ConfigurationView*>(data);
    confirmConfigurationDialog(view->record->block1);
    view->window->hide();
}

void configurationCancelled(Fl_Widget*, void* data) {
    auto* view = static_cast<ConfigurationView*>(data);
    cancelConfigurationDialog(view->record->block1);
    view->startFlag = false;
    view->window->hide();
}

} // namespace

bool showConfigurationDialog(ConfigRecord& record, bool useOwnIcon) {
    if (!openFltkDisplay())
        fatalError("WINDOWS ERROR", "Creating dialog window \"Configuration\" failed !\n\nAn "
                                    "unknown error occured when calling API-Function "
                                    "\"DialogBox\" !");
    ConfigurationDialog& dialog = dialogState.configuration;
    ConfigurationView view;
    view.record = &record;
    view.useOwnIcon = useOwnIcon;
    view.startFlag = true;
    openConfigurationDialog(record.block1);

    const std::string title(kConfigurationTitle);
    Fl_Double_Window window(620, 345, title.c_str());
    view.window = &window;
    addPicture(54, 9, 512, 128, kConfigurationBitmap);
    new GroupFrame(9, 145, 297, 150, " Video ");
    addChoice(66, 168, 230, "Device", dialog.videoDevice, view.choices)
        ->callback(monitorPicked, &view);
    addChoice(66, 200, 230, "Mode", dialog.videoMode, view.choices);
    view.fullscreen = addCheck(20, 234, 200, "Fullscreen", dialog.fullscreen);
    view.fullscreen->callback(fullscreenToggled, &view);
    view.developerMode = addCheck(20, 260, 200, "Developer Mode", dialog.developerMode);
    new GroupFrame(314, 145, 297, 150, " Audio ");
    addChoice(371, 168, 230, "Output", dialog.audioOutput, view.choices)
        ->callback(outputPicked, &view);
    addChoice(371, 200, 230, "Device", dialog.audioDevice, view.choices);
    addChoice(371, 232, 230, "Quality", dialog.audioQuality, view.choices);
    addButton(9, 305, 110, "More Settings", moreSettingsPressed, &view);
    addButton(125, 305, 80, "About", aboutPressed, &view);
    addButton(359, 305, 95, "Cancel", configurationCancelled, &view);
    Fl_Button* start = addButton(460, 305, 150, "Save and  S T A R T", startPressed, &view);
    start->shortcut(FL_Enter);
    window.end();
    window.callback(configurationCancelled, &view);

    showConfiguration(view);
    setProgramIcon(window, useOwnIcon);
    placeDialog(window, nullptr, 0, 0);
    instanceState.raiseDialog = raiseModalDialog;
    runModal(window, *start);
    instanceState.raiseDialog = nullptr;
    // The closed dialog leaves the screen now, not at the toolkit's next call: a report that
    // comes before the main window must not show in front of its picture.
    Fl::flush();
    return view.startFlag;
}
