#include <gtest/gtest.h>

#include "app/windows_error.h"

TEST(WindowsErrorText, KnownCodeKeepsTheSystemsLineBreak) {
    const std::string text = GetWindowsErrorText(ERROR_FILE_NOT_FOUND);
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ("\r\n", text.substr(text.size() - 2));
}

TEST(WindowsErrorText, UnknownCodeGivesTheFixedText) {
    EXPECT_EQ("Unknown Windows Error", GetWindowsErrorText(0x2FFFFFFF));
}

TEST(WindowsErrorText, LastErrorIsReadFirst) {
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetWindowsErrorText(ERROR_ACCESS_DENIED), GetLastWindowsErrorText());
}
