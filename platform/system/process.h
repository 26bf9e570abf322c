// Child processes: finding a program on the search path, starting it with its standard input
// fed through a pipe (or from nothing) and its output and errors going to a log file, writing
// to it, and waiting for its exit status.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct ChildProcess {
    int pid = -1;
    int input = -1;  // write end of the pipe to the child's standard input, -1 when none
    int output = -1; // read end of the pipe from the child's standard output, -1 when none
};

// The full path of an executable found on PATH (or the name itself when it holds a '/' and
// is executable); empty when there is none.
std::string findProgram(std::string_view name);

// Starts arguments[0] with the given arguments. With `withInput` the child reads its standard
// input from a pipe the parent writes with writeToChild; otherwise from /dev/null. Its
// standard output and error are appended to logFile. It runs in a process group of its own,
// so signals from the terminal reach only this program. False when it cannot be started.
bool startChild(const std::vector<std::string>& arguments, const std::string& logFile,
                bool withInput, ChildProcess& child);
// Starts arguments[0] reading from /dev/null, its standard output going to a pipe the parent
// reads with readFromChild and its errors appended to logFile; in a process group of its own.
bool startChildForOutput(const std::vector<std::string>& arguments, const std::string& logFile,
                         ChildProcess& child);
// Reads exactly size bytes; false when the child's output ends first.
bool readFromChild(ChildProcess& child, void* data, size_t size);
// Writes all bytes; false when the child no longer reads (it ended or closed its input).
bool writeToChild(ChildProcess& child, const void* data, size_t size);
// Closes the pipes and waits for the child: its exit code, or -1 when a signal ended it.
int finishChild(ChildProcess& child);
// Ends the child at once (SIGKILL) and reaps it.
void killChild(ChildProcess& child);

// Keeps standard output for one final result: from now on whatever the program prints there
// goes to standard error, and the returned descriptor writes to the original standard output
// (-1 when that fails; standard output is then left as it was).
int reserveStandardOutput();
// Writes all bytes to a descriptor; false on failure.
bool writeAll(int descriptor, const void* data, size_t size);
