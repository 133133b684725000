// Shader files through the program's own loading on Wine's real device: the
// gate and, past it, the shader's creation, its constant table, the handle
// look-ups, what the frame sets through the tables and, for a share of the
// created shaders, a draw with both stages set. Each input is copied
// to end right before a no-access page, so any read past its end faults.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include <windows.h>
#include <d3dx9.h>

#include "bytecode/tokens.h"
#include "graphics/com_release.h"
#include "graphics/graphics_context.h"
#include "material/shader_steps.h"
#include "mesh/mesh.h"
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
    return ReadField<DWORD>(bytes.data(), at);
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
void SetTableRegisters(FuzzBytes& bytes, std::mt19937& random) {
    if (const size_t at = RandomConstant(bytes, random)) {
        const WORD registers[] = {0, 1, 4, 8, 9, 15, 16, 32, 224, 256, static_cast<WORD>(random())};
        SetWord(bytes, at + 4, static_cast<WORD>(random() % 5));
        SetWord(bytes, at + 6, registers[random() % 11]);
        SetWord(bytes, at + 8, registers[random() % 11]);
    }
}

DWORD TokenAt(const FuzzBytes& bytes, size_t at) {
    return DwordAt(bytes, 4 * at);
}

void SetToken(FuzzBytes& bytes, size_t at, DWORD token) {
    std::memcpy(&bytes[4 * at], &token, sizeof(token));
}

