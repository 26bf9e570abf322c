#include "platform/system/failure.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

FailureState failureState;

namespace {

void appendEscaped(std::string& out, std::string_view text) {
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else
            out += c;
    }
}

const char* kindName(BoxKind kind) {
    switch (kind) {
        case BoxKind::Fatal:
            return "fatal";
        case BoxKind::Notice:
            return "notice";
        case BoxKind::Question:
            return "question";
    }
    return "notice";
}

void writeBoxLine(BoxKind kind, std::string_view caption, std::string_view text, bool answer) {
    std::string line = formatBatchLine(kind, caption, text, answer);
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

// Shows one box (or writes it in batch mode) and returns true unless the answer is No.
// Fatal reports and notices belong to the main window once it exists; questions have no
// owner.
bool showBox(BoxKind kind, std::string_view caption, std::string_view text) {
    if (failureState.boxRecorder != nullptr) return failureState.boxRecorder(kind, caption, text);
    if (failureState.batch) {
        bool answer = kind != BoxKind::Question || failureState.batchAnswerYes;
        writeBoxLine(kind, caption, text, answer);
        return answer;
    }
    const FailureHooks& hooks = failureState.hooks;
    SDL_Window* owner = hooks.boxOwner != nullptr ? hooks.boxOwner() : nullptr;
    BoxAnswer answer =
        hooks.showBox == nullptr
            ? BoxAnswer::NotShown
            : hooks.showBox(kind, caption, text, kind == BoxKind::Question ? nullptr : owner);
    if (answer == BoxAnswer::NotShown) {
        // No box can be shown (no display): the text still reaches the user (a fatal report
        // is on standard error already).
        if (kind != BoxKind::Fatal) writeBoxLine(kind, caption, text, true);
        return true;
    }
    if (hooks.afterBox != nullptr) hooks.afterBox();
    return answer == BoxAnswer::Yes;
}

bool hookDisplaySwitched() {
    const FailureHooks& hooks = failureState.hooks;
    return hooks.displaySwitched != nullptr && hooks.displaySwitched();
}

void hookPumpMessages() {
    if (failureState.hooks.pumpMessages != nullptr) failureState.hooks.pumpMessages();
}

// Shows the cursor (or hides it again); returns whether it was visible.
bool hookSetCursorVisible(bool show) {
    const FailureHooks& hooks = failureState.hooks;
    return hooks.setCursorVisible != nullptr ? hooks.setCursorVisible(show) : true;
}

// A box while the display mode is changed: the sound pauses while it is up.
bool showBoxAroundDisplay(BoxKind kind, std::string_view caption, std::string_view text) {
    bool switched = hookDisplaySwitched();
    if (switched) {
        if (failureState.pauseSound != nullptr) failureState.pauseSound(true);
        hookPumpMessages();
    }
    bool answer = showBox(kind, caption, text);
    if (switched && hookDisplaySwitched()) {
        if (failureState.pauseSound != nullptr) failureState.pauseSound(false);
        hookPumpMessages();
    }
    return answer;
}

bool showRecoverableBox(BoxKind kind, std::string_view caption, std::string_view text) {
    bool wasVisible = hookSetCursorVisible(true);
    bool answer = showBoxAroundDisplay(kind, caption, text);
    hookSetCursorVisible(wasVisible);
    return answer;
}

} // namespace

std::string formatBatchLine(BoxKind kind, std::string_view caption, std::string_view text,
                            bool answerYes) {
    std::string line = kindName(kind);
    line += '\t';
    appendEscaped(line, caption);
    line += '\t';
    appendEscaped(line, text);
    if (kind == BoxKind::Question) line += answerYes ? "\tyes" : "\tno";
    return line;
}

void fatalError(std::string_view caption, std::string_view text) {
    hookSetCursorVisible(true);
    // Whoever started the program from a terminal reads the report there too, while the box
    // is up (batch mode writes this line instead of the box).
    if (!failureState.batch) writeBoxLine(BoxKind::Fatal, caption, text, true);
    showBoxAroundDisplay(BoxKind::Fatal, caption, text);
    const FailureHooks& hooks = failureState.hooks;
    if (hooks.restoreDisplayMode != nullptr) hooks.restoreDisplayMode();
    hookSetCursorVisible(true);
    if (hooks.restoreGammaRamp != nullptr) hooks.restoreGammaRamp();
    std::exit(1);
}

void noticeBox(std::string_view caption, std::string_view text) {
    showRecoverableBox(BoxKind::Notice, caption, text);
}

bool questionBox(std::string_view caption, std::string_view text) {
    return showRecoverableBox(BoxKind::Question, caption, text);
}

std::string unknownCallError(std::string_view what, std::string_view interface,
                             std::string_view function) {
    std::string text(what);
    text += " !\nAn unknown error occured when calling ";
    text += interface;
    text += "-Function \"";
    text += function;
    text += "\" !";
    return text;
}

std::string fileErrorText(std::string_view fileName, int errorNumber) {
    std::string text = "File : ";
    text += fileName;
    text += "\n\n";
    if (errorNumber != 0)
        text += "The system says : " + std::string(std::strerror(errorNumber)) + "\n\n";
    text += kFileAccessText;
    return text;
}

void fatalFileError(std::string_view fileName) {
    failureState.fileErrorNumber = errno;
    fatalError(kFileErrorCaption, fileErrorText(fileName, failureState.fileErrorNumber));
}

uint32_t fileSizeOrFatal(const std::string& fileName) {
    // A folder opens for reading too, but holds no bytes to read: the same file error.
    struct stat info;
    std::FILE* file = std::fopen(fileName.c_str(), "rb");
    if (file != nullptr && (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode))) {
        std::fclose(file);
        file = nullptr;
        errno = EISDIR;
    }
    if (file == nullptr) fatalFileError(fileName);
    std::fclose(file);
    return static_cast<uint32_t>(info.st_size);
}
