#include "platform/system/failure.h"

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
bool showBox(BoxKind kind, std::string_view caption, std::string_view text) {
    if (failureState.boxRecorder != nullptr) return failureState.boxRecorder(kind, caption, text);
    if (failureState.batch) {
        bool answer = kind != BoxKind::Question || failureState.batchAnswerYes;
        writeBoxLine(kind, caption, text, answer);
        return answer;
    }
    BoxAnswer (*show)(BoxKind, std::string_view, std::string_view) = failureState.presenter.show;
    BoxAnswer answer = show != nullptr ? show(kind, caption, text) : BoxAnswer::NotShown;
    if (answer == BoxAnswer::NotShown) {
        // No box can be shown: the text still reaches the user (a fatal report is on
        // standard error already).
        if (kind != BoxKind::Fatal) writeBoxLine(kind, caption, text, true);
        return true;
    }
    return answer == BoxAnswer::Yes;
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

void answerBoxesOnStandardError(bool batch, bool answerYes) {
    failureState.batch = batch;
    failureState.batchAnswerYes = answerYes;
}

void setBoxPresenter(const BoxPresenter& presenter) {
    failureState.presenter = presenter;
}

void setBoxRecorder(BoxRecorderFunction recorder) {
    failureState.boxRecorder = recorder;
}

void setSoundPause(void (*pause)(bool paused)) {
    failureState.pauseSound = pause;
}

int takeFileErrorNumber() {
    int number = failureState.fileErrorNumber;
    failureState.fileErrorNumber = 0;
    return number;
}

void fatalError(std::string_view caption, std::string_view text) {
    // Whoever started the program from a terminal reads the report there too, while the box
    // is up (batch mode writes this line instead of the box).
    if (!failureState.batch) writeBoxLine(BoxKind::Fatal, caption, text, true);
    showBox(BoxKind::Fatal, caption, text);
    if (failureState.presenter.beforeFatalEnd != nullptr) failureState.presenter.beforeFatalEnd();
    std::exit(1);
}

void noticeBox(std::string_view caption, std::string_view text) {
    showBox(BoxKind::Notice, caption, text);
}

bool questionBox(std::string_view caption, std::string_view text) {
    return showBox(BoxKind::Question, caption, text);
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
