#include "tests/support/fake_device.h"

#include "tests/support/fake_direct3d.h"
#include "tests/support/fake_format.h"

namespace {

const char* Given(const void* pointer) {
    return pointer != nullptr ? "?" : "null";
}

UINT IndexSize(D3DFORMAT format) {
    return format == D3DFMT_INDEX32 ? 4 : 2;
}

UINT IndicesFor(D3DPRIMITIVETYPE type, UINT primitiveCount) {
    switch (type) {
    case D3DPT_LINELIST:
        return primitiveCount * 2;
    case D3DPT_LINESTRIP:
        return primitiveCount + 1;
    case D3DPT_TRIANGLELIST:
        return primitiveCount * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
        return primitiveCount + 2;
    default:
        return primitiveCount;
    }
}

} // namespace

FakeDevice::FakeDevice(FakeDirect3DScope& scope, const D3DDEVICE_CREATION_PARAMETERS& creation)
    : FakeCom(scope, "dev"), creation(creation) {}

// ---- Used by the program --------------------------------------------------

HRESULT FakeDevice::GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* parameters) {
    const HRESULT failure = Record("GetCreationParameters", "");
    if (FAILED(failure) || parameters == nullptr) {
        return Refused(failure);
    }
    *parameters = creation;
    return S_OK;
}

HRESULT FakeDevice::Present(const RECT* sourceRect, const RECT* destinationRect,
                            HWND destinationWindow, const RGNDATA* dirtyRegion) {
    return Record("Present", LogArguments(Given(sourceRect), Given(destinationRect),
                                          Given(destinationWindow), Given(dirtyRegion)));
}

HRESULT FakeDevice::Clear(DWORD rectCount, const D3DRECT* rects, DWORD flags, D3DCOLOR color,
                          float z, DWORD stencil) {
    return Record("Clear", LogArguments(rectCount, Given(rects), flags, Hex{color}, z, stencil));
}

HRESULT FakeDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                       IDirect3DVertexBuffer9** buffer, HANDLE* sharedHandle) {
    const HRESULT failure =
        Record("CreateVertexBuffer", LogArguments(length, Hex{usage}, fvf, pool));
    if (FAILED(failure) || buffer == nullptr || length == 0 || sharedHandle != nullptr) {
        return Refused(failure);
    }
    *buffer = scope_.Make(scope_.vertexBuffers, length, usage, fvf, pool)->com();
    return S_OK;
}

HRESULT FakeDevice::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                      IDirect3DIndexBuffer9** buffer, HANDLE* sharedHandle) {
    const HRESULT failure =
        Record("CreateIndexBuffer", LogArguments(length, Hex{usage}, format, pool));
    if (FAILED(failure) || buffer == nullptr || length == 0 || sharedHandle != nullptr) {
        return Refused(failure);
    }
    *buffer = scope_.Make(scope_.indexBuffers, length, usage, format, pool)->com();
    return S_OK;
}

HRESULT FakeDevice::CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                            IDirect3DVertexDeclaration9** result) {
    UINT count = 0;
    const D3DVERTEXELEMENT9 end = D3DDECL_END();
    while (elements != nullptr && count < MAXD3DDECLLENGTH &&
           elements[count].Stream != end.Stream) {
        ++count;
    }
    const HRESULT failure = Record("CreateVertexDeclaration", LogArguments(count) + " elements");
    if (FAILED(failure) || elements == nullptr || result == nullptr ||
        elements[count].Stream != end.Stream) {
        return Refused(failure);
    }
    *result = scope_.Make(scope_.declarations, elements)->com();
    return S_OK;
}

HRESULT FakeDevice::SetVertexDeclaration(IDirect3DVertexDeclaration9* newDeclaration) {
    declaration = newDeclaration;
    return Record("SetVertexDeclaration", scope_.NameOf(newDeclaration));
}

HRESULT FakeDevice::SetFVF(DWORD fvf) {
    return Record("SetFVF", LogArguments(Hex{fvf}));
}

HRESULT FakeDevice::CreateVertexShader(const DWORD* byteCode, IDirect3DVertexShader9** shader) {
    const HRESULT failure = Record("CreateVertexShader", byteCode != nullptr ? "code" : "null");
    if (FAILED(failure) || byteCode == nullptr || shader == nullptr) {
        return Refused(failure);
    }
    *shader = scope_.Make(scope_.vertexShaders, "vs", byteCode)->com();
    return S_OK;
}

HRESULT FakeDevice::SetVertexShader(IDirect3DVertexShader9* shader) {
    vertexShader = shader;
    return Record("SetVertexShader", scope_.NameOf(shader));
}

