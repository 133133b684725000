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

HRESULT FakeDevice::BeginScene() {
    return Record("BeginScene", "");
}

HRESULT FakeDevice::EndScene() {
    return Record("EndScene", "");
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

HRESULT FakeDevice::TestCooperativeLevel() {
    return Record("TestCooperativeLevel", "");
}

// ---- Not used by the program: recorded, no effect -------------------------

UINT FakeDevice::GetAvailableTextureMem() {
    Record("GetAvailableTextureMem", "");
    return 64u << 20;
}
HRESULT FakeDevice::EvictManagedResources() {
    return Record("EvictManagedResources", "");
}
HRESULT FakeDevice::GetDeviceCaps(D3DCAPS9*) {
    return Refused(Record("GetDeviceCaps", ""));
}
HRESULT FakeDevice::GetDisplayMode(UINT, D3DDISPLAYMODE*) {
    return Refused(Record("GetDisplayMode", ""));
}
HRESULT FakeDevice::SetCursorProperties(UINT, UINT, IDirect3DSurface9*) {
    return Record("SetCursorProperties", "");
}
void FakeDevice::SetCursorPosition(int, int, DWORD) {
    Record("SetCursorPosition", "");
}
WINBOOL FakeDevice::ShowCursor(WINBOOL) {
    Record("ShowCursor", "");
    return FALSE;
}
HRESULT FakeDevice::CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS*, IDirect3DSwapChain9**) {
    return Refused(Record("CreateAdditionalSwapChain", ""));
}
HRESULT FakeDevice::GetSwapChain(UINT, IDirect3DSwapChain9**) {
    return Refused(Record("GetSwapChain", ""));
}
UINT FakeDevice::GetNumberOfSwapChains() {
    Record("GetNumberOfSwapChains", "");
    return 1;
}
HRESULT FakeDevice::GetBackBuffer(UINT, UINT, D3DBACKBUFFER_TYPE, IDirect3DSurface9**) {
    return Refused(Record("GetBackBuffer", ""));
}
HRESULT FakeDevice::GetRasterStatus(UINT, D3DRASTER_STATUS*) {
    return Refused(Record("GetRasterStatus", ""));
}
HRESULT FakeDevice::SetDialogBoxMode(WINBOOL) {
    return Record("SetDialogBoxMode", "");
}
void FakeDevice::SetGammaRamp(UINT, DWORD, const D3DGAMMARAMP*) {
    Record("SetGammaRamp", "");
}
void FakeDevice::GetGammaRamp(UINT, D3DGAMMARAMP*) {
    Record("GetGammaRamp", "");
}
HRESULT FakeDevice::CreateTexture(UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DTexture9**,
                                  HANDLE*) {
    return Refused(Record("CreateTexture", ""));
}
HRESULT FakeDevice::CreateVolumeTexture(UINT, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL,
                                        IDirect3DVolumeTexture9**, HANDLE*) {
    return Refused(Record("CreateVolumeTexture", ""));
}
HRESULT FakeDevice::CreateCubeTexture(UINT, UINT, DWORD, D3DFORMAT, D3DPOOL,
                                      IDirect3DCubeTexture9**, HANDLE*) {
    return Refused(Record("CreateCubeTexture", ""));
}
HRESULT FakeDevice::CreateRenderTarget(UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, DWORD, WINBOOL,
                                       IDirect3DSurface9**, HANDLE*) {
    return Refused(Record("CreateRenderTarget", ""));
}
HRESULT FakeDevice::CreateDepthStencilSurface(UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, DWORD,
                                              WINBOOL, IDirect3DSurface9**, HANDLE*) {
    return Refused(Record("CreateDepthStencilSurface", ""));
}
HRESULT FakeDevice::UpdateSurface(IDirect3DSurface9*, const RECT*, IDirect3DSurface9*,
                                  const POINT*) {
    return Refused(Record("UpdateSurface", ""));
}
HRESULT FakeDevice::UpdateTexture(IDirect3DBaseTexture9*, IDirect3DBaseTexture9*) {
    return Refused(Record("UpdateTexture", ""));
}
HRESULT FakeDevice::GetRenderTargetData(IDirect3DSurface9*, IDirect3DSurface9*) {
    return Refused(Record("GetRenderTargetData", ""));
}
HRESULT FakeDevice::GetFrontBufferData(UINT, IDirect3DSurface9*) {
    return Refused(Record("GetFrontBufferData", ""));
}
HRESULT FakeDevice::StretchRect(IDirect3DSurface9*, const RECT*, IDirect3DSurface9*, const RECT*,
                                D3DTEXTUREFILTERTYPE) {
    return Refused(Record("StretchRect", ""));
}
HRESULT FakeDevice::ColorFill(IDirect3DSurface9*, const RECT*, D3DCOLOR) {
    return Refused(Record("ColorFill", ""));
}
HRESULT FakeDevice::CreateOffscreenPlainSurface(UINT, UINT, D3DFORMAT, D3DPOOL, IDirect3DSurface9**,
                                                HANDLE*) {
    return Refused(Record("CreateOffscreenPlainSurface", ""));
}
HRESULT FakeDevice::SetRenderTarget(DWORD, IDirect3DSurface9*) {
    return Record("SetRenderTarget", "");
}
HRESULT FakeDevice::GetRenderTarget(DWORD, IDirect3DSurface9**) {
    return Refused(Record("GetRenderTarget", ""));
}
HRESULT FakeDevice::SetDepthStencilSurface(IDirect3DSurface9*) {
    return Record("SetDepthStencilSurface", "");
}
HRESULT FakeDevice::GetDepthStencilSurface(IDirect3DSurface9**) {
    return Refused(Record("GetDepthStencilSurface", ""));
}
HRESULT FakeDevice::GetTransform(D3DTRANSFORMSTATETYPE, D3DMATRIX*) {
    return Refused(Record("GetTransform", ""));
}
HRESULT FakeDevice::MultiplyTransform(D3DTRANSFORMSTATETYPE, const D3DMATRIX*) {
    return Record("MultiplyTransform", "");
}
HRESULT FakeDevice::SetViewport(const D3DVIEWPORT9*) {
    return Record("SetViewport", "");
}
HRESULT FakeDevice::GetViewport(D3DVIEWPORT9*) {
    return Refused(Record("GetViewport", ""));
}
HRESULT FakeDevice::SetMaterial(const D3DMATERIAL9*) {
    return Record("SetMaterial", "");
}
HRESULT FakeDevice::GetMaterial(D3DMATERIAL9*) {
    return Refused(Record("GetMaterial", ""));
}
HRESULT FakeDevice::SetLight(DWORD, const D3DLIGHT9*) {
    return Record("SetLight", "");
}
HRESULT FakeDevice::GetLight(DWORD, D3DLIGHT9*) {
    return Refused(Record("GetLight", ""));
}
HRESULT FakeDevice::LightEnable(DWORD, WINBOOL) {
    return Record("LightEnable", "");
}
HRESULT FakeDevice::GetLightEnable(DWORD, WINBOOL*) {
    return Refused(Record("GetLightEnable", ""));
}
HRESULT FakeDevice::SetClipPlane(DWORD, const float*) {
    return Record("SetClipPlane", "");
}
HRESULT FakeDevice::GetClipPlane(DWORD, float*) {
    return Refused(Record("GetClipPlane", ""));
}
HRESULT FakeDevice::GetRenderState(D3DRENDERSTATETYPE, DWORD*) {
    return Refused(Record("GetRenderState", ""));
}
HRESULT FakeDevice::CreateStateBlock(D3DSTATEBLOCKTYPE, IDirect3DStateBlock9**) {
    return Refused(Record("CreateStateBlock", ""));
}
HRESULT FakeDevice::BeginStateBlock() {
    return Record("BeginStateBlock", "");
}
HRESULT FakeDevice::EndStateBlock(IDirect3DStateBlock9**) {
    return Refused(Record("EndStateBlock", ""));
}
HRESULT FakeDevice::SetClipStatus(const D3DCLIPSTATUS9*) {
    return Record("SetClipStatus", "");
}
HRESULT FakeDevice::GetClipStatus(D3DCLIPSTATUS9*) {
    return Refused(Record("GetClipStatus", ""));
}
HRESULT FakeDevice::GetTexture(DWORD, IDirect3DBaseTexture9**) {
    return Refused(Record("GetTexture", ""));
}
HRESULT FakeDevice::SetTexture(DWORD, IDirect3DBaseTexture9*) {
    return Record("SetTexture", "");
}
HRESULT FakeDevice::GetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD*) {
    return Refused(Record("GetTextureStageState", ""));
}
HRESULT FakeDevice::SetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD) {
    return Record("SetTextureStageState", "");
}
HRESULT FakeDevice::GetSamplerState(DWORD, D3DSAMPLERSTATETYPE, DWORD*) {
    return Refused(Record("GetSamplerState", ""));
}
HRESULT FakeDevice::SetSamplerState(DWORD, D3DSAMPLERSTATETYPE, DWORD) {
    return Record("SetSamplerState", "");
}
HRESULT FakeDevice::ValidateDevice(DWORD*) {
    return Refused(Record("ValidateDevice", ""));
}
HRESULT FakeDevice::SetPaletteEntries(UINT, const PALETTEENTRY*) {
    return Record("SetPaletteEntries", "");
}
HRESULT FakeDevice::GetPaletteEntries(UINT, PALETTEENTRY*) {
    return Refused(Record("GetPaletteEntries", ""));
}
HRESULT FakeDevice::SetCurrentTexturePalette(UINT) {
    return Record("SetCurrentTexturePalette", "");
}
HRESULT FakeDevice::GetCurrentTexturePalette(UINT*) {
    return Refused(Record("GetCurrentTexturePalette", ""));
}
HRESULT FakeDevice::SetScissorRect(const RECT*) {
    return Record("SetScissorRect", "");
}
HRESULT FakeDevice::GetScissorRect(RECT*) {
    return Refused(Record("GetScissorRect", ""));
}
HRESULT FakeDevice::SetSoftwareVertexProcessing(WINBOOL) {
    return Record("SetSoftwareVertexProcessing", "");
}
WINBOOL FakeDevice::GetSoftwareVertexProcessing() {
    Record("GetSoftwareVertexProcessing", "");
    return FALSE;
}
HRESULT FakeDevice::SetNPatchMode(float) {
    return Record("SetNPatchMode", "");
}
float FakeDevice::GetNPatchMode() {
    Record("GetNPatchMode", "");
    return 0.0f;
}
HRESULT FakeDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE, UINT, const void*, UINT) {
    return Record("DrawPrimitiveUP", "");
}
HRESULT FakeDevice::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE, UINT, UINT, UINT, const void*,
                                           D3DFORMAT, const void*, UINT) {
    return Record("DrawIndexedPrimitiveUP", "");
}
HRESULT FakeDevice::ProcessVertices(UINT, UINT, UINT, IDirect3DVertexBuffer9*,
                                    IDirect3DVertexDeclaration9*, DWORD) {
    return Refused(Record("ProcessVertices", ""));
}
HRESULT FakeDevice::GetDirect3D(IDirect3D9**) {
    return Refused(Record("GetDirect3D", ""));
}
HRESULT FakeDevice::GetVertexDeclaration(IDirect3DVertexDeclaration9**) {
    return Refused(Record("GetVertexDeclaration", ""));
}
HRESULT FakeDevice::GetVertexShader(IDirect3DVertexShader9**) {
    return Refused(Record("GetVertexShader", ""));
}
HRESULT FakeDevice::GetPixelShader(IDirect3DPixelShader9**) {
    return Refused(Record("GetPixelShader", ""));
}
HRESULT FakeDevice::GetStreamSource(UINT, IDirect3DVertexBuffer9**, UINT*, UINT*) {
    return Refused(Record("GetStreamSource", ""));
}
HRESULT FakeDevice::GetIndices(IDirect3DIndexBuffer9**) {
    return Refused(Record("GetIndices", ""));
}
HRESULT FakeDevice::SetVertexShaderConstantF(UINT start, const float*, UINT count) {
    return Record("SetVertexShaderConstantF", LogArguments(start, count));
}
HRESULT FakeDevice::GetVertexShaderConstantF(UINT, float*, UINT) {
    return Refused(Record("GetVertexShaderConstantF", ""));
}
HRESULT FakeDevice::SetPixelShaderConstantF(UINT start, const float*, UINT count) {
    return Record("SetPixelShaderConstantF", LogArguments(start, count));
}
HRESULT FakeDevice::GetPixelShaderConstantF(UINT, float*, UINT) {
    return Refused(Record("GetPixelShaderConstantF", ""));
}
HRESULT FakeDevice::GetFVF(DWORD*) {
    return Refused(Record("GetFVF", ""));
}
HRESULT FakeDevice::SetVertexShaderConstantI(UINT, const int*, UINT) {
    return Record("SetVertexShaderConstantI", "");
}
HRESULT FakeDevice::GetVertexShaderConstantI(UINT, int*, UINT) {
    return Refused(Record("GetVertexShaderConstantI", ""));
}
HRESULT FakeDevice::SetVertexShaderConstantB(UINT, const WINBOOL*, UINT) {
    return Record("SetVertexShaderConstantB", "");
}
HRESULT FakeDevice::GetVertexShaderConstantB(UINT, WINBOOL*, UINT) {
    return Refused(Record("GetVertexShaderConstantB", ""));
}
HRESULT FakeDevice::SetStreamSourceFreq(UINT, UINT) {
    return Record("SetStreamSourceFreq", "");
}
HRESULT FakeDevice::GetStreamSourceFreq(UINT, UINT*) {
    return Refused(Record("GetStreamSourceFreq", ""));
}
HRESULT FakeDevice::SetPixelShaderConstantI(UINT, const int*, UINT) {
    return Record("SetPixelShaderConstantI", "");
}
HRESULT FakeDevice::GetPixelShaderConstantI(UINT, int*, UINT) {
    return Refused(Record("GetPixelShaderConstantI", ""));
}
HRESULT FakeDevice::SetPixelShaderConstantB(UINT, const WINBOOL*, UINT) {
    return Record("SetPixelShaderConstantB", "");
}
HRESULT FakeDevice::GetPixelShaderConstantB(UINT, WINBOOL*, UINT) {
    return Refused(Record("GetPixelShaderConstantB", ""));
}
HRESULT FakeDevice::DrawRectPatch(UINT, const float*, const D3DRECTPATCH_INFO*) {
    return Refused(Record("DrawRectPatch", ""));
}
HRESULT FakeDevice::DrawTriPatch(UINT, const float*, const D3DTRIPATCH_INFO*) {
    return Refused(Record("DrawTriPatch", ""));
}
HRESULT FakeDevice::DeletePatch(UINT) {
    return Refused(Record("DeletePatch", ""));
}
HRESULT FakeDevice::CreateQuery(D3DQUERYTYPE, IDirect3DQuery9**) {
    return Refused(Record("CreateQuery", ""));
}
