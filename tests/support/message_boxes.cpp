#include "tests/support/message_boxes.h"

namespace {

MessageBoxCapture* g_capture;

int WINAPI CaptureMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    // A null text or caption is recorded rather than dereferenced, so the
    // test sees the fault instead of crashing.
    g_capture->boxes.push_back(
        {owner, text != nullptr ? text : "(null)", caption != nullptr ? caption : "(null)", style});
    return g_capture->answer;
}

} // namespace

MessageBoxCapture::MessageBoxCapture()
    : patch_("user32.dll", "MessageBoxA", reinterpret_cast<void*>(&CaptureMessageBox)) {
    g_capture = this;
}

MessageBoxCapture::~MessageBoxCapture() {
    g_capture = nullptr;
}