HRESULT FakeDevice::CreatePixelShader(const DWORD* byteCode, IDirect3DPixelShader9** shader) {
    const HRESULT failure = Record("CreatePixelShader", byteCode != nullptr ? "code" : "null");
    if (FAILED(failure) || byteCode == nullptr || shader == nullptr) {
        return Refused(failure);
    }
    *shader = scope_.Make(scope_.pixelShaders, "ps", byteCode)->com();
    return S_OK;
}

HRESULT FakeDevice::SetPixelShader(IDirect3DPixelShader9* shader) {
    pixelShader = shader;
    return Record("SetPixelShader", scope_.NameOf(shader));
}

HRESULT FakeDevice::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
                                    UINT stride) {
    if (stream == 0) {
        streamSource = buffer;
        streamOffset = offset;
        streamStride = stride;
    }
    return Record("SetStreamSource", LogArguments(stream, scope_.NameOf(buffer), offset, stride));
}

HRESULT FakeDevice::SetIndices(IDirect3DIndexBuffer9* buffer) {
    indices = buffer;
    return Record("SetIndices", scope_.NameOf(buffer));
}

HRESULT FakeDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
    return Record("DrawPrimitive", LogArguments(type, startVertex, primitiveCount));
}

// A draw is checked the way the debug runtime would: everything it reads is
// bound, alive and large enough. A bad draw counts in invalidDraws.
HRESULT FakeDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex,
                                         UINT minVertexIndex, UINT vertexCount, UINT startIndex,
                                         UINT primitiveCount) {
    const HRESULT failure =
        Record("DrawIndexedPrimitive", LogArguments(type, baseVertexIndex, minVertexIndex,
                                                    vertexCount, startIndex, primitiveCount));
    if (FAILED(failure)) {
        return failure;
    }
    const FakeObject* boundDeclaration = scope_.Find(declaration);
    const auto* vertices = static_cast<FakeVertexBuffer*>(scope_.Find(streamSource));
    const auto* indexBuffer = static_cast<FakeIndexBuffer*>(scope_.Find(indices));
    bool valid = boundDeclaration != nullptr && !boundDeclaration->released() &&
                 vertices != nullptr && !vertices->released() && indexBuffer != nullptr &&
                 !indexBuffer->released() && baseVertexIndex >= 0;
    if (valid) {
        const unsigned long long indexBytes =
            (static_cast<unsigned long long>(startIndex) + IndicesFor(type, primitiveCount)) *
            IndexSize(indexBuffer->format);
        const unsigned long long vertexBytes =
            streamOffset +
            (static_cast<unsigned long long>(baseVertexIndex) + minVertexIndex + vertexCount) *
                streamStride;
        valid = indexBytes <= indexBuffer->length() && vertexBytes <= vertices->length();
    }
    if (!valid) {
        ++scope_.invalidDraws;
        return D3DERR_INVALIDCALL;
    }
    return S_OK;
}

HRESULT FakeDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    return Record("SetRenderState", LogArguments(state, value));
}

HRESULT FakeDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    return Record("SetTransform", LogArguments(state, Given(matrix)));
}

HRESULT FakeDevice::Reset(D3DPRESENT_PARAMETERS* parameters) {
    return Record("Reset", Given(parameters));
}

// ---- Not used by the program: recorded, no effect -------------------------

UINT FakeDevice::GetAvailableTextureMem() {
    Record("GetAvailableTextureMem", "");
    return 64u << 20;
}
void FakeDevice::SetCursorPosition(int, int, DWORD) {
    Record("SetCursorPosition", "");
}
WINBOOL FakeDevice::ShowCursor(WINBOOL) {
    Record("ShowCursor", "");
    return FALSE;
}
UINT FakeDevice::GetNumberOfSwapChains() {
    Record("GetNumberOfSwapChains", "");
    return 1;
}
void FakeDevice::SetGammaRamp(UINT, DWORD, const D3DGAMMARAMP*) {
    Record("SetGammaRamp", "");
}
void FakeDevice::GetGammaRamp(UINT, D3DGAMMARAMP*) {
    Record("GetGammaRamp", "");
}
WINBOOL FakeDevice::GetSoftwareVertexProcessing() {
    Record("GetSoftwareVertexProcessing", "");
    return FALSE;
}
float FakeDevice::GetNPatchMode() {
    Record("GetNPatchMode", "");
    return 0.0f;
}
HRESULT FakeDevice::SetVertexShaderConstantF(UINT start, const float*, UINT count) {
    return Record("SetVertexShaderConstantF", LogArguments(start, count));
}
HRESULT FakeDevice::SetPixelShaderConstantF(UINT start, const float*, UINT count) {
    return Record("SetPixelShaderConstantF", LogArguments(start, count));
}
