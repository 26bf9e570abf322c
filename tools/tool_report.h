// demotool's messages in the ordinary form of a command-line tool: one line on standard
// error, "demotool: COMMAND: TEXT". The engine's boxes come out the same way while a command
// runs: a fatal report as an error line (the tool then ends with exit code 1), a notice as a
// warning line, a question as a warning line with the answer it got (always yes).
#pragma once

#include <string>
#include <string_view>

#include "platform/system/failure.h"

struct ToolReportState {
    std::string command;   // the running command, named in every line
    std::string fatalHint; // while not empty, ends a fatal line: what the user can do
};
extern ToolReportState toolReportState;

// Routes every box through the tool's own lines for the named command.
void startToolReports(const std::string& command);

// The line for one box (without the line feed). The text's line breaks become blanks; the
// file-access advice of the engine's file errors is left out, and a bare file error
// ("File : NAME") reads: cannot open "NAME": <the system's reason for errorNumber>.
std::string toolReportLine(BoxKind kind, std::string_view text, int errorNumber);

// Prints "demotool: COMMAND: TEXT" and returns 1, the exit code of a failed command.
int toolFailure(const std::string& text);

// An input file a command reads must be a readable regular file that is not empty; otherwise
// the error line says why (cannot open "x/y.3ds": No such file or directory) and false is
// returned.
bool requireInputFile(const std::string& path);
