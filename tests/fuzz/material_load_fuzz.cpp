// Mutated material files through LoadMaterial: each must end within the time
// budget and a second or so (inside the driver's --hang), keep the process
// under the Lua memory cap, close its state with nothing left on the stack,
// and never crash. Boxes are captured; errors on the standard error stream are
// dropped.
#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <windows.h>

#include <psapi.h>

#include "graphics/graphics_context.h"
#include "lua.hpp"
#include "material/material_loader.h"
#include "material/material_reader.h"
#include "tests/fuzz/fuzz_driver.h"
#include "tests/support/message_boxes.h"

namespace {

// Leave room for the Lua state beyond what the process held before the run.
const SIZE_T memoryMargin = 16 * 1024 * 1024;
SIZE_T g_memoryLimit;
int g_statesClosed;

// Under Wine the peak working set is the resident high-water mark (VmHWM).
SIZE_T PeakMemory() {
    PROCESS_MEMORY_COUNTERS counters = {};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters.PeakWorkingSetSize;
}

const char* const extremeNumbers[] = {"1e308", "-1e308", "2^1024",           "0/0",
                                      "-0",    "1e-324", "9007199254740993", "0x7fffffffffffffff",
                                      "-2^63"};
const char* const extremeStrings[] = {"''",         "'\\0'",   "'\\255\\0\\n'",
                                      "[==[]]]==]", "'data/'", "'data/shaders/vertex.shader\\0x'"};
const char* const fragments[] = {"{",   "}",   ",",  "=",  "..",       "local", "return",
                                 "nil", "-",   "#",  "(",  ")",        "[",     "]",
                                 ";",   "...", "--", "\n", "function", "end"};
// Put first, where a statement always fits. The loop runs into the instruction
// budget (about a second under Wine), the doubling into the memory cap (about
// a tenth), the chains of "or" into the clock while Lua still parses them (the
// whole budget), and the comment to just below or past the size cap: they come
// rarely, so that a brief run stays brief. The doubling stops at 256 MiB, past
// the cap: were the cap gone, the run would fail on memory within seconds
// rather than exhaust the machine.
const char endlessLoop[] = "while true do end ";
const char doubling[] = "local s = 'x' for i = 1, 28 do s = s .. s end ";

std::string SlowToParse() {
    std::string chain = "local a = x";
    for (int term = 0; term < 40000; ++term) {
        chain += " or x";
    }
    return chain + " " + chain + " " + chain + " " + chain + " ";
}

std::string LongComment(std::mt19937& random) {
    return "--" + std::string(materialSizeCap - 8192 + random() % 16384, 'x') + "\n";
}

std::string RarePrefix(std::mt19937& random) {
    const unsigned roll = random() % 1000;
    if (roll == 0) {
        return endlessLoop;
    }
    if (roll <= 10) {
        return doubling;
    }
    if (roll == 11) {
        return SlowToParse();
    }
    return roll <= 13 ? LongComment(random) : "";
}

// Lua-ish tokens: names and numbers, quoted strings, runs of blanks, single
// other characters. Precise enough for a mutator.
std::vector<std::string> SplitTokens(const FuzzBytes& bytes) {
    std::vector<std::string> tokens;
    const std::string text(bytes.begin(), bytes.end());
    for (std::size_t start = 0, end = 0; start < text.size(); start = end) {
        const unsigned char first = text[start];
        end = start + 1;
        if (std::isalnum(first) || first == '_') {
            while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) ||
                                         text[end] == '_' || text[end] == '.')) {
                ++end;
            }
        } else if (first == '"' || first == '\'') {
            const std::size_t close = text.find(static_cast<char>(first), end);
            end = close == std::string::npos ? text.size() : close + 1;
        } else if (std::isspace(first)) {
            while (end < text.size() && std::isspace(static_cast<unsigned char>(text[end]))) {
                ++end;
            }
        }
        tokens.push_back(text.substr(start, end - start));
    }
    return tokens;
}

