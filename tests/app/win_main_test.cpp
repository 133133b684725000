#include <string>

#include <gtest/gtest.h>

#include <windows.h>

#include "app/windows_error.h"
#include "tests/support/child_process.h"

namespace {

std::string ChildPath() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string childPath(path, length);
    return childPath.substr(0, childPath.find_last_of("\\/") + 1) + "win_main_child.exe";
}

// Runs WinMain in a child process (see win_main_child.cpp) in the program's
// folder, where the material and the shaders are, and collects what it
// reports.
ChildRun RunWinMain(const std::string& scenario) {
    return RunChild("\"" + ChildPath() + "\" " + scenario, WindowsPath(GAME_OUTPUT_DIR).c_str());
}

bool Has(const std::string& output, const std::string& line) {
    return output.find(line + "\n") != std::string::npos;
}

std::string Box(const char* owner, const char* caption, const std::string& text) {
    return std::string("box owner=") + owner + " caption=" + caption +
           " text=" + EscapeLineBreaks(text);
}

int CountBoxes(const std::string& output) {
    int boxes = 0;
    for (size_t at = output.find("box "); at != std::string::npos;
         at = output.find("box ", at + 1)) {
        ++boxes;
    }
    return boxes;
}

} // namespace

// A renderer that cannot start ends the process at once with 0: no loop, no
// shutdown, the window left standing for the system to reclaim.
TEST(WinMainStartUp, NoInterfaceEndsWithZeroAndLeavesTheWindow) {
    const ChildRun run = RunWinMain("no-interface");

    EXPECT_EQ(0u, run.exitCode);
    EXPECT_FALSE(Has(run.output, "WinMain returned 0")) << run.output;
    EXPECT_EQ(1, CountBoxes(run.output)) << run.output;
    EXPECT_TRUE(Has(run.output, Box("main", "No D3D9 Interface",
                                    "DirectX failed to create a Direct3D9 interface")))
        << run.output;
    EXPECT_TRUE(Has(run.output, "window exists")) << run.output;
    EXPECT_TRUE(Has(run.output, "class registered")) << run.output;
}

TEST(WinMainStartUp, NoDeviceEndsWithZeroAfterReleasingTheInterface) {
    const ChildRun run = RunWinMain("no-device");

    EXPECT_EQ(0u, run.exitCode);
    EXPECT_FALSE(Has(run.output, "WinMain returned 0")) << run.output;
    EXPECT_EQ(1, CountBoxes(run.output)) << run.output;
    EXPECT_TRUE(Has(run.output,
                    Box("main", "No D3D9 Device", "DirectX failed to create a Direct3D9 device")))
        << run.output;
    EXPECT_TRUE(Has(run.output, "device for a window")) << run.output;
    EXPECT_TRUE(Has(run.output, "d3d d3d#1.Release() -> 0")) << run.output;
    EXPECT_TRUE(Has(run.output, "window exists")) << run.output;
}

// Without a class no window is attempted and nothing is unregistered; the
// renderer is still started, for a null window, and its failure ends it. This
// runs on the real Direct3D, which must fail for the null window too.
TEST(WinMainStartUp, NoClassGoesOnWithANullWindowAndEnds) {
    const ChildRun run = RunWinMain("no-class");

    EXPECT_EQ(0u, run.exitCode);
    EXPECT_FALSE(Has(run.output, "WinMain returned 0")) << run.output;
    EXPECT_EQ(2, CountBoxes(run.output)) << run.output;
    EXPECT_TRUE(Has(run.output, Box("null", "No Main Window Class",
                                    "Windows failed to register the main window's class: " +
                                        GetWindowsErrorText(ERROR_NOT_ENOUGH_MEMORY))))
        << run.output;
    EXPECT_TRUE(Has(run.output,
                    Box("null", "No D3D9 Device", "DirectX failed to create a Direct3D9 device")))
        << run.output;
    EXPECT_TRUE(Has(run.output, "CreateWindowExA calls 0")) << run.output;
}

TEST(WinMainStartUp, NoWindowUnregistersTheClassAndGoesOnWithANullWindow) {
    const ChildRun run = RunWinMain("no-window");

    EXPECT_EQ(0u, run.exitCode);
    EXPECT_FALSE(Has(run.output, "WinMain returned 0")) << run.output;
    EXPECT_EQ(2, CountBoxes(run.output)) << run.output;
    EXPECT_TRUE(Has(run.output, Box("null", "No Main Window",
                                    "Windows failed to create the main window: " +
                                        GetWindowsErrorText(ERROR_NOT_ENOUGH_MEMORY))))
        << run.output;
    EXPECT_TRUE(Has(run.output,
                    Box("null", "No D3D9 Device", "DirectX failed to create a Direct3D9 device")))
        << run.output;
    EXPECT_TRUE(Has(run.output, "class unregistered")) << run.output;
    EXPECT_EQ(std::string::npos, run.output.find("device for")) << run.output;
}

// The whole road: start-up, the loop until the quit code 1, shutdown, and
// WinMain's result as the exit code.
TEST(WinMainStartUp, QuitCodeBecomesTheResultAfterAFullShutdown) {
    const ChildRun run = RunWinMain("quit-one");

    EXPECT_EQ(1u, run.exitCode);
    EXPECT_TRUE(Has(run.output, "WinMain returned 1")) << run.output;
    EXPECT_EQ(0, CountBoxes(run.output)) << run.output;
    EXPECT_TRUE(Has(run.output, "window gone")) << run.output;
    EXPECT_TRUE(Has(run.output, "class unregistered")) << run.output;
    EXPECT_TRUE(Has(run.output, "d3d Release() -> 0")) << run.output;
    EXPECT_TRUE(Has(run.output, "d3d d3d#1.Release() -> 0")) << run.output;
}
