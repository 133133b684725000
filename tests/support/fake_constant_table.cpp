#include "tests/support/fake_constant_table.h"

#include "tests/support/fake_direct3d.h"
#include "tests/support/fake_format.h"

D3DXCONSTANT_DESC ConstantOf(D3DXPARAMETER_CLASS shape, UINT rows, UINT columns, UINT elements,
                             D3DXPARAMETER_TYPE type) {
    const UINT bytes = 4 * rows * columns * elements;
    return {nullptr, D3DXRS_FLOAT4, 0, 4, shape, type, rows, columns, elements, 0, bytes, nullptr};
}

FakeConstantTable::FakeConstantTable(FakeDirect3DScope& scope, const std::set<std::string>& names,
                                     const ConstantShapes& shapes)
    : FakeCom(scope, "ct"), names_(names.begin(), names.end()), shapes_(shapes) {}

D3DXHANDLE FakeConstantTable::HandleOf(const std::string& name) const {
    for (const std::string& known : names_) {
        if (known == name) {
            return known.c_str();
        }
    }
    return nullptr;
}

std::string FakeConstantTable::ConstantName(D3DXHANDLE constant) const {
    if (constant == nullptr) {
        return "null";
    }
    for (const std::string& known : names_) {
        if (known.c_str() == constant) {
            return known;
        }
    }
    return "?";
}

HRESULT FakeConstantTable::RecordSetting(const char* method, IDirect3DDevice9* device,
                                         D3DXHANDLE constant, const float* values, UINT valueCount,
                                         UINT count) {
    const FakeObject* fakeDevice = scope_.Find(device);
    const bool deviceReleased = fakeDevice != nullptr && fakeDevice->released();
    std::string arguments = scope_.NameOf(device);
    const bool hasConstant = std::string(method) != "SetDefaults";
    if (hasConstant) {
        arguments += ", " + ConstantName(constant);
    }
    if (count != 0) {
        arguments += ", " + LogArguments(count);
    }
    const HRESULT failure = Record(method, arguments, deviceReleased);
    ConstantSetting setting = {
        method, device, hasConstant ? ConstantName(constant) : "", {}, count};
    if (values != nullptr) {
        setting.values.assign(values, values + valueCount);
    }
    settings.push_back(setting);
    if (FAILED(failure)) {
        return failure;
    }
    if (device == nullptr || (hasConstant && ConstantName(constant) == "?") ||
        (hasConstant && constant == nullptr)) {
        return D3DERR_INVALIDCALL;
    }
    return S_OK;
}

