// Shader files through the program's own loading on Wine's real device: the
// gate and, past it, the shader's creation, its constant table, the handle
// look-ups and what the frame sets through the tables. Each input is copied
// to end right before a no-access page, so any read past its end faults.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include <windows.h>
#include <d3dx9.h>

#include "graphics/graphics_context.h"
#include "tests/fuzz/fuzz_driver.h"
#include "tests/support/message_boxes.h"

namespace {

const SIZE_T capacity = 1 << 20; // far above any shader; mutations grow one by a few bytes
unsigned char* g_guarded;        // capacity bytes, then the no-access page
MessageBoxCapture* g_messageBoxes;

bool AllocateGuardedBytes() {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    g_guarded = static_cast<unsigned char*>(VirtualAlloc(nullptr, capacity + system.dwPageSize,
                                                         MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD previous = 0;
    return g_guarded != nullptr &&
           VirtualProtect(g_guarded + capacity, system.dwPageSize, PAGE_NOACCESS, &previous);
}

// The constant table comment of the seeds that have one is token 1, and its
// table runs from byte 12 to the comment's end.
bool HasTableComment(const FuzzBytes& bytes) {
    return bytes.size() >= 12 && bytes[4] == 0xFE && bytes[5] == 0xFF &&
           std::memcmp(&bytes[8], "CTAB", 4) == 0;
}

size_t TableEnd(const FuzzBytes& bytes) {
    if (!HasTableComment(bytes)) {
        return 0;
    }
    const size_t length = bytes[6] | (bytes[7] & 0x7F) << 8;
    return std::min(bytes.size(), 8 + 4 * length);
}

void FlipTableByte(FuzzBytes& bytes, std::mt19937& random) {
    const size_t end = TableEnd(bytes);
    if (end > 12) {
        bytes[12 + random() % (end - 12)] ^= static_cast<unsigned char>(1 + random() % 255);
    }
}

// A count or an offset, at or around the table's bounds or anywhere.
void SetTableWord(FuzzBytes& bytes, std::mt19937& random) {
    const size_t end = TableEnd(bytes);
    if (end < 16) {
        return;
    }
    const DWORD size = static_cast<DWORD>(end - 12);
    const DWORD values[] = {0,         size - 4,   size - 1,   size,
                            size + 16, 0x7FFFFFFF, 0xFFFFFFFF, static_cast<DWORD>(random())};
    const DWORD value = values[random() % (sizeof(values) / sizeof(values[0]))];
    std::memcpy(&bytes[12 + random() % ((end - 12) / 4) * 4], &value, sizeof(value));
}

// The comment length: bits 16 to 30 of token 1, moved a little or anywhere.
void SetCommentLength(FuzzBytes& bytes, std::mt19937& random) {
    if (!HasTableComment(bytes)) {
        return;
    }
    const unsigned length = (bytes[6] | (bytes[7] & 0x7F) << 8) + random() % 9 - 4;
    const unsigned value = random() % 2 ? length : static_cast<unsigned>(random());
    bytes[6] = static_cast<unsigned char>(value);
    bytes[7] = static_cast<unsigned char>((bytes[7] & 0x80) | ((value >> 8) & 0x7F));
}

DWORD DwordAt(const FuzzBytes& bytes, size_t at) {
    DWORD value;
    std::memcpy(&value, &bytes[at], sizeof(value));
    return value;
}

void SetWord(FuzzBytes& bytes, size_t at, WORD value) {
    std::memcpy(&bytes[at], &value, sizeof(value));
}

// The byte of a random constant record of the table, or of its type record
// (or of a member's type, one level down); 0 if it is not inside the table.
size_t RandomConstant(const FuzzBytes& bytes, std::mt19937& random) {
    const size_t end = TableEnd(bytes);
    if (end < 12 + 28 || DwordAt(bytes, 24) == 0) {
        return 0;
    }
    const unsigned long long at = 12ull + DwordAt(bytes, 28) + random() % DwordAt(bytes, 24) * 20;
    return at + 20 <= end ? static_cast<size_t>(at) : 0;
}

size_t RandomType(const FuzzBytes& bytes, std::mt19937& random) {
    const size_t end = TableEnd(bytes);
    const size_t constant = RandomConstant(bytes, random);
    unsigned long long type = constant != 0 ? 12ull + DwordAt(bytes, constant + 12) : end;
    const WORD members = type + 16 <= end ? bytes[type + 10] | bytes[type + 11] << 8 : 0;
    if (members != 0 && random() % 2) {
        const unsigned long long member =
            12ull + DwordAt(bytes, type + 12) + random() % members * 8;
        type = member + 8 <= end ? 12ull + DwordAt(bytes, member + 4) : end;
    }
    return type + 16 <= end ? static_cast<size_t>(type) : 0;
}

// Class, type, rows, columns, elements and members of a type record changed
// together: a numeric shape at and past 1 to 4, a structure of one row or
// none, or any values.
void SetTypeRecord(FuzzBytes& bytes, std::mt19937& random) {
    const size_t at = RandomType(bytes, random);
    if (at == 0) {
        return;
    }
    const WORD sizes[] = {0, 1, 3, 4, 5, 16, 0xFFFF, static_cast<WORD>(random())};
    const WORD typeClass = static_cast<WORD>(random() % 7);
    const bool structure = typeClass == 5;
    SetWord(bytes, at, typeClass);
    SetWord(bytes, at + 2, static_cast<WORD>(structure ? 0 : random() % 4 ? 3 : random() % 21));
    SetWord(bytes, at + 4, structure ? static_cast<WORD>(random() % 2) : sizes[random() % 8]);
    if (!structure || random() % 2) {
        SetWord(bytes, at + 6, sizes[random() % 8]);
    }
    SetWord(bytes, at + 8, sizes[random() % 4]);
    if (random() % 4 == 0) {
        SetWord(bytes, at + 10, static_cast<WORD>(random() % 3));
    }
}

// A constant's register set, index and count around each set's last register.
void SetRegisters(FuzzBytes& bytes, std::mt19937& random) {
    if (const size_t at = RandomConstant(bytes, random)) {
        const WORD registers[] = {0, 1, 4, 8, 9, 15, 16, 32, 224, 256, static_cast<WORD>(random())};
        SetWord(bytes, at + 4, static_cast<WORD>(random() % 5));
        SetWord(bytes, at + 6, registers[random() % 11]);
        SetWord(bytes, at + 8, registers[random() % 11]);
    }
}

DWORD TokenAt(const FuzzBytes& bytes, size_t at) {
    DWORD token;
    std::memcpy(&token, &bytes[4 * at], sizeof(token));
    return token;
}

void SetToken(FuzzBytes& bytes, size_t at, DWORD token) {
    std::memcpy(&bytes[4 * at], &token, sizeof(token));
}

// The token of a random instruction's opcode, 0 if none: the walk skips
// comments and goes by the opcode's length from 2.0 on, by the parameter
// tokens that follow before it.
size_t RandomInstruction(const FuzzBytes& bytes, std::mt19937& random) {
    std::vector<size_t> starts;
    const size_t count = bytes.size() / 4;
    const bool lengthInOpcode = bytes.size() >= 2 && bytes[1] >= 2;
    for (size_t at = 1; at < count && TokenAt(bytes, at) != 0x0000FFFF;) {
        const DWORD token = TokenAt(bytes, at);
        if ((token & 0xFFFF) == 0xFFFE) {
            at += 1 + ((token >> 16) & 0x7FFF);
            continue;
        }
        starts.push_back(at++);
        at += lengthInOpcode ? (token >> 24) & 0x0F : 0;
        while (!lengthInOpcode && at < count && (TokenAt(bytes, at) & 0x80000000) != 0) {
            ++at;
        }
    }
    return starts.empty() ? 0 : starts[random() % starts.size()];
}

// Mostly an opcode some version defines, keeping the control bits.
void SetOpcode(FuzzBytes& bytes, std::mt19937& random) {
    if (const size_t at = RandomInstruction(bytes, random)) {
        const DWORD opcode = random() % 8 ? random() % 0x61 : random() & 0xFFFF;
        SetToken(bytes, at, (TokenAt(bytes, at) & 0xFFFF0000) | opcode);
    }
}

// The length field (bits 24 to 27) set anywhere, or the predicate bit flipped.
void SetLength(FuzzBytes& bytes, std::mt19937& random) {
    if (const size_t at = RandomInstruction(bytes, random)) {
        const DWORD token = TokenAt(bytes, at);
        SetToken(bytes, at,
                 random() % 4 ? (token & 0xF0FFFFFF) | (random() % 16) << 24 : token ^ 0x10000000);
    }
}

// One of the four tokens after a random instruction's opcode, 0 if none.
size_t RandomOperand(const FuzzBytes& bytes, std::mt19937& random) {
    const size_t at = RandomInstruction(bytes, random);
    const size_t operand = at + 1 + random() % 4;
    return at != 0 && operand < bytes.size() / 4 ? operand : 0;
}

// An operand's parameter bit, relative bit, register type bits or any bit.
void FlipOperandBit(FuzzBytes& bytes, std::mt19937& random) {
    const unsigned bits[] = {31, 13, 28, 29, 30, 11, 12, static_cast<unsigned>(random() % 32)};
    if (const size_t at = RandomOperand(bytes, random)) {
        SetToken(bytes, at, TokenAt(bytes, at) ^ 1u << bits[random() % 8]);
    }
}

// An operand token repeated or dropped: room for a relative address or a
// predicate, or one too few.
void RepeatOrDropOperand(FuzzBytes& bytes, std::mt19937& random) {
    if (const size_t at = RandomOperand(bytes, random)) {
        const auto token = bytes.begin() + 4 * at;
        if (random() % 2) {
            bytes.insert(token, token, token + 4);
        } else {
            bytes.erase(token, token + 4);
        }
    }
}

FuzzBytes Mutate(const FuzzBytes& seed, std::mt19937& random) {
    using Mutation = void (*)(FuzzBytes&, std::mt19937&);
    const Mutation mutations[] = {
        FlipTableByte, SetTableWord, SetCommentLength, SetTypeRecord,  SetRegisters,
        CutShort,      SetOpcode,    SetLength,        FlipOperandBit, RepeatOrDropOperand};
    const size_t mutationCount = sizeof(mutations) / sizeof(mutations[0]);
    FuzzBytes bytes = seed;
    for (int count = 1 + random() % 3; count > 0; --count) {
        mutations[random() % mutationCount](bytes, random);
    }
    return bytes;
}

// What the frame does with the tables, and the defaults of both.
void UseTables() {
    const Material& material = g_graphics.material;
    IDirect3DDevice9* device = g_graphics.device;
    if (ID3DXConstantTable* table = material.fragmentConstantTable) {
        const float modifier[3] = {0.5f, 0.5f, 0.5f};
        table->SetFloatArray(device, material.colorModifierHandle, modifier, 3);
        table->SetDefaults(device);
    }
    if (ID3DXConstantTable* table = material.vertexConstantTable) {
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        table->SetMatrix(device, material.worldToViewHandle, &identity);
        table->SetMatrix(device, material.viewToScreenHandle, &identity);
        table->SetMatrix(device, material.modelToWorldHandle, &identity);
        table->SetDefaults(device);
    }
}

bool Run(const FuzzBytes& input) {
    if (input.size() > capacity) {
        FailFuzzRun("input larger than the guarded block");
    }
    unsigned char* bytes = g_guarded + capacity - input.size();
    std::memcpy(bytes, input.data(), input.size());
    const DWORD size = static_cast<DWORD>(input.size());
    const bool vertex = input.size() >= 4 && input[2] == 0xFE && input[3] == 0xFF;
    g_messageBoxes->boxes.clear();
    const bool created =
        vertex ? CreateVertexShaderFrom(bytes, size) : CreateFragmentShaderFrom(bytes, size);
    UseTables();
    if (g_messageBoxes->boxes.size() != (created ? 0u : 1u)) {
        FailFuzzRun("a failed shader shows one box, a created one none");
    }
    g_graphics.material.ReleaseObjects();
    g_graphics.material = Material{};
    return created;
}

} // namespace

int main(int argc, char** argv) {
    MessageBoxCapture messageBoxes;
    g_messageBoxes = &messageBoxes;
    const HWND window = CreateWindowExA(0, "STATIC", "shader load fuzz", WS_OVERLAPPEDWINDOW, 0, 0,
                                        800, 600, nullptr, nullptr, nullptr, nullptr);
    g_graphics.direct3D = Direct3DCreate9(D3D_SDK_VERSION);
    if (!AllocateGuardedBytes() || window == nullptr || g_graphics.direct3D == nullptr ||
        !CreateDevice(window)) {
        std::fprintf(stderr, "shader_load: no guarded block, window or device\n");
        return 1;
    }
    g_graphics.window = window;
    const int status = RunFuzzer({"shader_load", Mutate, Run}, argc, argv);
    ShutDownGraphics();
    DestroyWindow(window);
    return status;
}
