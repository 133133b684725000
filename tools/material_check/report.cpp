#include "tools/material_check/report.h"

#include <cstdio>

namespace {

void PrintLine(const std::string& file, const char* kind, const std::string& text) {
    std::printf("%s: %s: %s\n", file.c_str(), kind, text.c_str());
}

} // namespace

void Error(Report& report, const std::string& file, const std::string& text) {
    ++report.errors;
    PrintLine(file, "error", text);
}

void Warning(Report& report, const std::string& file, const std::string& text) {
    ++report.warnings;
    PrintLine(file, "warning", text);
}

void Note(const std::string& file, const std::string& text) {
    PrintLine(file, "note", text);
}

void ErrorLine(Report& report, const std::string& line) {
    ++report.errors;
    std::printf("%s\n", line.c_str());
}
