#include "tests/fuzz/fuzz_driver.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include <windows.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct FuzzRun {
    const FuzzTarget* target = nullptr;
    std::string saveDir = ".";
    double hangSeconds = 10;
    Clock::time_point start;
    long long executions = 0;
    long long accepted = 0;
    long long rejected = 0;
    // Read by the watchdog thread and the exception filter while the main
    // thread is inside the program.
    std::atomic<const FuzzBytes*> current{nullptr};
    std::atomic<long long> inputStartedMs{0}; // 0 between inputs
};

FuzzRun g_run;

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
               .count() +
           1;
}

void PrintSummary(int crashes, int hangs) {
    const double seconds = std::chrono::duration<double>(Clock::now() - g_run.start).count();
    std::printf("%s: executions %lld, accepted %lld, rejected %lld", g_run.target->name,
                g_run.executions, g_run.accepted, g_run.rejected);
    if (g_run.target->drawn != nullptr) {
        std::printf(", drawn %lld", *g_run.target->drawn);
    }
    std::printf(", crashes %d, hangs %d, seconds %.1f\n", crashes, hangs, seconds);
    std::fflush(stdout);
}

// Saves the input that was running and ends the process at once: after a
// fault or a hang, the program's state is not worth unwinding.
[[noreturn]] void EndWithFailure(const char* kind, const std::string& what) {
    const std::string path = g_run.saveDir + "/" + g_run.target->name + "-" + kind + "-" +
                             std::to_string(g_run.executions) + ".bin";
    if (const FuzzBytes* input = g_run.current.load()) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(input->data()),
                   static_cast<std::streamsize>(input->size()));
    }
    std::printf("%s: %s on input %lld (%s), saved as %s\n", g_run.target->name, kind,
                g_run.executions, what.c_str(), path.c_str());
    PrintSummary(std::strcmp(kind, "crash") == 0 ? 1 : 0, std::strcmp(kind, "hang") == 0 ? 1 : 0);
    ExitProcess(1);
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* exception) {
    char what[64];
    std::snprintf(what, sizeof(what), "exception 0x%08lX",
                  static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode));
    EndWithFailure("crash", what);
}

void WatchForHangs() {
    for (;;) {
        Sleep(100);
        const long long started = g_run.inputStartedMs.load();
        if (started != 0 && NowMs() - started > g_run.hangSeconds * 1000) {
            char what[64];
            std::snprintf(what, sizeof(what), "longer than %g s", g_run.hangSeconds);
            EndWithFailure("hang", what);
        }
    }
}

void RunOne(const FuzzBytes& input) {
    g_run.current = &input;
    g_run.inputStartedMs = NowMs();
    const bool accepted = g_run.target->run(input);
    g_run.inputStartedMs = 0;
    g_run.current = nullptr;
    ++g_run.executions;
    ++(accepted ? g_run.accepted : g_run.rejected);
}

void AddSeed(const fs::path& path, std::vector<FuzzBytes>& seeds) {
    std::ifstream file(path, std::ios::binary);
    seeds.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<FuzzBytes> ReadSeeds(const std::vector<fs::path>& paths) {
    std::vector<FuzzBytes> seeds;
    for (const fs::path& path : paths) {
        if (!fs::is_directory(path)) {
            AddSeed(path, seeds);
            continue;
        }
        std::vector<fs::path> files;
        for (const fs::directory_entry& entry : fs::directory_iterator(path)) {
            files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end()); // the same order on every run
        for (const fs::path& file : files) {
            AddSeed(file, seeds);
        }
    }
    return seeds;
}

bool ReadOption(const char* argument, const char* name, std::string& value) {
    const std::size_t length = std::strlen(name);
    if (std::strncmp(argument, name, length) != 0 || argument[length] != '=') {
        return false;
    }
    value = argument + length + 1;
    return true;
}

} // namespace

int RunFuzzer(const FuzzTarget& target, int argc, char** argv) {
    g_run.target = &target;
    unsigned seed = 1;
    long long runs = -1;
    double seconds = -1;
    std::vector<fs::path> seedPaths;
    for (int i = 1; i < argc; ++i) {
        std::string value;
        if (ReadOption(argv[i], "--seed", value)) {
            seed = static_cast<unsigned>(std::stoul(value));
        } else if (ReadOption(argv[i], "--runs", value)) {
            runs = std::stoll(value);
        } else if (ReadOption(argv[i], "--seconds", value)) {
            seconds = std::stod(value);
        } else if (ReadOption(argv[i], "--hang", value)) {
            g_run.hangSeconds = std::stod(value);
        } else if (ReadOption(argv[i], "--save", value)) {
            g_run.saveDir = value;
        } else {
            seedPaths.push_back(argv[i]);
        }
    }
    if (runs < 0 && seconds < 0) {
        runs = 1000;
    }
    const std::vector<FuzzBytes> seeds = ReadSeeds(seedPaths);
    if (seeds.empty()) {
        std::printf("%s: no seed inputs\n", target.name);
        return 1;
    }

    SetUnhandledExceptionFilter(OnUnhandledException);
    std::thread(WatchForHangs).detach();
    g_run.start = Clock::now();
    for (const FuzzBytes& input : seeds) {
        RunOne(input);
    }
    std::mt19937 random(seed);
    const auto deadline = g_run.start + std::chrono::duration_cast<Clock::duration>(
                                            std::chrono::duration<double>(seconds));
    for (long long mutated = 0;
         (runs < 0 || mutated < runs) && (seconds < 0 || Clock::now() < deadline); ++mutated) {
        const FuzzBytes& from = seeds[random() % seeds.size()];
        RunOne(target.mutate(from, random));
    }
    PrintSummary(0, 0);
    return 0;
}

void FailFuzzRun(const char* what) {
    EndWithFailure("failure", what);
}

void FlipRandomByte(FuzzBytes& bytes, std::mt19937& random) {
    if (!bytes.empty()) {
        bytes[random() % bytes.size()] ^= static_cast<unsigned char>(1u << (random() % 8));
    }
}

void CutShort(FuzzBytes& bytes, std::mt19937& random) {
    if (!bytes.empty()) {
        bytes.resize(random() % bytes.size());
    }
}
