#include "material/bytecode_check.h"

#include <windows.h>
#include <d3d9types.h>

namespace {

const DWORD vertexVersionKind = 0xFFFE;
const DWORD pixelVersionKind = 0xFFFF;
const DWORD endToken = 0x0000FFFF;
const DWORD parameterBit = 0x80000000;

bool IsVersionToken(DWORD token, ShaderKind kind) {
    const DWORD expectedKind = kind == ShaderKind::Vertex ? vertexVersionKind : pixelVersionKind;
    const DWORD major = D3DSHADER_VERSION_MAJOR(token);
    const DWORD minor = D3DSHADER_VERSION_MINOR(token);
    return (token >> 16) == expectedKind && major >= 1 && (major < 3 || (major == 3 && minor == 0));
}

// Tokens that follow an instruction's opcode token. From shader model 2.0 on
// the opcode token holds the count; before it, the parameters are the tokens
// with the top bit set, except def's four values, which may be any bits.
std::size_t InstructionLength(const DWORD* tokens, std::size_t at, std::size_t count,
                              bool lengthInOpcode) {
    if (lengthInOpcode) {
        return (tokens[at] & D3DSI_INSTLENGTH_MASK) >> D3DSI_INSTLENGTH_SHIFT;
    }
    if ((tokens[at] & D3DSI_OPCODE_MASK) == D3DSIO_DEF) {
        return 5;
    }
    std::size_t length = 0;
    while (at + 1 + length < count && (tokens[at + 1 + length] & parameterBit) != 0) {
        ++length;
    }
    return length;
}

} // namespace

bool IsShaderByteCode(const void* bytes, std::size_t size, ShaderKind kind) {
    if (bytes == nullptr || size % sizeof(DWORD) != 0 || size < 2 * sizeof(DWORD)) {
        return false;
    }
    const DWORD* tokens = static_cast<const DWORD*>(bytes);
    const std::size_t count = size / sizeof(DWORD);
    if (!IsVersionToken(tokens[0], kind)) {
        return false;
    }
    const bool lengthInOpcode = D3DSHADER_VERSION_MAJOR(tokens[0]) >= 2;
    for (std::size_t at = 1; at < count;) {
        const DWORD token = tokens[at];
        if (token == endToken) {
            return true;
        }
        if ((token & D3DSI_OPCODE_MASK) == D3DSIO_COMMENT) {
            at += 1 + ((token & D3DSI_COMMENTSIZE_MASK) >> D3DSI_COMMENTSIZE_SHIFT);
        } else if ((token & parameterBit) != 0) {
            return false; // a parameter where an instruction should start
        } else {
            at += 1 + InstructionLength(tokens, at, count, lengthInOpcode);
        }
    }
    // A comment or instruction that runs past the last token ends the walk
    // here too, without the end token having been met inside the bytes.
    return false;
}
