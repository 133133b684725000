#include "tests/support/fake_direct3d.h"

#include <new>
#include <stdexcept>

#include "graphics/graphics_context.h"
#include "tests/support/fake_format.h"
#include "tests/support/import_patch.h"

namespace {

FakeDirect3DScope* g_scope;

const BYTE unwrittenByte = 0xCD;
const UINT guardSize = 64;

IDirect3D9* WINAPI FakeDirect3DCreate9(UINT sdkVersion) {
    g_scope->log.push_back("Direct3DCreate9(" + LogArguments(sdkVersion) + ")");
    if (FAILED(g_scope->TakeFailure("Direct3DCreate9", "Direct3DCreate9"))) {
        return nullptr;
    }
    return g_scope->Make(g_scope->interfaces)->com();
}

// Names the byte code after the shader made from it, so a log shows which
// shader a table belongs to.
std::string ByteCodeName(const DWORD* byteCode) {
    for (FakeVertexShader* shader : g_scope->vertexShaders) {
        if (byteCode != nullptr && shader->byteCode == byteCode) {
            return shader->name() + " code";
        }
    }
    for (FakePixelShader* shader : g_scope->pixelShaders) {
        if (byteCode != nullptr && shader->byteCode == byteCode) {
            return shader->name() + " code";
        }
    }
    return byteCode != nullptr ? "code" : "null";
}

HRESULT WINAPI FakeD3DXGetShaderConstantTable(const DWORD* byteCode, ID3DXConstantTable** table) {
    g_scope->log.push_back("D3DXGetShaderConstantTable(" + ByteCodeName(byteCode) + ")");
    const HRESULT failure =
        g_scope->TakeFailure("D3DXGetShaderConstantTable", "D3DXGetShaderConstantTable");
    if (FAILED(failure)) {
        return failure;
    }
    if (byteCode == nullptr || table == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *table = g_scope->Make(g_scope->constantTables, g_scope->constantNames, g_scope->constantShapes)
                 ->com();
    return S_OK;
}

void* Patch(const char* dll, const char* function, void* replacement) {
    return ReplaceImport(dll, function, replacement);
}

void Unpatch(const char* dll, const char* function, void* original) {
    if (original != nullptr) {
        ReplaceImport(dll, function, original);
    }
}

} // namespace

// ---- FakeObject -----------------------------------------------------------

FakeObject::FakeObject(FakeDirect3DScope& scope, const char* kind)
    : scope_(scope), kind_(kind), name_(scope.NewName(kind)) {}

HRESULT FakeObject::Record(const char* method, const std::string& arguments, bool touchesReleased) {
    std::string entry = Prefix() + method + "(" + arguments + ")";
    if (released() || touchesReleased) {
        entry = "USE AFTER RELEASE: " + entry;
        ++scope_.callsAfterRelease;
    }
    scope_.log.push_back(entry);
    if (Prefix().empty()) {
        return scope_.TakeFailure(method, method);
    }
    return scope_.TakeFailure(kind_ + "." + method, name_ + "." + method);
}

ULONG FakeObject::AddReference() {
    Record("AddRef", "");
    scope_.log.back() += " -> " + std::to_string(refCount_ + 1);
    return static_cast<ULONG>(++refCount_);
}

ULONG FakeObject::ReleaseReference() {
    if (refCount_ <= 0) {
        ++scope_.overReleases;
        scope_.log.push_back("OVER-RELEASE: " + Prefix() + "Release()");
        return 0;
    }
    --refCount_;
    scope_.log.push_back(Prefix() + "Release() -> " + std::to_string(refCount_));
    return static_cast<ULONG>(refCount_);
}

// ---- FakeDirect3DScope ----------------------------------------------------

FakeDirect3DScope::FakeDirect3DScope() {
    if (g_scope != nullptr) {
        throw std::logic_error("one FakeDirect3DScope at a time");
    }
    ResetGraphics();
    g_scope = this;
    createOriginal_ =
        Patch("d3d9.dll", "Direct3DCreate9", reinterpret_cast<void*>(&FakeDirect3DCreate9));
    constantTableOriginal_ = Patch("d3dx9_43.dll", "D3DXGetShaderConstantTable",
                                   reinterpret_cast<void*>(&FakeD3DXGetShaderConstantTable));
}

FakeDirect3DScope::~FakeDirect3DScope() {
    // The program's pointers go before the objects they point to.
    ResetGraphics();
    Unpatch("d3dx9_43.dll", "D3DXGetShaderConstantTable", constantTableOriginal_);
    Unpatch("d3d9.dll", "Direct3DCreate9", createOriginal_);
    g_scope = nullptr;
}

void FakeDirect3DScope::Fail(const std::string& call, HRESULT result, int times, int skip) {
    failures_[call] = {result, times, skip};
}

HRESULT FakeDirect3DScope::TakeFailure(const std::string& kindCall, const std::string& nameCall) {
    auto failure = failures_.find(nameCall);
    if (failure == failures_.end()) {
        failure = failures_.find(kindCall);
    }
    if (failure == failures_.end()) {
        return S_OK;
    }
    Failure& rule = failure->second;
    if (rule.skip > 0) {
        --rule.skip;
        return S_OK;
    }
    if (rule.times == 0) {
        return S_OK;
    }
    if (rule.times > 0) {
        --rule.times;
    }
    return rule.result;
}

int FakeDirect3DScope::CountCalls(const std::string& prefix) const {
    return static_cast<int>(CallsStartingWith(prefix).size());
}

std::vector<std::string> FakeDirect3DScope::CallsStartingWith(const std::string& prefix) const {
    std::vector<std::string> calls;
    for (const std::string& entry : log) {
        if (entry.compare(0, prefix.size(), prefix) == 0) {
            calls.push_back(entry);
        }
    }
    return calls;
}

std::string FakeDirect3DScope::NewName(const std::string& kind) {
    return kind + "#" + std::to_string(++counters_[kind]);
}

std::string FakeDirect3DScope::NameOf(const void* object) const {
    if (object == nullptr) {
        return "null";
    }
    const FakeObject* fake = Find(object);
    return fake != nullptr ? fake->name() : "?";
}

FakeObject* FakeDirect3DScope::Find(const void* object) const {
    const auto found = objects_.find(object);
    return found != objects_.end() ? found->second : nullptr;
}

void FakeDirect3DScope::Adopt(const void* com, std::unique_ptr<FakeObject> object) {
    objects_[com] = object.get();
    owned_.push_back(std::move(object));
}

// ---- FakeDirect3D ---------------------------------------------------------

HRESULT FakeDirect3D::RegisterSoftwareDevice(void*) {
    return Record("RegisterSoftwareDevice", "");
}
UINT FakeDirect3D::GetAdapterCount() {
    Record("GetAdapterCount", "");
    return 1;
}
HRESULT FakeDirect3D::GetAdapterIdentifier(UINT, DWORD, D3DADAPTER_IDENTIFIER9*) {
    Record("GetAdapterIdentifier", "");
    return D3DERR_INVALIDCALL;
}
UINT FakeDirect3D::GetAdapterModeCount(UINT, D3DFORMAT) {
    Record("GetAdapterModeCount", "");
    return 0;
}
HRESULT FakeDirect3D::EnumAdapterModes(UINT, D3DFORMAT, UINT, D3DDISPLAYMODE*) {
    Record("EnumAdapterModes", "");
    return D3DERR_INVALIDCALL;
}
HRESULT FakeDirect3D::GetAdapterDisplayMode(UINT, D3DDISPLAYMODE*) {
    Record("GetAdapterDisplayMode", "");
    return D3DERR_INVALIDCALL;
}
HRESULT FakeDirect3D::CheckDeviceType(UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT, WINBOOL) {
    return Record("CheckDeviceType", "");
}
HRESULT FakeDirect3D::CheckDeviceFormat(UINT, D3DDEVTYPE, D3DFORMAT, DWORD, D3DRESOURCETYPE,
                                        D3DFORMAT) {
    return Record("CheckDeviceFormat", "");
}
HRESULT FakeDirect3D::CheckDeviceMultiSampleType(UINT, D3DDEVTYPE, D3DFORMAT, WINBOOL,
                                                 D3DMULTISAMPLE_TYPE, DWORD*) {
    Record("CheckDeviceMultiSampleType", "");
    return D3DERR_NOTAVAILABLE;
}
HRESULT FakeDirect3D::CheckDepthStencilMatch(UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT, D3DFORMAT) {
    return Record("CheckDepthStencilMatch", "");
}
HRESULT FakeDirect3D::CheckDeviceFormatConversion(UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT) {
    return Record("CheckDeviceFormatConversion", "");
}
HRESULT FakeDirect3D::GetDeviceCaps(UINT, D3DDEVTYPE, D3DCAPS9*) {
    Record("GetDeviceCaps", "");
    return D3DERR_INVALIDCALL;
}
HMONITOR FakeDirect3D::GetAdapterMonitor(UINT) {
    Record("GetAdapterMonitor", "");
    return nullptr;
}

HRESULT FakeDirect3D::CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow,
                                   DWORD behaviorFlags, D3DPRESENT_PARAMETERS* parameters,
                                   IDirect3DDevice9** device) {
    DeviceCreation creation = {adapter, deviceType, focusWindow, behaviorFlags, {}};
    if (parameters != nullptr) {
        creation.parameters = *parameters;
    }
    scope_.deviceCreations.push_back(creation);
    const HRESULT failure =
        Record("CreateDevice", LogArguments(adapter, deviceType, Hex{behaviorFlags}));
    if (FAILED(failure)) {
        return failure;
    }
    if (parameters == nullptr || device == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    const D3DDEVICE_CREATION_PARAMETERS deviceCreation = {adapter, deviceType, focusWindow,
                                                          behaviorFlags};
    *device = scope_.Make(scope_.devices, deviceCreation)->com();
    return S_OK;
}

// ---- Buffers --------------------------------------------------------------

FakeBufferBytes::FakeBufferBytes(UINT length)
    : length_(length), storage_(static_cast<size_t>(length) + guardSize, unwrittenByte) {}

std::vector<BYTE> FakeBufferBytes::Bytes() const {
    return std::vector<BYTE>(storage_.begin(), storage_.begin() + length_);
}

bool FakeBufferBytes::GuardIntact() const {
    for (size_t i = length_; i < storage_.size(); ++i) {
        if (storage_[i] != unwrittenByte) {
            return false;
        }
    }
    return true;
}

HRESULT FakeBufferBytes::LockBytes(HRESULT recorded, UINT offset, UINT size, void** data,
                                   DWORD flags) {
    locks.push_back({offset, size, flags});
    if (FAILED(recorded)) {
        return recorded;
    }
    if (data == nullptr || offset > length_ || size > length_ - offset) {
        return D3DERR_INVALIDCALL;
    }
    *data = storage_.data() + offset;
    locked = true;
    return S_OK;
}

HRESULT FakeVertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* description) {
    const HRESULT failure = Record("GetDesc", "");
    if (SUCCEEDED(failure) && description != nullptr) {
        *description = {D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, usage, pool, length(), fvf};
    }
    return failure;
}

HRESULT FakeIndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* description) {
    const HRESULT failure = Record("GetDesc", "");
    if (SUCCEEDED(failure) && description != nullptr) {
        *description = {format, D3DRTYPE_INDEXBUFFER, usage, pool, length()};
    }
    return failure;
}

FakeVertexDeclaration::FakeVertexDeclaration(FakeDirect3DScope& scope,
                                             const D3DVERTEXELEMENT9* given)
    : FakeCom(scope, "decl") {
    const D3DVERTEXELEMENT9 end = D3DDECL_END();
    for (int i = 0; i <= MAXD3DDECLLENGTH; ++i) {
        elements.push_back(given[i]);
        if (given[i].Stream == end.Stream) {
            break;
        }
    }
}

// ---- The program's state --------------------------------------------------

void RunProcessExitTeardown() {
    g_graphics.~GraphicsContext();
    new (&g_graphics) GraphicsContext{};
}

void ResetGraphics() {
    ShutDownGraphics();
    RunProcessExitTeardown();
}
