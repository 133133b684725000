#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/application.h"
#include "app/main_window.h"
#include "app/windows_error.h"
#include "graphics/graphics_context.h"
#include "tests/app/shell_fixture.h"
#include "tests/support/fake_direct3d.h"
#include "tests/support/import_patch.h"
#include "tests/support/message_boxes.h"
#include "tests/support/win32_fakes.h"

namespace {

// The loop's traffic with the message queue, written into the Direct3D call
// log so that it interleaves with the frames' Present calls.
std::vector<std::string>* g_trace;
void* g_realPeekMessage;
void* g_realTranslateMessage;
void* g_realDispatchMessage;
int g_peeks;
int g_quitAtPeek; // posts a quit message just before this peek (1-based)

std::string MessageName(UINT message) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%04x", message);
    return text;
}

BOOL WINAPI TracingPeekMessage(MSG* message, HWND window, UINT first, UINT last, UINT remove) {
    if (++g_peeks == g_quitAtPeek) {
        PostQuitMessage(5);
    }
    const BOOL removed = reinterpret_cast<decltype(&PeekMessageA)>(g_realPeekMessage)(
        message, window, first, last, remove);
    const bool plain = window == nullptr && first == 0 && last == 0 && remove == PM_REMOVE;
    g_trace->push_back(std::string(plain ? "peek " : "peek with other arguments ") +
                       (removed ? MessageName(message->message) : "none"));
    return removed;
}

BOOL WINAPI TracingTranslateMessage(const MSG* message) {
    g_trace->push_back("translate " + MessageName(message->message));
    return reinterpret_cast<decltype(&TranslateMessage)>(g_realTranslateMessage)(message);
}

LRESULT WINAPI TracingDispatchMessage(const MSG* message) {
    g_trace->push_back("dispatch " + MessageName(message->message));
    return reinterpret_cast<decltype(&DispatchMessageA)>(g_realDispatchMessage)(message);
}

// A fake device, as after start-up, so that every frame ends in a Present.
class LoopTest : public ShellTest {
protected:
    // The tracing replacements must work before the fixture's own clean-up
    // reads the queue.
    LoopTest() {
        g_trace = &d3d.log;
        g_peeks = 0;
        g_quitAtPeek = 0;
        g_realPeekMessage = peek.original();
        g_realTranslateMessage = translate.original();
        g_realDispatchMessage = dispatch.original();
    }

    void SetUp() override {
        ShellTest::SetUp();
        g_peeks = 0;
        g_graphics.direct3D = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_TRUE(CreateDevice(FakeWindow()));
        d3d.log.clear();
    }

    // The trace with every frame shortened to "frame".
    std::vector<std::string> Passes() const {
        std::vector<std::string> passes;
        for (const std::string& entry : d3d.log) {
            if (entry.compare(0, 8, "Present(") == 0) {
                passes.push_back("frame");
            } else if (entry.compare(0, 5, "peek ") == 0 ||
                       entry.compare(0, 10, "translate ") == 0 ||
                       entry.compare(0, 9, "dispatch ") == 0) {
                passes.push_back(entry);
            }
        }
        return passes;
    }

    FakeDirect3DScope d3d;
    FakeKeyboard keyboard;
    ImportPatch peek{"user32.dll", "PeekMessageA", reinterpret_cast<void*>(&TracingPeekMessage)};
    ImportPatch translate{"user32.dll", "TranslateMessage",
                          reinterpret_cast<void*>(&TracingTranslateMessage)};
    ImportPatch dispatch{"user32.dll", "DispatchMessageA",
                         reinterpret_cast<void*>(&TracingDispatchMessage)};
};

} // namespace

// ---- The loop: one frame, then at most one message -------------------------

TEST_F(LoopTest, AFrameComesBeforeTheFirstMessage) {
    PostQuitMessage(7);

    RunMainLoop();

    EXPECT_EQ(
        (std::vector<std::string>{"frame", "peek 0x0012", "translate 0x0012", "dispatch 0x0012"}),
        Passes());
    EXPECT_EQ(7, g_exitCode);
}

TEST_F(LoopTest, TenWaitingMessagesTakeTenFrames) {
    for (UINT i = 0; i < 10; ++i) {
        PostThreadMessageA(GetCurrentThreadId(), WM_APP + i, 0, 0);
    }
    PostQuitMessage(3);

    RunMainLoop();

    std::vector<std::string> expected;
    for (UINT i = 0; i <= 10; ++i) {
        const std::string message = MessageName(i < 10 ? WM_APP + i : WM_QUIT);
        expected.insert(expected.end(), {"frame", "peek " + message, "translate " + message,
                                         "dispatch " + message});
    }
    EXPECT_EQ(expected, Passes());
    EXPECT_EQ(3, g_exitCode);
}

// With nothing waiting the loop keeps drawing instead of waiting.
TEST_F(LoopTest, AnEmptyQueueNeverStopsTheFrames) {
    g_quitAtPeek = 4;

    RunMainLoop();

    EXPECT_EQ(
        (std::vector<std::string>{"frame", "peek none", "frame", "peek none", "frame", "peek none",
                                  "frame", "peek 0x0012", "translate 0x0012", "dispatch 0x0012"}),
        Passes());
    EXPECT_EQ(5, g_exitCode);
}

