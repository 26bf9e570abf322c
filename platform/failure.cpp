#include "platform/failure.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>

FailureState failureState;

namespace {

void appendEscaped(std::string& out, std::string_view text) {
    for (char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else out += c;
    }
}

const char* kindName(BoxKind kind) {
    switch (kind) {
        case BoxKind::Fatal: return "fatal";
        case BoxKind::Notice: return "notice";
        case BoxKind::Question: return "question";
    }
    return "notice";
}

// Shows one box (or writes it in batch mode) and returns true unless the answer is No.
// TODO(platform): cursor, display-mode, gamma and owner-window handling around the box.
bool showBox(BoxKind kind, std::string_view caption, std::string_view text) {
    if (failureState.boxRecorder != nullptr) return failureState.boxRecorder(kind, caption, text);
    if (failureState.batch) {
        bool answer = kind != BoxKind::Question || failureState.batchAnswerYes;
        std::string line = formatBatchLine(kind, caption, text, answer);
        std::fprintf(stderr, "%s\n", line.c_str());
        std::fflush(stderr);
        return answer;
    }
    std::string captionText(caption), bodyText(text);
    SDL_MessageBoxButtonData okButton = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "OK"};
    SDL_MessageBoxButtonData yesNo[2] = {{SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
                                         {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"}};
    SDL_MessageBoxData box = {};
    box.flags = kind == BoxKind::Fatal ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
    box.title = captionText.c_str();
    box.message = bodyText.c_str();
    box.numbuttons = kind == BoxKind::Question ? 2 : 1;
    box.buttons = kind == BoxKind::Question ? yesNo : &okButton;
    int pressed = -1;
    if (SDL_ShowMessageBox(&box, &pressed) != 0) {
        std::string line = formatBatchLine(kind, caption, text, true);
        std::fprintf(stderr, "%s\n", line.c_str());
        return true;
    }
    return pressed != 0;
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
    showBox(BoxKind::Fatal, caption, text);
    std::exit(1);
}

void noticeBox(std::string_view caption, std::string_view text) {
    showBox(BoxKind::Notice, caption, text);
}

bool questionBox(std::string_view caption, std::string_view text) {
    return showBox(BoxKind::Question, caption, text);
}

std::string fileErrorText(std::string_view fileName) {
    std::string text = "File : ";
    text += fileName;
    text += "\n\n";
    text += kFileAccessText;
    return text;
}

void fatalFileError(std::string_view fileName) {
    fatalError(kFileErrorCaption, fileErrorText(fileName));
}

uint32_t fileSizeOrFatal(const std::string& fileName) {
    std::FILE* file = std::fopen(fileName.c_str(), "rb");
    if (file == nullptr) fatalFileError(fileName);
    std::fseek(file, 0, SEEK_END);
    long length = std::ftell(file);
    std::fclose(file);
    return length < 0 ? 0u : static_cast<uint32_t>(length);
}
