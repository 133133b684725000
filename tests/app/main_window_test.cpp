#include <string>

#include <gtest/gtest.h>

#include "app/main_window.h"
#include "app/windows_error.h"
#include "tests/app/shell_fixture.h"
#include "tests/support/message_boxes.h"
#include "tests/support/win32_fakes.h"

namespace {

std::string WithErrorText(const char* text, DWORD error) {
    return text + GetWindowsErrorText(error);
}

void ExpectShellBox(const CapturedMessageBox& box, const std::string& text,
                    const std::string& caption) {
    EXPECT_EQ(nullptr, box.owner);
    EXPECT_EQ(text, box.text);
    EXPECT_EQ(caption, box.caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), box.style);
}

} // namespace

using MainWindowClass = ShellTest;

TEST_F(MainWindowClass, RegistersTheClassTheWindowIsMadeOf) {
    const ATOM atom = RegisterMainWindowClass(Instance());
    ASSERT_NE(0, atom);

    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    ASSERT_TRUE(GetClassInfoExA(Instance(), mainWindowClass, &windowClass));
    EXPECT_EQ(0u, windowClass.style);
    EXPECT_EQ(&MainWindowProcedure, windowClass.lpfnWndProc);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(2)), windowClass.hbrBackground);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), windowClass.hCursor);
    EXPECT_EQ(nullptr, windowClass.lpszMenuName);
}

// A second registration is refused by the system itself, so the box carries
// the system's own text for that error.
TEST_F(MainWindowClass, SecondRegistrationShowsTheSystemsReason) {
    ASSERT_NE(0, RegisterMainWindowClass(Instance()));
    MessageBoxCapture messageBoxes;

    EXPECT_EQ(0, RegisterMainWindowClass(Instance()));

    ASSERT_EQ(1u, messageBoxes.boxes.size());
    ExpectShellBox(messageBoxes.boxes[0],
                   WithErrorText("Windows failed to register the main window's class: ",
                                 ERROR_CLASS_ALREADY_EXISTS),
                   "No Main Window Class");
}

TEST_F(MainWindowClass, FailedRegistrationShowsItsBox) {
    MessageBoxCapture messageBoxes;
    FailingCall failing("RegisterClassExA", ERROR_NOT_ENOUGH_MEMORY);

    EXPECT_EQ(0, RegisterMainWindowClass(Instance()));

    ASSERT_EQ(1u, messageBoxes.boxes.size());
    ExpectShellBox(messageBoxes.boxes[0],
                   WithErrorText("Windows failed to register the main window's class: ",
                                 ERROR_NOT_ENOUGH_MEMORY),
                   "No Main Window Class");
}

// Unregistering while the window exists is refused by the system.
TEST_F(MainWindowClass, FailedUnregistrationShowsTheSystemsReason) {
    ASSERT_NE(nullptr, OpenMainWindow());
    MessageBoxCapture messageBoxes;

    EXPECT_FALSE(UnregisterMainWindowClass(Instance()));

    ASSERT_EQ(1u, messageBoxes.boxes.size());
    ExpectShellBox(messageBoxes.boxes[0],
                   WithErrorText("Windows failed to unregister the main window's class: ",
                                 ERROR_CLASS_HAS_WINDOWS),
                   "Couldn't Unregister Main Window Class");
}

TEST_F(MainWindowClass, UnregistersAfterTheWindowIsGone) {
    ASSERT_NE(nullptr, OpenMainWindow());
    ASSERT_TRUE(DestroyMainWindow());
    MessageBoxCapture messageBoxes;

    EXPECT_TRUE(UnregisterMainWindowClass(Instance()));

    EXPECT_TRUE(messageBoxes.boxes.empty());
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    EXPECT_FALSE(GetClassInfoExA(Instance(), mainWindowClass, &windowClass));
}

using MainWindowCreation = ShellTest;

// The border is measured on the real window, so the client area is exact
// whatever the window manager's metrics, and the window stays where the
// system placed it.
TEST_F(MainWindowCreation, ClientAreaIsExactly800By600) {
    MessageBoxCapture messageBoxes;
    const HWND window = OpenMainWindow();
    ASSERT_NE(nullptr, window);

    RECT client;
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(800, client.right - client.left);
    EXPECT_EQ(600, client.bottom - client.top);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_TRUE(messageBoxes.boxes.empty());

    char title[64] = {};
    GetWindowTextA(window, title, sizeof(title));
    EXPECT_STREQ("Ovik's TLN4070 Game", title);
}

