// The shader gate on any bytes, as both kinds of shader. libFuzzer drives it
// natively with AddressSanitizer, which sees a read past the input's end.
#include <cstddef>
#include <cstdint>

#include "material/bytecode_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    IsShaderByteCode(data, size, ShaderKind::Vertex);
    IsShaderByteCode(data, size, ShaderKind::Fragment);
    return 0;
}