template <std::size_t N> const char* Pick(const char* const (&list)[N], std::mt19937& random) {
    return list[random() % N];
}

void MutateTokens(std::vector<std::string>& tokens, std::mt19937& random) {
    const std::size_t at = random() % tokens.size();
    std::string& token = tokens[at];
    switch (random() % 7) {
    case 0:
        token.clear();
        break;
    case 1:
        token += tokens[random() % tokens.size()];
        break;
    case 2:
        std::swap(token, tokens[random() % tokens.size()]);
        break;
    case 3:
        token = std::isdigit(static_cast<unsigned char>(token[0])) ? Pick(extremeNumbers, random)
                                                                   : Pick(fragments, random);
        break;
    case 4:
        token = token[0] == '"' || token[0] == '\'' ? Pick(extremeStrings, random) : "{}";
        break;
    case 5: {
        const std::size_t depth = random() % 300;
        token = std::string(depth, '{') + token + std::string(depth, '}');
        break;
    }
    default:
        token += Pick(fragments, random);
        break;
    }
}

FuzzBytes MutateMaterial(const FuzzBytes& seed, std::mt19937& random) {
    std::vector<std::string> tokens = SplitTokens(seed);
    for (unsigned count = 1 + random() % 4; count > 0 && !tokens.empty(); --count) {
        MutateTokens(tokens, random);
    }
    std::string text = RarePrefix(random);
    for (const std::string& token : tokens) {
        text += token;
    }
    FuzzBytes bytes(text.begin(), text.end());
    if (random() % 4 == 0) {
        FlipRandomByte(bytes, random);
    }
    if (random() % 8 == 0) {
        CutShort(bytes, random);
    }
    // Precompiled chunks are trusted assets (Lua 5.2 does not verify byte
    // code): no input may start one.
    std::replace(bytes.begin(), bytes.end(), static_cast<unsigned char>(LUA_SIGNATURE[0]),
                 static_cast<unsigned char>(' '));
    return bytes;
}

bool LoadMaterialFile(const FuzzBytes& input) {
    std::ofstream("data/material.material", std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(input.data()),
               static_cast<std::streamsize>(input.size()));
    const int closedBefore = g_statesClosed;
    MessageBoxCapture boxes;
    const bool loaded = LoadMaterial();
    if (g_statesClosed != closedBefore + 1) {
        FailFuzzRun("LoadMaterial did not close its Lua state");
    }
    if (PeakMemory() > g_memoryLimit) {
        FailFuzzRun("the process passed the Lua memory cap");
    }
    return loaded;
}

} // namespace

// The product's lua_close, reached through the linker's --wrap: the one
// place where the stack must be empty on every path.
extern "C" void __real_lua_close(lua_State* L);
extern "C" void __wrap_lua_close(lua_State* L) {
    if (lua_gettop(L) != 0) {
        FailFuzzRun("LoadMaterial left values on the Lua stack");
    }
    ++g_statesClosed;
    __real_lua_close(L);
}

// Run it from a scratch folder (ctest and scripts/fuzz.sh do): every input is
// written there as data/material.material, the file LoadMaterial reads.
int main(int argc, char** argv) {
    std::cerr.rdbuf(nullptr);
    // A Lua panic aborts: count it as a crash, with the input saved.
    std::signal(SIGABRT, [](int) { FailFuzzRun("the program aborted"); });
    CreateDirectoryA("data", nullptr);
    PROCESS_MEMORY_COUNTERS counters = {};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    g_memoryLimit = counters.WorkingSetSize + materialMemoryCap + memoryMargin;
    const FuzzTarget target = {"material_load", MutateMaterial, LoadMaterialFile};
    const int status = RunFuzzer(target, argc, argv);
    std::printf("material_load: peak memory %.1f MiB (limit %.1f MiB)\n", PeakMemory() / 1048576.0,
                g_memoryLimit / 1048576.0);
    return status;
}
