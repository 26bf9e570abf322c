// The loading dialog ("KORAL Software - Application loading..."): a status list and a
// 0-100 % progress bar while the demo loads, and the gate behind "Pause", "Continue" and
// "Next Step >>" that holds the loading at each logged line or progress step. The window is
// drawn by the FLTK view (loading_dialog_view.h) through the hooks below; without them, or
// when the window cannot be made, everything here still runs and nothing is shown. In batch
// runs the status lines go to standard output instead.
//
// The loading phase calls, in this order: openLoadingDialog(total), any number of
// loadingDialogAddLine / loadingDialogSetProgress, closeLoadingDialog.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// What the window shows, filled by the view.
struct LoadingDialogView {
    bool (*create)() = nullptr; // makes and shows the window; false when it cannot
    void (*destroy)() = nullptr;
    void (*addLine)(std::string_view text) = nullptr; // appends a line and selects it
    void (*setPercent)(int percent) = nullptr;
    void (*updateButtons)() = nullptr; // shows the enabled flags below
    void (*minimiseMainWindow)() = nullptr;
    void (*restoreMainWindow)() = nullptr; // restored, raised and given the focus
};

enum class LoadingSink {
    Dialog,         // the dialog window (and nothing when there is none)
    StandardOutput, // one status line per line of standard output; no window at all
    Nowhere,        // no window and no lines (a recording shows its progress line instead)
};

struct LoadingDialogState {
    bool exists = false;   // the window is up
    bool paused = false;   // "Pause" pressed, "Continue" not yet
    bool nextStep = false; // "Next Step >>" pressed: one line or step may pass
    float value = 0.0f;    // progress value and total, in any unit
    float total = 0.0f;
    int percent = 0; // what the bar shows
    bool pauseEnabled = true;
    bool continueEnabled = false;
    bool nextStepEnabled = false;
    std::vector<std::string> lines; // the status list as shown (each line and a blank one)
    LoadingSink sink = LoadingSink::Dialog;
    bool savedIgnoreFocus = false; // the focus rule in force before the dialog opened
    LoadingDialogView view;
    void (*pump)() = nullptr; // serves the windows' events; pumpMessages when empty
    // Between pumps while held: sleeps until something happens (the view's wait for events
    // and stop signals); a 10 ms sleep when empty.
    void (*idle)() = nullptr;
};
extern LoadingDialogState loadingDialogState;

inline constexpr std::string_view kLoadingTitle = "KORAL Software - Application loading...";

// Minimises the main window and opens the dialog (not in batch runs); stores the total and
// sets the value to 0 in every case. While the dialog is up, the focus moving between it and
// the main window does not count as the program going to the background.
void openLoadingDialog(float total);
// Appends text and a blank line to the status list, selects the last line, then waits at
// the gate. Batch runs print the text as one line of standard output instead.
void loadingDialogAddLine(std::string_view text);
// Stores the value; the bar shows trunc(value / total * 100 + 0.5) %, at most 100. Then
// waits at the gate.
void loadingDialogSetProgress(float value);
// The gate: while paused and no "Next Step >>" is pending (and no stop signal came), serves
// events; then uses up the pending step and serves events once more.
void waitWhileLoadingPaused();
// Closes the dialog and brings the main window back (nothing when there is no dialog).
void closeLoadingDialog();

// The buttons, as the view reports them.
void loadingPausePressed();
void loadingContinuePressed();
void loadingNextStepPressed();

// The bar's percentage for a value and a total (0 for a total that is not positive).
int loadingPercent(float value, float total);
