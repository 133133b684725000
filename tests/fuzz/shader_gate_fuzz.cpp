// The shader gate on any bytes, as both kinds of shader. libFuzzer drives it
// natively with AddressSanitizer, which sees a read past the input's end.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "bytecode/bytecode_check.h"

namespace {

unsigned long long g_executions;
unsigned long long g_accepted; // as either kind

// libFuzzer counts executions but cannot know which inputs the gate let in.
void PrintCounts() {
    std::printf("shader_gate: executions %llu, accepted %llu, rejected %llu\n", g_executions,
                g_accepted, g_executions - g_accepted);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::atexit(PrintCounts);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const bool vertex = IsShaderByteCode(data, size, ShaderKind::Vertex, leastDeviceLimits);
    const bool fragment = IsShaderByteCode(data, size, ShaderKind::Fragment, leastDeviceLimits);
    ++g_executions;
    g_accepted += vertex || fragment ? 1 : 0;
    return 0;
}