// Where each instruction's opcode token stands, then where the last one
// ends: the walk skips comments and goes by the opcode's length from 2.0 on,
// by the parameter tokens that follow before it.
std::vector<size_t> InstructionStarts(const FuzzBytes& bytes) {
    std::vector<size_t> starts;
    const size_t count = bytes.size() / 4;
    const bool lengthInOpcode = bytes.size() >= 2 && bytes[1] >= 2;
    size_t at = 1;
    while (at < count && TokenAt(bytes, at) != 0x0000FFFF) {
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
    starts.push_back(std::min(at, count));
    return starts;
}

// The token of a random instruction's opcode, 0 if none.
size_t RandomInstruction(const FuzzBytes& bytes, std::mt19937& random) {
    const std::vector<size_t> starts = InstructionStarts(bytes);
    return starts.size() < 2 ? 0 : starts[random() % (starts.size() - 1)];
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

// A register number at or around the ends of the versions' register counts
// (and the device's), or any the token can hold.
DWORD RegisterNumber(std::mt19937& random) {
    const DWORD numbers[] = {0,  1,  2,  3,  4,  5,  6,   7,   8,   9,   10,
                             11, 12, 15, 16, 31, 32, 223, 224, 255, 256, 2047};
    return random() % 8 ? numbers[random() % (sizeof(numbers) / sizeof(numbers[0]))]
                        : random() % 2048;
}

// An operand's register type (bits 28 to 30 and 11 to 12: one of the twenty
// Direct3D 9 names, or beyond) or its number, or both.
void SetRegister(FuzzBytes& bytes, std::mt19937& random) {
    if (const size_t at = RandomOperand(bytes, random)) {
        const DWORD token = TokenAt(bytes, at);
        const unsigned change = 1 + random() % 3; // 1: type, 2: number, 3: both
        const DWORD type = random() % 8 ? random() % 20 : random() % 32;
        const DWORD typeBits =
            (change & 1) ? (type & 7) << 28 | (type & 0x18) << 8 : token & 0x70001800;
        const DWORD number = (change & 2) ? RegisterNumber(random) : token & 0x7FF;
        SetToken(bytes, at, (token & ~0x70001FFFu) | typeBits | number);
    }
}

// The usage token of a dcl: any usage, usage index and texture type.
void SetDeclaration(FuzzBytes& bytes, std::mt19937& random) {
    const size_t at = RandomInstruction(bytes, random);
    if (at != 0 && (TokenAt(bytes, at) & 0xFFFF) == 0x1F && at + 1 < bytes.size() / 4) {
        SetToken(bytes, at + 1,
                 0x80000000 | random() % 16 | (random() % 16) << 16 | (random() % 8) << 27);
    }
}

// A pixel shader remade as ps_1_1 to ps_1_3 around a texture-matrix run: its
// pads, mostly as many as a run takes and sometimes hundreds, then mostly one
// of the instructions that close a run, whichever. The table comment stays.
void MakeMatrixRun(FuzzBytes& bytes, std::mt19937& random) {
    if (bytes.size() < 8 || bytes[3] != 0xFF) {
        return;
    }
    FuzzBytes shader(bytes.begin(), bytes.begin() + std::max<size_t>(4, TableEnd(bytes)));
    shader[0] = static_cast<unsigned char>(1 + random() % 3);
    shader[1] = 1;
    std::vector<DWORD> tokens = {0x42, 0xB00F0000}; // tex t0
    const bool threeRows = random() % 2 != 0;
    const size_t pads = random() % 4 ? (threeRows ? 2 : 1) + random() % 2 : random() % 1200;
    for (size_t i = 0; i < pads; ++i) {
        tokens.insert(tokens.end(), {threeRows ? 0x49u : 0x47u,
                                     static_cast<DWORD>(0xB00F0001u + i % 3), 0xB0E40000u});
    }
    const DWORD closers[] = {0x48, 0x54, 0x4A, 0x4C, 0x4D, 0x56};
    if (random() % 4) {
        const DWORD closer = closers[random() % 6];
        tokens.insert(tokens.end(), {closer, 0xB00F0003u, 0xB0E40000u});
        if (closer == 0x4C) {
            tokens.push_back(0xA0E40000); // texm3x3spec's eye vector, c0
        }
    }
    tokens.insert(tokens.end(), {0x01u, 0x800F0000u, 0xB0E40003u, 0x0000FFFFu}); // mov r0, t3
    const size_t at = shader.size();
    shader.resize(at + 4 * tokens.size());
    std::memcpy(&shader[at], tokens.data(), 4 * tokens.size());
    bytes = shader;
}

// A random instruction repeated up to and past the slots of its version.
void RepeatInstruction(FuzzBytes& bytes, std::mt19937& random) {
    const std::vector<size_t> starts = InstructionStarts(bytes);
    if (starts.size() < 2) {
        return;
    }
    const size_t which = random() % (starts.size() - 1);
    const size_t counts[] = {1, 3, 4, 7, 8, 63, 64, 95, 96, 127, 128, 255, 256, 511, 512};
    const size_t times = random() % 8 ? counts[random() % 15] : random() % 2000;
    const FuzzBytes instruction(bytes.begin() + 4 * starts[which],
                                bytes.begin() + 4 * starts[which + 1]);
    for (size_t i = 0; i < times; ++i) {
        bytes.insert(bytes.begin() + 4 * starts[which + 1], instruction.begin(), instruction.end());
    }
}

FuzzBytes Mutate(const FuzzBytes& seed, std::mt19937& random) {
    using Mutation = void (*)(FuzzBytes&, std::mt19937&);
    const Mutation mutations[] = {
        FlipTableByte, SetTableWord,   SetCommentLength, SetTypeRecord,    SetTableRegisters,
        CutShort,      SetOpcode,      SetLength,        FlipOperandBit,   RepeatOrDropOperand,
        SetRegister,   SetDeclaration, MakeMatrixRun,    RepeatInstruction};
    const size_t mutationCount = sizeof(mutations) / sizeof(mutations[0]);
    FuzzBytes bytes = seed;
    for (int count = 1 + random() % 3; count > 0; --count) {
        mutations[random() % mutationCount](bytes, random);
    }
    return bytes;
}

// What the frame does with the tables, and the fragment table's defaults,
// the only ones it restores.
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
    }
}

// The other stage's shader at the draw, one per shader model (Direct3D draws
// a 3_0 shader only with a 3_0 one of the other kind), and the vertex layout.
IDirect3DVertexShader9* g_vertexPartners[2];
IDirect3DPixelShader9* g_pixelPartners[2];
IDirect3DVertexDeclaration9* g_declaration;
IDirect3DQuery9* g_drawDone; // an event query: the draw has run
bool g_drawAll;              // --draw-all: every created shader, not one in four
long long g_created;
long long g_drawn;

ID3DXBuffer* Assembled(const char* source) {
    ID3DXBuffer* code = nullptr;
    D3DXAssembleShader(source, static_cast<UINT>(std::strlen(source)), nullptr, nullptr, 0, &code,
                       nullptr);
    return code;
}

