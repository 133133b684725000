#pragma once

// Fakes of the Direct3D interface and of the objects the device makes; see
// fake_direct3d.h.

#include <vector>

#include <windows.h>
#include <d3d9.h>

#include "tests/support/fake_com.h"

// The arguments of one IDirect3D9::CreateDevice call.
struct DeviceCreation {
    UINT adapter;
    D3DDEVTYPE deviceType;
    HWND focusWindow;
    DWORD behaviorFlags;
    D3DPRESENT_PARAMETERS parameters; // zeros when the pointer was null
    bool parametersGiven;
};

class FakeDirect3D : public FakeCom<IDirect3D9> {
public:
    explicit FakeDirect3D(FakeDirect3DScope& scope) : FakeCom(scope, "d3d") {}

    HRESULT STDMETHODCALLTYPE RegisterSoftwareDevice(void*) override;
    UINT STDMETHODCALLTYPE GetAdapterCount() override;
    HRESULT STDMETHODCALLTYPE GetAdapterIdentifier(UINT, DWORD, D3DADAPTER_IDENTIFIER9*) override;
    UINT STDMETHODCALLTYPE GetAdapterModeCount(UINT, D3DFORMAT) override;
    HRESULT STDMETHODCALLTYPE EnumAdapterModes(UINT, D3DFORMAT, UINT, D3DDISPLAYMODE*) override;
    HRESULT STDMETHODCALLTYPE GetAdapterDisplayMode(UINT, D3DDISPLAYMODE*) override;
    HRESULT STDMETHODCALLTYPE CheckDeviceType(UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT,
                                              WINBOOL) override;
    HRESULT STDMETHODCALLTYPE CheckDeviceFormat(UINT, D3DDEVTYPE, D3DFORMAT, DWORD, D3DRESOURCETYPE,
                                                D3DFORMAT) override;
    HRESULT STDMETHODCALLTYPE CheckDeviceMultiSampleType(UINT, D3DDEVTYPE, D3DFORMAT, WINBOOL,
                                                         D3DMULTISAMPLE_TYPE, DWORD*) override;
    HRESULT STDMETHODCALLTYPE CheckDepthStencilMatch(UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT,
                                                     D3DFORMAT) override;
    HRESULT STDMETHODCALLTYPE CheckDeviceFormatConversion(UINT, D3DDEVTYPE, D3DFORMAT,
                                                          D3DFORMAT) override;
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(UINT, D3DDEVTYPE, D3DCAPS9*) override;
    HMONITOR STDMETHODCALLTYPE GetAdapterMonitor(UINT) override;
    HRESULT STDMETHODCALLTYPE CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow,
                                           DWORD behaviorFlags, D3DPRESENT_PARAMETERS* parameters,
                                           IDirect3DDevice9** device) override;
};

// Bytes of a vertex or index buffer, with a guard zone behind them that
// catches writes past the end.
class FakeBufferBytes {
public:
    struct LockCall {
        UINT offset;
        UINT size;
        DWORD flags;
    };

    explicit FakeBufferBytes(UINT length);

    UINT length() const { return length_; }
    std::vector<BYTE> Bytes() const;
    template <typename T> std::vector<T> As() const {
        const T* first = reinterpret_cast<const T*>(storage_.data());
        return std::vector<T>(first, first + length_ / sizeof(T));
    }
    bool GuardIntact() const;

    std::vector<LockCall> locks;
    int unlocks = 0;
    bool locked = false;

protected:
    HRESULT LockBytes(HRESULT recorded, UINT offset, UINT size, void** data, DWORD flags);

private:
    UINT length_;
    std::vector<BYTE> storage_;
};

class FakeVertexBuffer : public FakeCom<IDirect3DVertexBuffer9>, public FakeBufferBytes {
public:
    FakeVertexBuffer(FakeDirect3DScope& scope, IDirect3DDevice9* device, UINT length, DWORD usage,
                     DWORD fvf, D3DPOOL pool);

    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** device) override;
    HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID, const void*, DWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID, void*, DWORD*) override;
    HRESULT STDMETHODCALLTYPE FreePrivateData(REFGUID) override;
    DWORD STDMETHODCALLTYPE SetPriority(DWORD) override;
    DWORD STDMETHODCALLTYPE GetPriority() override;
    void STDMETHODCALLTYPE PreLoad() override;
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override;
    HRESULT STDMETHODCALLTYPE Lock(UINT offset, UINT size, void** data, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Unlock() override;
    HRESULT STDMETHODCALLTYPE GetDesc(D3DVERTEXBUFFER_DESC* description) override;

    IDirect3DDevice9* device;
    DWORD usage;
    DWORD fvf;
    D3DPOOL pool;
};

class FakeIndexBuffer : public FakeCom<IDirect3DIndexBuffer9>, public FakeBufferBytes {
public:
    FakeIndexBuffer(FakeDirect3DScope& scope, IDirect3DDevice9* device, UINT length, DWORD usage,
                    D3DFORMAT format, D3DPOOL pool);

    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** device) override;
    HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID, const void*, DWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID, void*, DWORD*) override;
    HRESULT STDMETHODCALLTYPE FreePrivateData(REFGUID) override;
    DWORD STDMETHODCALLTYPE SetPriority(DWORD) override;
    DWORD STDMETHODCALLTYPE GetPriority() override;
    void STDMETHODCALLTYPE PreLoad() override;
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override;
    HRESULT STDMETHODCALLTYPE Lock(UINT offset, UINT size, void** data, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Unlock() override;
    HRESULT STDMETHODCALLTYPE GetDesc(D3DINDEXBUFFER_DESC* description) override;

    IDirect3DDevice9* device;
    DWORD usage;
    D3DFORMAT format;
    D3DPOOL pool;
};

class FakeVertexDeclaration : public FakeCom<IDirect3DVertexDeclaration9> {
public:
    FakeVertexDeclaration(FakeDirect3DScope& scope, IDirect3DDevice9* device,
                          const D3DVERTEXELEMENT9* elements);

    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** device) override;
    HRESULT STDMETHODCALLTYPE GetDeclaration(D3DVERTEXELEMENT9* elements, UINT* count) override;

    IDirect3DDevice9* device;
    // The elements as given, D3DDECL_END() included.
    std::vector<D3DVERTEXELEMENT9> elements;
};

class FakeVertexShader : public FakeCom<IDirect3DVertexShader9> {
public:
    FakeVertexShader(FakeDirect3DScope& scope, IDirect3DDevice9* device, const DWORD* byteCode);

    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** device) override;
    HRESULT STDMETHODCALLTYPE GetFunction(void*, UINT* size) override;

    IDirect3DDevice9* device;
    const DWORD* byteCode; // as given; the program may free it afterwards
};

class FakePixelShader : public FakeCom<IDirect3DPixelShader9> {
public:
    FakePixelShader(FakeDirect3DScope& scope, IDirect3DDevice9* device, const DWORD* byteCode);

    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** device) override;
    HRESULT STDMETHODCALLTYPE GetFunction(void*, UINT* size) override;

    IDirect3DDevice9* device;
    const DWORD* byteCode;
};
