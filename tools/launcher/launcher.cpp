// Starts a Windows program, waits for it and reports its exit code. Seen from
// Linux, the exit status of a Wine GUI program is not always right and its
// standard error can be lost; this console program passes both through.
#include <cstdio>
#include <string>

#include <windows.h>

namespace {

// Quotes one argument the way the runtime's command-line parser reads it.
std::string Quote(const char* argument) {
    std::string quoted = "\"";
    for (const char* c = argument; *c != '\0'; ++c) {
        if (*c == '"') {
            quoted += '\\';
        }
        quoted += *c;
    }
    return quoted + "\"";
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: launcher PROGRAM [ARGUMENT...]\n");
        return 2;
    }
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        commandLine += (i > 1 ? " " : "") + Quote(argv[i]);
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::fprintf(stderr, "launcher: cannot start %s (error %lu)\n", argv[1], GetLastError());
        return 2;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::printf("exit code %lu\n", exitCode);
    std::fflush(stdout);
    return static_cast<int>(exitCode);
}
