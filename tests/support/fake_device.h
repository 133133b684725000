#pragma once

// The fake IDirect3DDevice9; see fake_direct3d.h.

#include <string>

#include <windows.h>
#include <d3d9.h>

#include "tests/support/fake_com.h"

// The methods the program never calls: recorded, and answering S_OK
// (setters) or D3DERR_INVALIDCALL (creators and getters, touching no output).
#define FAKE_RECORDED(name, parameters)                                                            \
    HRESULT STDMETHODCALLTYPE name parameters override {                                           \
        return Record(#name, "");                                                                  \
    }
#define FAKE_REFUSED(name, parameters)                                                             \
    HRESULT STDMETHODCALLTYPE name parameters override {                                           \
        return Refused(Record(#name, ""));                                                         \
    }

// Every method is recorded. The ones the program uses behave: creation makes
// fakes, setting shaders, the declaration, stream 0 and the indices keeps the
// binding that a draw is checked against. The others answer S_OK (setters) or
// D3DERR_INVALIDCALL (creators and getters) and touch no output.
class FakeDevice : public FakeCom<IDirect3DDevice9> {
public:
    FakeDevice(FakeDirect3DScope& scope, const D3DDEVICE_CREATION_PARAMETERS& creation);

    // What GetCreationParameters answers; the test may change it.
    D3DDEVICE_CREATION_PARAMETERS creation;

    IDirect3DVertexDeclaration9* declaration = nullptr;
    IDirect3DVertexShader9* vertexShader = nullptr;
    IDirect3DPixelShader9* pixelShader = nullptr;
    IDirect3DVertexBuffer9* streamSource = nullptr; // stream 0
    UINT streamOffset = 0;
    UINT streamStride = 0;
    IDirect3DIndexBuffer9* indices = nullptr;

    FAKE_RECORDED(TestCooperativeLevel, ())
    UINT STDMETHODCALLTYPE GetAvailableTextureMem() override;
    FAKE_RECORDED(EvictManagedResources, ())
    FAKE_REFUSED(GetDirect3D, (IDirect3D9**))
    FAKE_REFUSED(GetDeviceCaps, (D3DCAPS9*))
    FAKE_REFUSED(GetDisplayMode, (UINT, D3DDISPLAYMODE*))
    HRESULT STDMETHODCALLTYPE
    GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* parameters) override;
    FAKE_RECORDED(SetCursorProperties, (UINT, UINT, IDirect3DSurface9*))
    void STDMETHODCALLTYPE SetCursorPosition(int, int, DWORD) override;
    WINBOOL STDMETHODCALLTYPE ShowCursor(WINBOOL) override;
    FAKE_REFUSED(CreateAdditionalSwapChain, (D3DPRESENT_PARAMETERS*, IDirect3DSwapChain9**))
    FAKE_REFUSED(GetSwapChain, (UINT, IDirect3DSwapChain9**))
    UINT STDMETHODCALLTYPE GetNumberOfSwapChains() override;
    HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS*) override;
    HRESULT STDMETHODCALLTYPE Present(const RECT* sourceRect, const RECT* destinationRect,
                                      HWND destinationWindow, const RGNDATA* dirtyRegion) override;
    FAKE_REFUSED(GetBackBuffer, (UINT, UINT, D3DBACKBUFFER_TYPE, IDirect3DSurface9**))
    FAKE_REFUSED(GetRasterStatus, (UINT, D3DRASTER_STATUS*))
    FAKE_RECORDED(SetDialogBoxMode, (WINBOOL))
    void STDMETHODCALLTYPE SetGammaRamp(UINT, DWORD, const D3DGAMMARAMP*) override;
    void STDMETHODCALLTYPE GetGammaRamp(UINT, D3DGAMMARAMP*) override;
    FAKE_REFUSED(CreateTexture,
                 (UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DTexture9**, HANDLE*))
    FAKE_REFUSED(CreateVolumeTexture, (UINT, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL,
                                       IDirect3DVolumeTexture9**, HANDLE*))
    FAKE_REFUSED(CreateCubeTexture,
                 (UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DCubeTexture9**, HANDLE*))
    HRESULT STDMETHODCALLTYPE CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                                 IDirect3DVertexBuffer9** buffer,
                                                 HANDLE* sharedHandle) override;
    HRESULT STDMETHODCALLTYPE CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format,
                                                D3DPOOL pool, IDirect3DIndexBuffer9** buffer,
                                                HANDLE* sharedHandle) override;
    FAKE_REFUSED(CreateRenderTarget, (UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, DWORD, WINBOOL,
                                      IDirect3DSurface9**, HANDLE*))
    FAKE_REFUSED(CreateDepthStencilSurface, (UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, DWORD,
                                             WINBOOL, IDirect3DSurface9**, HANDLE*))
    FAKE_REFUSED(UpdateSurface, (IDirect3DSurface9*, const RECT*, IDirect3DSurface9*, const POINT*))
    FAKE_REFUSED(UpdateTexture, (IDirect3DBaseTexture9*, IDirect3DBaseTexture9*))
    FAKE_REFUSED(GetRenderTargetData, (IDirect3DSurface9*, IDirect3DSurface9*))
    FAKE_REFUSED(GetFrontBufferData, (UINT, IDirect3DSurface9*))
    FAKE_REFUSED(StretchRect, (IDirect3DSurface9*, const RECT*, IDirect3DSurface9*, const RECT*,
                               D3DTEXTUREFILTERTYPE))
    FAKE_REFUSED(ColorFill, (IDirect3DSurface9*, const RECT*, D3DCOLOR))
    FAKE_REFUSED(CreateOffscreenPlainSurface,
                 (UINT, UINT, D3DFORMAT, D3DPOOL, IDirect3DSurface9**, HANDLE*))
    FAKE_RECORDED(SetRenderTarget, (DWORD, IDirect3DSurface9*))
    FAKE_REFUSED(GetRenderTarget, (DWORD, IDirect3DSurface9**))
    FAKE_RECORDED(SetDepthStencilSurface, (IDirect3DSurface9*))
    FAKE_REFUSED(GetDepthStencilSurface, (IDirect3DSurface9**))
    FAKE_RECORDED(BeginScene, ())
    FAKE_RECORDED(EndScene, ())
    HRESULT STDMETHODCALLTYPE Clear(DWORD rectCount, const D3DRECT* rects, DWORD flags,
                                    D3DCOLOR color, float z, DWORD stencil) override;
    HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE state,
                                           const D3DMATRIX* matrix) override;
    FAKE_REFUSED(GetTransform, (D3DTRANSFORMSTATETYPE, D3DMATRIX*))
    FAKE_RECORDED(MultiplyTransform, (D3DTRANSFORMSTATETYPE, const D3DMATRIX*))
    FAKE_RECORDED(SetViewport, (const D3DVIEWPORT9*))
    FAKE_REFUSED(GetViewport, (D3DVIEWPORT9*))
    FAKE_RECORDED(SetMaterial, (const D3DMATERIAL9*))
    FAKE_REFUSED(GetMaterial, (D3DMATERIAL9*))
    FAKE_RECORDED(SetLight, (DWORD, const D3DLIGHT9*))
    FAKE_REFUSED(GetLight, (DWORD, D3DLIGHT9*))
    FAKE_RECORDED(LightEnable, (DWORD, WINBOOL))
    FAKE_REFUSED(GetLightEnable, (DWORD, WINBOOL*))
    FAKE_RECORDED(SetClipPlane, (DWORD, const float*))
    FAKE_REFUSED(GetClipPlane, (DWORD, float*))
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    FAKE_REFUSED(GetRenderState, (D3DRENDERSTATETYPE, DWORD*))
    FAKE_REFUSED(CreateStateBlock, (D3DSTATEBLOCKTYPE, IDirect3DStateBlock9**))
    FAKE_RECORDED(BeginStateBlock, ())
    FAKE_REFUSED(EndStateBlock, (IDirect3DStateBlock9**))
    FAKE_RECORDED(SetClipStatus, (const D3DCLIPSTATUS9*))
    FAKE_REFUSED(GetClipStatus, (D3DCLIPSTATUS9*))
    FAKE_REFUSED(GetTexture, (DWORD, IDirect3DBaseTexture9**))
    FAKE_RECORDED(SetTexture, (DWORD, IDirect3DBaseTexture9*))
    FAKE_REFUSED(GetTextureStageState, (DWORD, D3DTEXTURESTAGESTATETYPE, DWORD*))
    FAKE_RECORDED(SetTextureStageState, (DWORD, D3DTEXTURESTAGESTATETYPE, DWORD))
    FAKE_REFUSED(GetSamplerState, (DWORD, D3DSAMPLERSTATETYPE, DWORD*))
    FAKE_RECORDED(SetSamplerState, (DWORD, D3DSAMPLERSTATETYPE, DWORD))
    FAKE_REFUSED(ValidateDevice, (DWORD*))
    FAKE_RECORDED(SetPaletteEntries, (UINT, const PALETTEENTRY*))
    FAKE_REFUSED(GetPaletteEntries, (UINT, PALETTEENTRY*))
    FAKE_RECORDED(SetCurrentTexturePalette, (UINT))
    FAKE_REFUSED(GetCurrentTexturePalette, (UINT*))
    FAKE_RECORDED(SetScissorRect, (const RECT*))
    FAKE_REFUSED(GetScissorRect, (RECT*))
    FAKE_RECORDED(SetSoftwareVertexProcessing, (WINBOOL))
    WINBOOL STDMETHODCALLTYPE GetSoftwareVertexProcessing() override;
    FAKE_RECORDED(SetNPatchMode, (float))
    float STDMETHODCALLTYPE GetNPatchMode() override;
    HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex,
                                            UINT primitiveCount) override;
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex,
                                                   UINT minVertexIndex, UINT vertexCount,
                                                   UINT startIndex, UINT primitiveCount) override;
    FAKE_RECORDED(DrawPrimitiveUP, (D3DPRIMITIVETYPE, UINT, const void*, UINT))
    FAKE_RECORDED(DrawIndexedPrimitiveUP,
                  (D3DPRIMITIVETYPE, UINT, UINT, UINT, const void*, D3DFORMAT, const void*, UINT))
    FAKE_REFUSED(ProcessVertices,
                 (UINT, UINT, UINT, IDirect3DVertexBuffer9*, IDirect3DVertexDeclaration9*, DWORD))
    HRESULT STDMETHODCALLTYPE CreateVertexDeclaration(
        const D3DVERTEXELEMENT9* elements, IDirect3DVertexDeclaration9** declaration) override;
    HRESULT STDMETHODCALLTYPE
    SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) override;
    FAKE_REFUSED(GetVertexDeclaration, (IDirect3DVertexDeclaration9**))
    HRESULT STDMETHODCALLTYPE SetFVF(DWORD fvf) override;
    FAKE_REFUSED(GetFVF, (DWORD*))
    HRESULT STDMETHODCALLTYPE CreateVertexShader(const DWORD* byteCode,
                                                 IDirect3DVertexShader9** shader) override;
    HRESULT STDMETHODCALLTYPE SetVertexShader(IDirect3DVertexShader9* shader) override;
    FAKE_REFUSED(GetVertexShader, (IDirect3DVertexShader9**))
    HRESULT STDMETHODCALLTYPE SetVertexShaderConstantF(UINT, const float*, UINT) override;
    FAKE_REFUSED(GetVertexShaderConstantF, (UINT, float*, UINT))
    FAKE_RECORDED(SetVertexShaderConstantI, (UINT, const int*, UINT))
    FAKE_REFUSED(GetVertexShaderConstantI, (UINT, int*, UINT))
    FAKE_RECORDED(SetVertexShaderConstantB, (UINT, const WINBOOL*, UINT))
    FAKE_REFUSED(GetVertexShaderConstantB, (UINT, WINBOOL*, UINT))
    HRESULT STDMETHODCALLTYPE SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer,
                                              UINT offset, UINT stride) override;
    FAKE_REFUSED(GetStreamSource, (UINT, IDirect3DVertexBuffer9**, UINT*, UINT*))
    FAKE_RECORDED(SetStreamSourceFreq, (UINT, UINT))
    FAKE_REFUSED(GetStreamSourceFreq, (UINT, UINT*))
    HRESULT STDMETHODCALLTYPE SetIndices(IDirect3DIndexBuffer9* buffer) override;
    FAKE_REFUSED(GetIndices, (IDirect3DIndexBuffer9**))
    HRESULT STDMETHODCALLTYPE CreatePixelShader(const DWORD* byteCode,
                                                IDirect3DPixelShader9** shader) override;
    HRESULT STDMETHODCALLTYPE SetPixelShader(IDirect3DPixelShader9* shader) override;
    FAKE_REFUSED(GetPixelShader, (IDirect3DPixelShader9**))
    HRESULT STDMETHODCALLTYPE SetPixelShaderConstantF(UINT, const float*, UINT) override;
    FAKE_REFUSED(GetPixelShaderConstantF, (UINT, float*, UINT))
    FAKE_RECORDED(SetPixelShaderConstantI, (UINT, const int*, UINT))
    FAKE_REFUSED(GetPixelShaderConstantI, (UINT, int*, UINT))
    FAKE_RECORDED(SetPixelShaderConstantB, (UINT, const WINBOOL*, UINT))
    FAKE_REFUSED(GetPixelShaderConstantB, (UINT, WINBOOL*, UINT))
    FAKE_REFUSED(DrawRectPatch, (UINT, const float*, const D3DRECTPATCH_INFO*))
    FAKE_REFUSED(DrawTriPatch, (UINT, const float*, const D3DTRIPATCH_INFO*))
    FAKE_REFUSED(DeletePatch, (UINT))
    FAKE_REFUSED(CreateQuery, (D3DQUERYTYPE, IDirect3DQuery9**))

protected:
    std::string Prefix() const override { return ""; }
};