TEST_F(MainWindowCreation, CanBeMinimisedButNotResizedOrMaximised) {
    const HWND window = OpenMainWindow();
    ASSERT_NE(nullptr, window);

    const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    const LONG_PTR extendedStyle = GetWindowLongPtrA(window, GWL_EXSTYLE);
    EXPECT_EQ(WS_EX_OVERLAPPEDWINDOW, extendedStyle & WS_EX_OVERLAPPEDWINDOW);
}

TEST_F(MainWindowCreation, FailedCreationShowsItsBox) {
    ASSERT_NE(0, RegisterMainWindowClass(Instance()));
    MessageBoxCapture messageBoxes;
    FailingCall failing("CreateWindowExA", ERROR_NOT_ENOUGH_MEMORY);

    EXPECT_EQ(nullptr, CreateMainWindow(Instance(), SW_SHOWNORMAL));

    ASSERT_EQ(1u, messageBoxes.boxes.size());
    ExpectShellBox(
        messageBoxes.boxes[0],
        WithErrorText("Windows failed to create the main window: ", ERROR_NOT_ENOUGH_MEMORY),
        "No Main Window");
}

struct SizingFailure {
    const char* function;
    const char* text;
};

class MainWindowSizing : public ShellTest, public ::testing::WithParamInterface<SizingFailure> {};

// A window that could not be sized is destroyed again: its destruction
// leaves the quit message with code 0 in the queue, and the system's
// default caption is used.
TEST_P(MainWindowSizing, FailureDestroysTheWindowAndLeavesAQuit) {
    ASSERT_NE(0, RegisterMainWindowClass(Instance()));
    MessageBoxCapture messageBoxes;
    HWND destroyed = nullptr;
    {
        FailingCall failing(GetParam().function, ERROR_INVALID_WINDOW_HANDLE);
        EXPECT_EQ(nullptr, CreateMainWindow(Instance(), SW_SHOWNORMAL));
        EXPECT_EQ(1, failing.calls());
        destroyed = FindOwnMainWindow();
    }

    ASSERT_EQ(1u, messageBoxes.boxes.size());
    ExpectShellBox(messageBoxes.boxes[0],
                   WithErrorText(GetParam().text, ERROR_INVALID_WINDOW_HANDLE), "(null)");
    EXPECT_EQ(nullptr, destroyed);
    WPARAM quitCode = 99;
    EXPECT_EQ(1, DrainMessages(&quitCode));
    EXPECT_EQ(0u, quitCode);
}

INSTANTIATE_TEST_SUITE_P(
    EachMeasuringStep, MainWindowSizing,
    ::testing::Values(
        SizingFailure{"GetWindowRect",
                      "Windows failed to get the coordinates of the main window: "},
        SizingFailure{"GetClientRect",
                      "Windows failed to get the dimensions of the main window's client area: "},
        SizingFailure{"MoveWindow", "Windows failed to resize the main window: "}),
    [](const ::testing::TestParamInfo<SizingFailure>& info) {
        return std::string(info.param.function);
    });

TEST_F(MainWindowCreation, WindowThatCannotBeDestroyedAfterAFailureIsReportedToo) {
    ASSERT_NE(0, RegisterMainWindowClass(Instance()));
    MessageBoxCapture messageBoxes;
    {
        FailingCall failingMove("MoveWindow", ERROR_INVALID_WINDOW_HANDLE);
        FailingCall failingDestroy("DestroyWindow", ERROR_ACCESS_DENIED);
        EXPECT_EQ(nullptr, CreateMainWindow(Instance(), SW_SHOWNORMAL));
        EXPECT_EQ(1, failingDestroy.calls());
    }

    ASSERT_EQ(2u, messageBoxes.boxes.size());
    ExpectShellBox(messageBoxes.boxes[1],
                   WithErrorText("Windows failed to destroy the main window after an error in "
                                 "creation: ",
                                 ERROR_ACCESS_DENIED),
                   "(null)");
    // The window survives; the fixture destroys it.
    g_mainWindow = FindOwnMainWindow();
    EXPECT_NE(nullptr, g_mainWindow);
}

using MainWindowDestruction = ShellTest;

TEST_F(MainWindowDestruction, NothingToDestroyCallsNoSystem) {
    MessageBoxCapture messageBoxes;
    FailingCall failing("DestroyWindow", ERROR_ACCESS_DENIED);

    EXPECT_TRUE(DestroyMainWindow());

    EXPECT_EQ(0, failing.calls());
    EXPECT_TRUE(messageBoxes.boxes.empty());
}