void* FakeConstantTable::GetBufferPointer() {
    Record("GetBufferPointer", "");
    return nullptr;
}
DWORD FakeConstantTable::GetBufferSize() {
    Record("GetBufferSize", "");
    return 0;
}
HRESULT FakeConstantTable::GetDesc(D3DXCONSTANTTABLE_DESC* description) {
    const HRESULT failure = Record("GetDesc", "");
    if (SUCCEEDED(failure) && description != nullptr) {
        *description = {"fake", 0, static_cast<UINT>(names_.size())};
    }
    return failure;
}
HRESULT FakeConstantTable::GetConstantDesc(D3DXHANDLE constant, D3DXCONSTANT_DESC* description,
                                           UINT* count) {
    const std::string name = ConstantName(constant);
    const HRESULT failure = Record("GetConstantDesc", name);
    const auto shape = shapes_.find(name);
    if (FAILED(failure) || shape == shapes_.end() || description == nullptr) {
        return FAILED(failure) ? failure : D3DERR_INVALIDCALL;
    }
    *description = shape->second;
    description->Name = constant;
    if (count != nullptr) {
        *count = 1;
    }
    return S_OK;
}
UINT FakeConstantTable::GetSamplerIndex(D3DXHANDLE) {
    Record("GetSamplerIndex", "");
    return static_cast<UINT>(-1);
}
D3DXHANDLE FakeConstantTable::GetConstant(D3DXHANDLE, UINT) {
    Record("GetConstant", "");
    return nullptr;
}
D3DXHANDLE FakeConstantTable::GetConstantByName(D3DXHANDLE parent, const char* name) {
    const HRESULT failure = Record("GetConstantByName", LogArguments(ConstantName(parent), name));
    if (FAILED(failure) || name == nullptr || parent != nullptr) {
        return nullptr;
    }
    return HandleOf(name);
}
D3DXHANDLE FakeConstantTable::GetConstantElement(D3DXHANDLE, UINT) {
    Record("GetConstantElement", "");
    return nullptr;
}
HRESULT FakeConstantTable::SetDefaults(IDirect3DDevice9* device) {
    return RecordSetting("SetDefaults", device, nullptr, nullptr, 0, 0);
}
HRESULT FakeConstantTable::SetValue(IDirect3DDevice9* device, D3DXHANDLE constant, const void*,
                                    UINT size) {
    return RecordSetting("SetValue", device, constant, nullptr, 0, size);
}
HRESULT FakeConstantTable::SetBool(IDirect3DDevice9* device, D3DXHANDLE constant, WINBOOL) {
    return RecordSetting("SetBool", device, constant, nullptr, 0, 0);
}
HRESULT FakeConstantTable::SetBoolArray(IDirect3DDevice9* device, D3DXHANDLE constant,
                                        const WINBOOL*, UINT count) {
    return RecordSetting("SetBoolArray", device, constant, nullptr, 0, count);
}
HRESULT FakeConstantTable::SetInt(IDirect3DDevice9* device, D3DXHANDLE constant, INT) {
    return RecordSetting("SetInt", device, constant, nullptr, 0, 0);
}
HRESULT FakeConstantTable::SetIntArray(IDirect3DDevice9* device, D3DXHANDLE constant, const INT*,
                                       UINT count) {
    return RecordSetting("SetIntArray", device, constant, nullptr, 0, count);
}
HRESULT FakeConstantTable::SetFloat(IDirect3DDevice9* device, D3DXHANDLE constant, float value) {
    return RecordSetting("SetFloat", device, constant, &value, 1, 0);
}
HRESULT FakeConstantTable::SetFloatArray(IDirect3DDevice9* device, D3DXHANDLE constant,
                                         const float* values, UINT count) {
    return RecordSetting("SetFloatArray", device, constant, values, count, count);
}
HRESULT FakeConstantTable::SetVector(IDirect3DDevice9* device, D3DXHANDLE constant,
                                     const D3DXVECTOR4* value) {
    return RecordSetting("SetVector", device, constant, reinterpret_cast<const float*>(value), 4,
                         0);
}
HRESULT FakeConstantTable::SetVectorArray(IDirect3DDevice9* device, D3DXHANDLE constant,
                                          const D3DXVECTOR4* values, UINT count) {
    return RecordSetting("SetVectorArray", device, constant, reinterpret_cast<const float*>(values),
                         4 * count, count);
}
HRESULT FakeConstantTable::SetMatrix(IDirect3DDevice9* device, D3DXHANDLE constant,
                                     const D3DXMATRIX* value) {
    return RecordSetting("SetMatrix", device, constant, reinterpret_cast<const float*>(value), 16,
                         0);
}
HRESULT FakeConstantTable::SetMatrixArray(IDirect3DDevice9* device, D3DXHANDLE constant,
                                          const D3DXMATRIX* values, UINT count) {
    return RecordSetting("SetMatrixArray", device, constant, reinterpret_cast<const float*>(values),
                         16 * count, count);
}
HRESULT FakeConstantTable::SetMatrixPointerArray(IDirect3DDevice9* device, D3DXHANDLE constant,
                                                 const D3DXMATRIX**, UINT count) {
    return RecordSetting("SetMatrixPointerArray", device, constant, nullptr, 0, count);
}
HRESULT FakeConstantTable::SetMatrixTranspose(IDirect3DDevice9* device, D3DXHANDLE constant,
                                              const D3DXMATRIX* value) {
    return RecordSetting("SetMatrixTranspose", device, constant,
                         reinterpret_cast<const float*>(value), 16, 0);
}
HRESULT FakeConstantTable::SetMatrixTransposeArray(IDirect3DDevice9* device, D3DXHANDLE constant,
                                                   const D3DXMATRIX* values, UINT count) {
    return RecordSetting("SetMatrixTransposeArray", device, constant,
                         reinterpret_cast<const float*>(values), 16 * count, count);
}
HRESULT FakeConstantTable::SetMatrixTransposePointerArray(IDirect3DDevice9* device,
                                                          D3DXHANDLE constant, const D3DXMATRIX**,
                                                          UINT count) {
    return RecordSetting("SetMatrixTransposePointerArray", device, constant, nullptr, 0, count);
}
