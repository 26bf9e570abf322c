#include "tools/tool_report.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

ToolReportState toolReportState;

namespace {

// Runs of line breaks and tabs become one blank.
std::string oneLine(std::string_view text) {
    std::string line;
    bool gap = false;
    for (char c : text) {
        if (c == '\n' || c == '\t' || c == '\r') {
            gap = true;
            continue;
        }
        if (gap && !line.empty() && line.back() != ' ' && c != ' ') line += ' ';
        gap = false;
        line += c;
    }
    return line;
}

// A file error as one short line: the advice and the system's own line go, the reason is
// added from errorNumber.
std::string withoutAccessAdvice(std::string_view text, int errorNumber) {
    std::string advice = "\n\n" + std::string(kFileAccessText);
    if (text.ends_with(advice)) text.remove_suffix(advice.size());
    size_t systemLine = text.find("\n\nThe system says : ");
    if (systemLine != std::string_view::npos) text = text.substr(0, systemLine);
    constexpr std::string_view kFileHead = "File : ";
    if (!text.starts_with(kFileHead) || text.find('\n') != std::string_view::npos)
        return std::string(text);
    std::string line = "cannot open \"" + std::string(text.substr(kFileHead.size())) + "\"";
    if (errorNumber != 0) line += std::string(": ") + std::strerror(errorNumber);
    return line;
}

void printLine(const std::string& text) {
    std::string line = "demotool: ";
    if (!toolReportState.command.empty()) line += toolReportState.command + ": ";
    std::fprintf(stderr, "%s%s\n", line.c_str(), text.c_str());
    std::fflush(stderr);
}

bool reportBox(BoxKind kind, std::string_view, std::string_view text) {
    const int errorNumber = failureState.fileErrorNumber;
    failureState.fileErrorNumber = 0;
    std::string line = toolReportLine(kind, text, errorNumber);
    // The hint is about files that could not be opened; a damaged file has its own report.
    if (kind == BoxKind::Fatal && errorNumber != 0 && !toolReportState.fatalHint.empty())
        line += "; " + toolReportState.fatalHint;
    printLine(line);
    return true;
}

} // namespace

void startToolReports(const std::string& command) {
    toolReportState.command = command;
    failureState.batch = true;
    failureState.boxRecorder = reportBox;
}

std::string toolReportLine(BoxKind kind, std::string_view text, int errorNumber) {
    std::string line = oneLine(withoutAccessAdvice(text, errorNumber));
    if (kind == BoxKind::Notice) return "warning: " + line;
    if (kind == BoxKind::Question) return "warning: " + line + " yes";
    return line;
}

int toolFailure(const std::string& text) {
    printLine(text);
    return 1;
}

bool requireInputFile(const std::string& path) {
    int file = ::open(path.c_str(), O_RDONLY);
    struct stat status = {};
    int errorNumber = file < 0 || ::fstat(file, &status) != 0 ? errno : 0;
    if (file >= 0) ::close(file);
    if (errorNumber == 0 && S_ISDIR(status.st_mode)) errorNumber = EISDIR;
    if (errorNumber != 0)
        toolFailure("cannot open \"" + path + "\": " + std::strerror(errorNumber));
    else if (S_ISREG(status.st_mode) && status.st_size == 0)
        toolFailure("\"" + path + "\" is empty");
    else
        return true;
    return false;
}