TEST_F(MainWindowDestruction, DestroysClearsAndPostsQuitZero) {
    const HWND window = OpenMainWindow();
    ASSERT_NE(nullptr, window);

    EXPECT_TRUE(DestroyMainWindow());

    EXPECT_EQ(nullptr, g_mainWindow);
    EXPECT_FALSE(IsWindow(window));
    WPARAM quitCode = 99;
    EXPECT_EQ(1, DrainMessages(&quitCode));
    EXPECT_EQ(0u, quitCode);
}

TEST_F(MainWindowDestruction, FailureIsReportedAndKeepsTheHandle) {
    const HWND window = OpenMainWindow();
    ASSERT_NE(nullptr, window);
    MessageBoxCapture messageBoxes;
    FailingCall failing("DestroyWindow", ERROR_ACCESS_DENIED);

    EXPECT_FALSE(DestroyMainWindow());

    EXPECT_EQ(window, g_mainWindow);
    ASSERT_EQ(1u, messageBoxes.boxes.size());
    ExpectShellBox(
        messageBoxes.boxes[0],
        WithErrorText("Windows failed to destroy the main window: ", ERROR_ACCESS_DENIED),
        "Couldn't Destroy Main Window");
}

using MainWindowProcedureTest = ShellTest;

TEST_F(MainWindowProcedureTest, EscapeAnsweredNoChangesNothingAndAsksAgain) {
    const HWND window = OpenMainWindow();
    ASSERT_NE(nullptr, window);
    MessageBoxCapture messageBoxes;
    messageBoxes.answer = IDNO;

    SendMessageA(window, WM_CHAR, VK_ESCAPE, 0);
    SendMessageA(window, WM_CHAR, VK_ESCAPE, 0);

    ASSERT_EQ(2u, messageBoxes.boxes.size());
    for (const CapturedMessageBox& box : messageBoxes.boxes) {
        EXPECT_EQ(window, box.owner);
        EXPECT_EQ("Are you sure you want to quit?", box.text);
        EXPECT_EQ("Exit Program?", box.caption);
        EXPECT_EQ(0x24u, box.style);
    }
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(window, g_mainWindow);
    EXPECT_EQ(0, DrainMessages());
}

// Yes only posts the quit message; the window is destroyed by the shutdown.
TEST_F(MainWindowProcedureTest, EscapeAnsweredYesPostsQuitOne) {
    const HWND window = OpenMainWindow();
    ASSERT_NE(nullptr, window);
    MessageBoxCapture messageBoxes;
    messageBoxes.answer = IDYES;

    EXPECT_EQ(0, SendMessageA(window, WM_CHAR, VK_ESCAPE, 0));

    EXPECT_EQ(1u, messageBoxes.boxes.size());
    EXPECT_TRUE(IsWindow(window));
    WPARAM quitCode = 99;
    EXPECT_EQ(1, DrainMessages(&quitCode));
    EXPECT_EQ(1u, quitCode);
}

// A failed box answers 0, which is not Yes.
TEST_F(MainWindowProcedureTest, AFailedQuestionCountsAsNo) {
    const HWND window = OpenMainWindow();
    ASSERT_NE(nullptr, window);
    MessageBoxCapture messageBoxes;
    messageBoxes.answer = 0;

    SendMessageA(window, WM_CHAR, VK_ESCAPE, 0);

    EXPECT_EQ(1u, messageBoxes.boxes.size());
    EXPECT_EQ(0, DrainMessages());
}

TEST_F(MainWindowProcedureTest, OtherCharactersAskNothing) {
    const HWND window = OpenMainWindow();
    ASSERT_NE(nullptr, window);
    MessageBoxCapture messageBoxes;
    messageBoxes.answer = IDYES;

    for (const WPARAM character :
         {WPARAM('y'), WPARAM('q'), WPARAM('\r'), WPARAM(26), WPARAM(28), WPARAM(27 + 256)}) {
        SendMessageA(window, WM_CHAR, character, 0);
    }

    EXPECT_TRUE(messageBoxes.boxes.empty());
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(0, DrainMessages());
}

TEST_F(MainWindowProcedureTest, CloseDestroysWithoutAQuestion) {
    const HWND window = OpenMainWindow();
    ASSERT_NE(nullptr, window);
    MessageBoxCapture messageBoxes;

    SendMessageA(window, WM_CLOSE, 0, 0);

    EXPECT_TRUE(messageBoxes.boxes.empty());
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(nullptr, g_mainWindow);
    WPARAM quitCode = 99;
    EXPECT_EQ(1, DrainMessages(&quitCode));
    EXPECT_EQ(0u, quitCode);
}
