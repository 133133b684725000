#pragma once

// The fake ID3DXConstantTable; see fake_direct3d.h.

#include <list>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <windows.h>
#include <d3d9.h>
#include <d3dx9shader.h>

#include "tests/support/fake_com.h"

// One setter call on a fake table, values bit-exact.
struct ConstantSetting {
    std::string method;        // "SetFloatArray", "SetMatrix", "SetDefaults", ...
    IDirect3DDevice9* device;  // as passed
    std::string constant;      // the handle's name, "null", or "?" for a foreign handle
    std::vector<float> values; // floats passed (a matrix: its 16 in memory order)
    UINT count;                // the count argument, where the setter has one
};

using ConstantShapes = std::map<std::string, D3DXCONSTANT_DESC>;

// A constant as GetConstantDesc describes it.
D3DXCONSTANT_DESC ConstantOf(D3DXPARAMETER_CLASS shape, UINT rows, UINT columns, UINT elements = 1,
                             D3DXPARAMETER_TYPE type = D3DXPT_FLOAT);

class FakeConstantTable : public FakeCom<ID3DXConstantTable> {
public:
    // GetConstantDesc describes the names that have a shape and fails for
    // the others.
    FakeConstantTable(FakeDirect3DScope& scope, const std::set<std::string>& names,
                      const ConstantShapes& shapes = {});

    std::vector<ConstantSetting> settings;

    void* STDMETHODCALLTYPE GetBufferPointer() override;
    DWORD STDMETHODCALLTYPE GetBufferSize() override;
    HRESULT STDMETHODCALLTYPE GetDesc(D3DXCONSTANTTABLE_DESC* description) override;
    HRESULT STDMETHODCALLTYPE GetConstantDesc(D3DXHANDLE, D3DXCONSTANT_DESC*, UINT*) override;
    UINT STDMETHODCALLTYPE GetSamplerIndex(D3DXHANDLE) override;
    D3DXHANDLE STDMETHODCALLTYPE GetConstant(D3DXHANDLE, UINT) override;
    D3DXHANDLE STDMETHODCALLTYPE GetConstantByName(D3DXHANDLE parent, const char* name) override;
    D3DXHANDLE STDMETHODCALLTYPE GetConstantElement(D3DXHANDLE, UINT) override;
    HRESULT STDMETHODCALLTYPE SetDefaults(IDirect3DDevice9* device) override;
    HRESULT STDMETHODCALLTYPE SetValue(IDirect3DDevice9* device, D3DXHANDLE constant,
                                       const void* data, UINT size) override;
    HRESULT STDMETHODCALLTYPE SetBool(IDirect3DDevice9* device, D3DXHANDLE constant,
                                      WINBOOL value) override;
    HRESULT STDMETHODCALLTYPE SetBoolArray(IDirect3DDevice9* device, D3DXHANDLE constant,
                                           const WINBOOL* values, UINT count) override;
    HRESULT STDMETHODCALLTYPE SetInt(IDirect3DDevice9* device, D3DXHANDLE constant,
                                     INT value) override;
    HRESULT STDMETHODCALLTYPE SetIntArray(IDirect3DDevice9* device, D3DXHANDLE constant,
                                          const INT* values, UINT count) override;
    HRESULT STDMETHODCALLTYPE SetFloat(IDirect3DDevice9* device, D3DXHANDLE constant,
                                       float value) override;
    HRESULT STDMETHODCALLTYPE SetFloatArray(IDirect3DDevice9* device, D3DXHANDLE constant,
                                            const float* values, UINT count) override;
    HRESULT STDMETHODCALLTYPE SetVector(IDirect3DDevice9* device, D3DXHANDLE constant,
                                        const D3DXVECTOR4* value) override;
    HRESULT STDMETHODCALLTYPE SetVectorArray(IDirect3DDevice9* device, D3DXHANDLE constant,
                                             const D3DXVECTOR4* values, UINT count) override;
    HRESULT STDMETHODCALLTYPE SetMatrix(IDirect3DDevice9* device, D3DXHANDLE constant,
                                        const D3DXMATRIX* value) override;
    HRESULT STDMETHODCALLTYPE SetMatrixArray(IDirect3DDevice9* device, D3DXHANDLE constant,
                                             const D3DXMATRIX* values, UINT count) override;
    HRESULT STDMETHODCALLTYPE SetMatrixPointerArray(IDirect3DDevice9* device, D3DXHANDLE constant,
                                                    const D3DXMATRIX** values, UINT count) override;
    HRESULT STDMETHODCALLTYPE SetMatrixTranspose(IDirect3DDevice9* device, D3DXHANDLE constant,
                                                 const D3DXMATRIX* value) override;
    HRESULT STDMETHODCALLTYPE SetMatrixTransposeArray(IDirect3DDevice9* device, D3DXHANDLE constant,
                                                      const D3DXMATRIX* values,
                                                      UINT count) override;
    HRESULT STDMETHODCALLTYPE SetMatrixTransposePointerArray(IDirect3DDevice9* device,
                                                             D3DXHANDLE constant,
                                                             const D3DXMATRIX** values,
                                                             UINT count) override;

private:
    // Records the call and its values; the failure asked for, or
    // D3DERR_INVALIDCALL for a handle this table did not give, or S_OK.
    HRESULT RecordSetting(const char* method, IDirect3DDevice9* device, D3DXHANDLE constant,
                          const float* values, UINT valueCount, UINT count);
    std::string ConstantName(D3DXHANDLE constant) const;
    // The handle GetConstantByName gives for `name`, or null when unknown.
    D3DXHANDLE HandleOf(const std::string& name) const;

    // Stable storage: a handle is the address of its name's characters.
    std::list<std::string> names_;
    ConstantShapes shapes_;
};
