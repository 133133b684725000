#pragma once

#include <string>
#include <vector>

#include <windows.h>

#include "tests/support/import_patch.h"

// One call of MessageBoxA as the program made it.
struct CapturedMessageBox {
    HWND owner;
    std::string text;
    std::string caption; // "(null)" when the caption pointer was null
    UINT style;
};

// Replaces MessageBoxA while in scope: no box is ever shown, every call is
// recorded in `boxes`, and each call returns `answer` (IDOK unless the test
// answers a Yes/No question with IDYES or IDNO). One capture at a time.
//
//     MessageBoxCapture messageBoxes;
//     InitializeGraphics(nullptr);
//     ASSERT_EQ(1u, messageBoxes.boxes.size());
//     EXPECT_EQ("No D3D9 Interface", messageBoxes.boxes[0].caption);
class MessageBoxCapture {
public:
    MessageBoxCapture();
    ~MessageBoxCapture();
    MessageBoxCapture(const MessageBoxCapture&) = delete;
    MessageBoxCapture& operator=(const MessageBoxCapture&) = delete;

    std::vector<CapturedMessageBox> boxes;
    int answer = IDOK;

private:
    ImportPatch patch_;
};
