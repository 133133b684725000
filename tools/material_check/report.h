#pragma once

#include <string>

// What the checker found, printed as it is found, one line a finding, in the
// form editors and build logs jump to: "FILE(LINE): error: TEXT" or
// "FILE: warning: TEXT".
struct Report {
    int errors = 0;
    int warnings = 0;
};

void Error(Report& report, const std::string& file, const std::string& text);
void Warning(Report& report, const std::string& file, const std::string& text);
// What the game will use, where nothing is wrong with it.
void Note(const std::string& file, const std::string& text);
// A line the game wrote, already in the form (with its position).
void ErrorLine(Report& report, const std::string& line);
