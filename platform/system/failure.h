// Failure reporting: the fatal report, the notice box and the question box, the shared
// file-error texts, and "file size or fatal". Boxes are SDL message boxes; in batch mode
// each box is written to standard error as one line and answered automatically. A fatal
// report is written there as that line in every mode.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr std::string_view kFileErrorCaption = "ZORX_OpenGL - FILE ERROR";
// The usual causes of a file error on this system; the system's own reason stands before it.
inline constexpr std::string_view kFileAccessText =
    "Possible reasons :\n"
    "- The file is missing (check that it is there !)\n"
    "- The file or its folder is read-only or belongs to another user (check the "
    "permissions : ls -l)\n"
    "- The disk is full (check the free space : df -h)";

enum class BoxKind { Fatal, Notice, Question };
enum class BoxAnswer { Yes, No, NotShown }; // OK counts as Yes

struct SDL_Window;

// What the window, display-mode, gamma and cursor code register so that boxes and the fatal
// report put the desktop back without this module knowing them. Empty hooks do nothing.
struct FailureHooks {
    bool (*setCursorVisible)(bool show) = nullptr; // returns whether it was visible before
    void (*pumpMessages)() = nullptr;
    bool (*displaySwitched)() = nullptr; // a full-screen mode is in force
    void (*restoreDisplayMode)() = nullptr;
    void (*restoreGammaRamp)() = nullptr;
    // The main window while it is on the screen: it owns fatal reports and notices then.
    SDL_Window* (*boxOwner)() = nullptr;
    void (*afterBox)() = nullptr; // a shown box gave the focus back
    // Draws the box on the screen, owned by owner (null: none); NotShown without a display.
    BoxAnswer (*showBox)(BoxKind kind, std::string_view caption, std::string_view text,
                         SDL_Window* owner) = nullptr;
};

struct FailureState {
    bool batch = false;                        // write boxes to stderr instead of showing them
    bool batchAnswerYes = true;                // the answer batch mode gives to questions
    void (*pauseSound)(bool paused) = nullptr; // filled by the sound layer
    FailureHooks hooks;
    // The system's reason (errno) for the file error being reported, taken where it failed;
    // 0 while none is. Read by box recorders that name the reason.
    int fileErrorNumber = 0;
    // Called instead of showing a box (tests record boxes this way); returns the answer.
    bool (*boxRecorder)(BoxKind kind, std::string_view caption, std::string_view text) = nullptr;
};
extern FailureState failureState;

[[noreturn]] void fatalError(std::string_view caption, std::string_view text);
void noticeBox(std::string_view caption, std::string_view text);
bool questionBox(std::string_view caption, std::string_view text);

// "<what> !\nAn unknown error occured when calling <interface>-Function \"<function>\" !", the
// report of a failed system call.
std::string unknownCallError(std::string_view what, std::string_view interface,
                             std::string_view function);

// "File : " + name + "\n\n" + "The system says : " + strerror(errorNumber) + "\n\n" +
// file-access text; no system line for error number 0. Pass errno right after the failed call.
std::string fileErrorText(std::string_view fileName, int errorNumber);
// The fatal file error; call it right after the failed call, whose errno it keeps.
[[noreturn]] void fatalFileError(std::string_view fileName);

// Length of the file in bytes, or the fatal file error when it cannot be opened.
uint32_t fileSizeOrFatal(const std::string& fileName);

// One box in the batch format: KIND<TAB>CAPTION<TAB>TEXT[<TAB>yes|no], escaped.
std::string formatBatchLine(BoxKind kind, std::string_view caption, std::string_view text,
                            bool answerYes);