// ---- How the program ends: exit codes and shutdown -------------------------

using ExitTest = LoopTest;

// Escape arrives as a key press that the loop must translate into the
// Escape character; Yes ends the loop with 1 while the window still stands,
// and the window's destruction at shutdown does not change the code.
TEST_F(ExitTest, EscapeThenYesEndsWithOne) {
    const HWND window = OpenMainWindow();
    ASSERT_NE(nullptr, window);
    MessageBoxCapture messageBoxes;
    messageBoxes.answer = IDYES;
    PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0x00010001);

    RunMainLoop();

    EXPECT_EQ(1, g_exitCode);
    ASSERT_EQ(1u, messageBoxes.boxes.size());
    EXPECT_EQ(window, messageBoxes.boxes[0].owner);
    EXPECT_TRUE(IsWindow(window));

    EXPECT_EQ(1, ShutDownApplication(Instance()));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(1u, messageBoxes.boxes.size());
}

TEST_F(ExitTest, EscapeThenNoKeepsRunning) {
    const HWND window = OpenMainWindow();
    ASSERT_NE(nullptr, window);
    MessageBoxCapture messageBoxes;
    messageBoxes.answer = IDNO;
    PostMessageA(window, WM_CHAR, VK_ESCAPE, 0);
    PostMessageA(window, WM_CHAR, VK_ESCAPE, 0);
    g_quitAtPeek = 20;

    RunMainLoop();

    EXPECT_EQ(2u, messageBoxes.boxes.size());
    EXPECT_EQ(5, g_exitCode); // the test's own quit, nothing earlier
    EXPECT_TRUE(IsWindow(window));
}

// A close by the system destroys the window inside the loop; shutdown then
// has no window to destroy, unregisters the class and releases the device
// before the interface.
TEST_F(ExitTest, CloseEndsWithZeroAndAFullShutdown) {
    const HWND window = OpenMainWindow();
    ASSERT_NE(nullptr, window);
    MessageBoxCapture messageBoxes;
    PostMessageA(window, WM_CLOSE, 0, 0);

    RunMainLoop();
    EXPECT_EQ(0, g_exitCode);
    EXPECT_EQ(nullptr, g_mainWindow);
    d3d.log.clear();
    int destroyCalls = 0;
    {
        FailingCall failingDestroy("DestroyWindow", ERROR_ACCESS_DENIED);
        EXPECT_EQ(0, ShutDownApplication(Instance()));
        destroyCalls = failingDestroy.calls();
    }

    EXPECT_EQ(0, destroyCalls);
    EXPECT_TRUE(messageBoxes.boxes.empty());
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    EXPECT_FALSE(GetClassInfoExA(Instance(), mainWindowClass, &windowClass));
    EXPECT_EQ((std::vector<std::string>{"Release() -> 0", "d3d#1.Release() -> 0"}), d3d.log);
    EXPECT_EQ(nullptr, g_graphics.device);
    EXPECT_EQ(nullptr, g_graphics.direct3D);
}

// A window that cannot be destroyed may still be presented into, so the
// renderer is left alone; the class unregistration is still attempted and
// fails because the window stands.
TEST_F(ExitTest, UndestroyableWindowLeavesTheRendererAlone) {
    const HWND window = OpenMainWindow();
    ASSERT_NE(nullptr, window);
    MessageBoxCapture messageBoxes;
    g_exitCode = 1;
    {
        FailingCall failingDestroy("DestroyWindow", ERROR_ACCESS_DENIED);
        EXPECT_EQ(1, ShutDownApplication(Instance()));
    }

    ASSERT_EQ(2u, messageBoxes.boxes.size());
    EXPECT_EQ("Couldn't Destroy Main Window", messageBoxes.boxes[0].caption);
    EXPECT_EQ("Windows failed to unregister the main window's class: " +
                  GetWindowsErrorText(ERROR_CLASS_HAS_WINDOWS),
              messageBoxes.boxes[1].text);
    EXPECT_FALSE(d3d.device()->released());
    EXPECT_FALSE(d3d.interfaces[0]->released());
    EXPECT_EQ(window, g_mainWindow);
}

TEST_F(ExitTest, ClassThatCannotBeUnregisteredLeavesTheRendererAlone) {
    const HWND window = OpenMainWindow();
    ASSERT_NE(nullptr, window);
    MessageBoxCapture messageBoxes;
    g_exitCode = 1;
    {
        FailingCall failingUnregister("UnregisterClassA", ERROR_ACCESS_DENIED);
        EXPECT_EQ(1, ShutDownApplication(Instance()));
    }

    EXPECT_FALSE(IsWindow(window));
    ASSERT_EQ(1u, messageBoxes.boxes.size());
    EXPECT_EQ("Couldn't Unregister Main Window Class", messageBoxes.boxes[0].caption);
    EXPECT_FALSE(d3d.device()->released());
    EXPECT_FALSE(d3d.interfaces[0]->released());
}
