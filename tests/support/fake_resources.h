#pragma once

// Fakes of the Direct3D interface and of the objects the device makes; see
// fake_direct3d.h.

#include <vector>

#include <windows.h>
#include <d3d9.h>

#include "tests/support/fake_com.h"
#include "tests/support/fake_format.h"

// The arguments of one IDirect3D9::CreateDevice call.
struct DeviceCreation {
    UINT adapter;
    D3DDEVTYPE deviceType;
    HWND focusWindow;
    DWORD behaviorFlags;
    D3DPRESENT_PARAMETERS parameters; // zeros when the pointer was null
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

// What a vertex and an index buffer share: Lock and Unlock on the bytes, and
// the resource's other methods, recorded and with no effect.
template <typename Interface, D3DRESOURCETYPE resourceType>
class FakeBuffer : public FakeCom<Interface>, public FakeBufferBytes {
public:
    FakeBuffer(FakeDirect3DScope& scope, const char* kind, UINT length, DWORD usage, D3DPOOL pool)
        : FakeCom<Interface>(scope, kind), FakeBufferBytes(length), usage(usage), pool(pool) {}

    HRESULT STDMETHODCALLTYPE Lock(UINT offset, UINT size, void** data, DWORD flags) override {
        const HRESULT recorded = this->Record("Lock", LogArguments(offset, size, Hex{flags}));
        return LockBytes(recorded, offset, size, data, flags);
    }
    HRESULT STDMETHODCALLTYPE Unlock() override {
        ++unlocks;
        locked = false;
        return this->Record("Unlock", "");
    }
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9**) override {
        return Refused(this->Record("GetDevice", ""));
    }
    HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID, const void*, DWORD, DWORD) override {
        return this->Record("SetPrivateData", "");
    }
    HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID, void*, DWORD*) override {
        return Refused(this->Record("GetPrivateData", ""));
    }
    HRESULT STDMETHODCALLTYPE FreePrivateData(REFGUID) override {
        return Refused(this->Record("FreePrivateData", ""));
    }
    DWORD STDMETHODCALLTYPE SetPriority(DWORD) override { return Unused("SetPriority"); }
    DWORD STDMETHODCALLTYPE GetPriority() override { return Unused("GetPriority"); }
    void STDMETHODCALLTYPE PreLoad() override { Unused("PreLoad"); }
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override {
        this->Record("GetType", "");
        return resourceType;
    }

    DWORD usage;
    D3DPOOL pool;

private:
    DWORD Unused(const char* method) {
        this->Record(method, "");
        return 0;
    }
};

class FakeVertexBuffer : public FakeBuffer<IDirect3DVertexBuffer9, D3DRTYPE_VERTEXBUFFER> {
public:
    FakeVertexBuffer(FakeDirect3DScope& scope, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
        : FakeBuffer(scope, "vb", length, usage, pool), fvf(fvf) {}

    HRESULT STDMETHODCALLTYPE GetDesc(D3DVERTEXBUFFER_DESC* description) override;

    DWORD fvf;
};

class FakeIndexBuffer : public FakeBuffer<IDirect3DIndexBuffer9, D3DRTYPE_INDEXBUFFER> {
public:
    FakeIndexBuffer(FakeDirect3DScope& scope, UINT length, DWORD usage, D3DFORMAT format,
                    D3DPOOL pool)
        : FakeBuffer(scope, "ib", length, usage, pool), format(format) {}

    HRESULT STDMETHODCALLTYPE GetDesc(D3DINDEXBUFFER_DESC* description) override;

    D3DFORMAT format;
};

class FakeVertexDeclaration : public FakeCom<IDirect3DVertexDeclaration9> {
public:
    FakeVertexDeclaration(FakeDirect3DScope& scope, const D3DVERTEXELEMENT9* elements);

    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9**) override {
        return Refused(Record("GetDevice", ""));
    }
    HRESULT STDMETHODCALLTYPE GetDeclaration(D3DVERTEXELEMENT9*, UINT*) override {
        return Refused(Record("GetDeclaration", ""));
    }

    // The elements as given, D3DDECL_END() included.
    std::vector<D3DVERTEXELEMENT9> elements;
};

// A vertex or a pixel shader ("vs" or "ps").
template <typename Interface> class FakeShader : public FakeCom<Interface> {
public:
    FakeShader(FakeDirect3DScope& scope, const char* kind, const DWORD* byteCode)
        : FakeCom<Interface>(scope, kind), byteCode(byteCode) {}

    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9**) override {
        return Refused(this->Record("GetDevice", ""));
    }
    HRESULT STDMETHODCALLTYPE GetFunction(void*, UINT*) override {
        return Refused(this->Record("GetFunction", ""));
    }

    // As given, to name the constant table made from it; the program may free
    // it afterwards.
    const DWORD* byteCode;
};

using FakeVertexShader = FakeShader<IDirect3DVertexShader9>;
using FakePixelShader = FakeShader<IDirect3DPixelShader9>;
