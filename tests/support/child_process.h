#pragma once

// Child processes of a test, and the build's paths as they see them.

#include <string>

#include <windows.h>

// A path of the build as Windows sees it: under Wine a Unix path lies on
// drive Z:.
std::string WindowsPath(const std::string& path);

struct ChildRun {
    DWORD exitCode;     // 999 when the child could not start
    std::string output; // standard output and error, lines ending in \n
};

// Runs `commandLine` in `folder` (null: this process's own), waits up to a
// minute for it to end (a child that does not is killed and fails the test),
// then reads what it wrote. Waited for before reading, since a child that
// never ends never closes the pipe; so a child writes no more than the pipe
// holds, a few lines.
ChildRun RunChild(const std::string& commandLine, const char* folder);

// A text as a child writes it on one line: \r and \n escaped.
std::string EscapeLineBreaks(const std::string& text);
