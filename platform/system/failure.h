// Failure reporting: the fatal report, the notice box and the question box, the shared
// file-error texts, and "file size or fatal". A box goes to the recorder where one is set
// (tests, the data tool's reports); in batch mode it is written to standard error as one line
// and answered automatically; otherwise the presenter the window layer set draws it. Without a
// presenter, or where it cannot draw (no display), the box is that line on standard error. A
// fatal report is written there as that line in every mode, and the presenter puts the desktop
// back before the program ends with 1.
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

// What the layer that draws boxes puts in (setBoxPresenter); nothing of it is needed.
struct BoxPresenter {
    // Shows the box and returns the answer; NotShown where no box can be shown.
    BoxAnswer (*show)(BoxKind kind, std::string_view caption, std::string_view text) = nullptr;
    // Called before a fatal report ends the program, in every mode: puts the desktop back.
    void (*beforeFatalEnd)() = nullptr;
};

// Called instead of showing a box (tests record boxes this way); returns the answer.
using BoxRecorderFunction = bool (*)(BoxKind kind, std::string_view caption, std::string_view text);

struct FailureState {
    bool batch = false;                        // write boxes to stderr instead of showing them
    bool batchAnswerYes = true;                // the answer batch mode gives to questions
    void (*pauseSound)(bool paused) = nullptr; // filled by the sound layer
    BoxPresenter presenter;
    BoxRecorderFunction boxRecorder = nullptr;
    // The system's reason (errno) for the file error being reported, taken where it failed;
    // 0 while none is. Read by box recorders that name the reason.
    int fileErrorNumber = 0;
};
extern FailureState failureState;

// Batch mode on or off, and the answer it gives to questions.
void answerBoxesOnStandardError(bool batch, bool answerYes);
void setBoxPresenter(const BoxPresenter& presenter);
void setBoxRecorder(BoxRecorderFunction recorder);
// What pauses and resumes the sound while a box is up (nullptr: nothing).
void setSoundPause(void (*pause)(bool paused));
// The reason of the file error being reported (0 when none is); it is cleared.
int takeFileErrorNumber();

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

// One box in the batch format: KIND<TAB>CAPTION<TAB>TEXT[<TAB>yes|no], escaped.
std::string formatBatchLine(BoxKind kind, std::string_view caption, std::string_view text,
                            bool answerYes);
