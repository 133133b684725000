#pragma once

// Direct3D test doubles: fakes of the real COM interfaces that record every
// call, so tests can assert what the program asked of Direct3D and D3DX.
//
//     FakeDirect3DScope d3d;            // Direct3DCreate9 and
//                                       // D3DXGetShaderConstantTable now hand
//                                       // out fakes; g_graphics is reset
//     d3d.Fail("CreateIndexBuffer", E_OUTOFMEMORY);
//     ASSERT_TRUE(InitializeGraphics(FakeWindow()));
//     EXPECT_EQ(1, d3d.CountCalls("CreateVertexBuffer("));
//     EXPECT_EQ("Clear(0, null, 3, 0xff000000, 1, 0)", d3d.log[5]);
//     std::vector<Vertex> vertices = d3d.vertexBuffers[0]->As<Vertex>();
//     EXPECT_EQ(0, d3d.callsAfterRelease);
//
// The call log. One log for all fakes of a scope, in call order. Device calls
// read like the call in code ("SetStreamSource(0, vb#1, 0, 16)"); calls on
// any other object carry its name ("vb#1.Lock(0, 0, 0)", "d3d#1.CreateDevice(
// 0, 1, 0x40)", "ct#2.SetMatrix(dev#1, g_transform_worldToView)"); the two
// free functions read "Direct3DCreate9(32)" and "D3DXGetShaderConstantTable(
// ps#1 code)". Objects are named by kind and creation order: d3d#N, dev#N,
// vb#N, ib#N, decl#N, vs#N, ps#N, ct#N; null prints "null", a pointer that
// is no fake prints "?", a handle of a fake table prints its constant's name.
// Counts and enumerations print in decimal, usages and behaviour flags and
// colours in hex, floats with %g. AddRef and Release are logged with the new
// count: "vb#1.Release() -> 0", and for the device "Release() -> 0".
//
// Failures on demand. Fail(call, result, times, skip) makes a call return
// `result` (and output nothing) after `skip` successful calls, for `times`
// calls (Always: every later call). A device call is named
// by its method ("CreateVertexBuffer"); a call on another object by its kind
// or its name and the method ("vb.Lock" for every vertex buffer, "vb#2.Lock"
// for one, "ib.Unlock", "ct.SetMatrix", "d3d.CreateDevice"); the free
// functions by their names. A failing Direct3DCreate9 returns null.
//
// Lifetime. Reference counts are real and every Release returns the new
// count, but the scope owns the memory: a fake whose count reached 0 stays
// readable and records any later call as "USE AFTER RELEASE: <entry>" and
// in callsAfterRelease; a Release below 0 counts in overReleases. Unlike a
// real device, objects made by the device do NOT hold a reference on it, so
// the device reaches 0 exactly when the program has released its own
// reference, and every later call on it (or a constant table given it) is
// a use after release. QueryInterface answers E_NOINTERFACE.
//
// Constant tables. D3DXGetShaderConstantTable gives a FakeConstantTable that
// knows the names in constantNames (at the time it is made): GetConstantByName
// returns a stable handle for those and null for others; GetConstantDesc
// describes those in constantShapes; setters record their values bit-exactly
// in `settings`.
//
// One scope at a time. It resets g_graphics when it starts and when it ends
// (releasing through the fakes, which are still alive), so no test sees
// another's state and nothing dangles at process exit.

#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>
#include <d3d9.h>
#include <d3dx9shader.h>

#include "tests/support/fake_com.h"
#include "tests/support/fake_constant_table.h"
#include "tests/support/fake_device.h"
#include "tests/support/fake_resources.h"

// A window for the device the doubles create: the program refuses a device
// without one, and the doubles never look at it.
inline HWND FakeWindow() {
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));
}

class FakeDirect3DScope {
public:
    static const int Always = -1;

    FakeDirect3DScope();
    ~FakeDirect3DScope();
    FakeDirect3DScope(const FakeDirect3DScope&) = delete;
    FakeDirect3DScope& operator=(const FakeDirect3DScope&) = delete;

    void Fail(const std::string& call, HRESULT result, int times = Always, int skip = 0);

    // Log entries that start with `prefix`, e.g. "DrawIndexedPrimitive(".
    int CountCalls(const std::string& prefix) const;
    std::vector<std::string> CallsStartingWith(const std::string& prefix) const;
    // The latest device made, or null.
    FakeDevice* device() const { return devices.empty() ? nullptr : devices.back(); }

    std::vector<std::string> log;
    int callsAfterRelease = 0;
    int overReleases = 0;
    // DrawIndexedPrimitive calls that read something unbound, released or
    // too small.
    int invalidDraws = 0;
    // Names the next fake constant tables know.
    std::set<std::string> constantNames = {"g_colorModifier", "g_transform_worldToView",
                                           "g_transform_viewToScreen", "g_transform_modelToWorld"};
    // Their shapes, as the frame sets them.
    ConstantShapes constantShapes = {
        {"g_colorModifier", ConstantOf(D3DXPC_VECTOR, 1, 3)},
        {"g_transform_worldToView", ConstantOf(D3DXPC_MATRIX_COLUMNS, 4, 4)},
        {"g_transform_viewToScreen", ConstantOf(D3DXPC_MATRIX_COLUMNS, 4, 4)},
        {"g_transform_modelToWorld", ConstantOf(D3DXPC_MATRIX_COLUMNS, 4, 4)}};
    std::vector<DeviceCreation> deviceCreations;

    // Every fake made, by kind, in creation order.
    std::vector<FakeDirect3D*> interfaces;
    std::vector<FakeDevice*> devices;
    std::vector<FakeVertexBuffer*> vertexBuffers;
    std::vector<FakeIndexBuffer*> indexBuffers;
    std::vector<FakeVertexDeclaration*> declarations;
    std::vector<FakeVertexShader*> vertexShaders;
    std::vector<FakePixelShader*> pixelShaders;
    std::vector<FakeConstantTable*> constantTables;

    // Used by the fakes.
    template <typename T, typename... Arguments>
    T* Make(std::vector<T*>& list, Arguments&&... arguments) {
        auto object = std::make_unique<T>(*this, std::forward<Arguments>(arguments)...);
        T* made = object.get();
        Adopt(made->com(), std::move(object));
        list.push_back(made);
        return made;
    }
    std::string NewName(const std::string& kind);
    std::string NameOf(const void* object) const;
    FakeObject* Find(const void* object) const;
    HRESULT TakeFailure(const std::string& kindCall, const std::string& nameCall);

private:
    struct Failure {
        HRESULT result;
        int times;
        int skip;
    };
    void Adopt(const void* com, std::unique_ptr<FakeObject> object);

    std::map<std::string, Failure> failures_;
    std::map<std::string, int> counters_;
    std::map<const void*, FakeObject*> objects_;
    std::vector<std::unique_ptr<FakeObject>> owned_;
    // Imports put back at the end; null when the executable does not import
    // the function (then nothing in it can call it).
    void* createOriginal_ = nullptr;
    void* constantTableOriginal_ = nullptr;
};

// What the runtime does with g_graphics when the process ends: its
// destructor runs, here in place, and it gets the state of process start.
void RunProcessExitTeardown();

// The program's shutdown, then the process-exit teardown: nothing is left
// held, and no test sees another's state.
void ResetGraphics();
