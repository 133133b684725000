#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include <windows.h>

#include "app/windows_error.h"

namespace {

struct ChildRun {
    DWORD exitCode;
    std::string output;
};

std::string ChildPath() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string childPath(path, length);
    return childPath.substr(0, childPath.find_last_of("\\/") + 1) + "win_main_child.exe";
}

// The program's folder, as Windows sees it: the child runs there, where the
// material and the shaders are.
std::string GameFolder() {
    std::string path = GAME_OUTPUT_DIR;
    if (!path.empty() && path[0] == '/') {
        std::replace(path.begin(), path.end(), '/', '\\');
        path = "Z:" + path;
    }
    return path;
}

// Runs WinMain in a child process (see win_main_child.cpp) and collects what
// it reports; a child that does not end within 20 seconds is killed and fails.
ChildRun RunWinMain(const std::string& scenario) {
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
        ADD_FAILURE() << "no pipe";
        return {999, ""};
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process = {};
    std::string commandLine = "\"" + ChildPath() + "\" " + scenario;
    const BOOL started = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0,
                                        nullptr, GameFolder().c_str(), &startup, &process);
    CloseHandle(writeEnd);
    if (!started) {
        ADD_FAILURE() << "cannot start " << commandLine << ": " << GetLastWindowsErrorText();
        CloseHandle(readEnd);
        return {999, ""};
    }
    // Waited for before reading: a child that never ends never closes the
    // pipe. What it writes, a few short lines, fits in the pipe meanwhile.
    if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 998);
        ADD_FAILURE() << "WinMain did not end";
    }
    std::string output;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(readEnd, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        output.append(buffer, read);
    }
    // The child writes text lines; the texts it reports carry their own line
    // breaks escaped.
    output.erase(std::remove(output.begin(), output.end(), '\r'), output.end());
    DWORD exitCode = 999;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    CloseHandle(readEnd);
    return {exitCode, output};
}

bool Has(const std::string& output, const std::string& line) {
    return output.find(line + "\n") != std::string::npos;
}

std::string Box(const char* owner, const char* caption, const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        escaped += c == '\r'   ? std::string("\\r")
                   : c == '\n' ? std::string("\\n")
                               : std::string(1, c);
    }
    return std::string("box owner=") + owner + " caption=" + caption + " text=" + escaped;
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