bool CreatePartners() {
    const char* const vertexSources[] = {
        "vs_2_0\n dcl_position v0\n dcl_color v1\n mov oPos, v0\n mov oD0, v1\n",
        "vs_3_0\n dcl_position v0\n dcl_color v1\n dcl_position o0\n dcl_color o1\n"
        " mov o0, v0\n mov o1, v1\n"};
    const char* const pixelSources[] = {"ps_2_0\n dcl v0\n mov oC0, v0\n",
                                        "ps_3_0\n dcl_color v0\n mov oC0, v0\n"};
    IDirect3DDevice9* device = g_graphics.device;
    for (int model = 0; model < 2; ++model) {
        ID3DXBuffer* vertex = Assembled(vertexSources[model]);
        ID3DXBuffer* pixel = Assembled(pixelSources[model]);
        if (vertex != nullptr && pixel != nullptr) {
            device->CreateVertexShader(static_cast<const DWORD*>(vertex->GetBufferPointer()),
                                       &g_vertexPartners[model]);
            device->CreatePixelShader(static_cast<const DWORD*>(pixel->GetBufferPointer()),
                                      &g_pixelPartners[model]);
        }
        ReleaseAndClear(vertex);
        ReleaseAndClear(pixel);
    }
    device->CreateVertexDeclaration(vertexElements, &g_declaration);
    device->CreateQuery(D3DQUERYTYPE_EVENT, &g_drawDone);
    return g_vertexPartners[1] != nullptr && g_pixelPartners[1] != nullptr &&
           g_declaration != nullptr && g_drawDone != nullptr;
}

void ReleasePartners() {
    for (int model = 0; model < 2; ++model) {
        ReleaseAndClear(g_vertexPartners[model]);
        ReleaseAndClear(g_pixelPartners[model]);
    }
    ReleaseAndClear(g_declaration);
    ReleaseAndClear(g_drawDone);
}

// What the frame does after its constant calls: both shaders set and a
// triangle drawn. Wine's driver generates and compiles the pair here, so its
// generator sees every shape the check lets through.
void Draw(bool vertex, unsigned char major) {
    const Material& material = g_graphics.material;
    IDirect3DDevice9* device = g_graphics.device;
    const int model = major >= 3 ? 1 : 0;
    device->SetVertexShader(vertex ? material.vertexShaderObject : g_vertexPartners[model]);
    device->SetPixelShader(vertex ? g_pixelPartners[model] : material.fragmentShaderObject);
    device->SetVertexDeclaration(g_declaration);
    const Vertex triangle[3] = {{-1.0f, -1.0f, 0.5f, 0xFFFF0000},
                                {0.0f, 1.0f, 0.5f, 0xFF00FF00},
                                {1.0f, -1.0f, 0.5f, 0xFF0000FF}};
    device->BeginScene();
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof(Vertex));
    device->EndScene();
    // Wine draws on a thread of its own: waiting for the draw to have run
    // keeps a crash in its shader generator with the input that caused it.
    g_drawDone->Issue(D3DISSUE_END);
    while (g_drawDone->GetData(nullptr, 0, D3DGETDATA_FLUSH) == S_FALSE) {
    }
    device->SetVertexShader(nullptr);
    device->SetPixelShader(nullptr);
    ++g_drawn;
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
    // Drawing costs milliseconds: a share of the created shaders, or all.
    if (created && (g_drawAll || ++g_created % 4 == 0)) {
        Draw(vertex, input[1]);
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
        !CreateDevice(window) || !CreatePartners()) {
        std::fprintf(stderr, "shader_load: no guarded block, window, device or partner shaders\n");
        return 1;
    }
    g_graphics.window = window;
    // --draw-all is the target's own option; the driver takes the rest.
    std::vector<char*> arguments;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--draw-all") == 0) {
            g_drawAll = true;
        } else {
            arguments.push_back(argv[i]);
        }
    }
    const FuzzTarget target = {"shader_load", Mutate, Run, &g_drawn};
    const int status = RunFuzzer(target, static_cast<int>(arguments.size()), arguments.data());
    ReleasePartners();
    ShutDownGraphics();
    DestroyWindow(window);
    return status;
}
