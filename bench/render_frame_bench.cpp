// The per-frame work of RenderFrame itself, with the Direct3D test doubles in
// place of the device: heap allocations, calls and CPU time per frame. Run it
// from the program's folder (scripts/bench.sh does) so that the material and
// its shaders load. Prints a Markdown table on standard output.
//
// The recording fakes count the calls. They also build a log string per call,
// which would count as the frame's allocations and time, so allocations and
// time are measured against subclasses of the same fakes that only count.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <windows.h>

#include "graphics/graphics_context.h"
#include "tests/support/fake_direct3d.h"
#include "tests/support/import_patch.h"
#include "tests/support/message_boxes.h"
#include "tests/support/win32_fakes.h"

namespace {

const int warmUpFrames = 100;
const int countedFrames = 1000;
const int timedBatches = 21;
const int framesPerBatch = 100000;

// ---- Heap allocations made through this executable's imports --------------
// The program's code is linked into this executable, so every malloc, calloc,
// realloc or operator new of it (the C++ runtime is linked in too, and calls
// malloc) goes through the import table, as does a direct HeapAlloc.

using MallocFunction = void*(__cdecl*)(size_t);
using CallocFunction = void*(__cdecl*)(size_t, size_t);
using ReallocFunction = void*(__cdecl*)(void*, size_t);
using HeapAllocFunction = LPVOID(WINAPI*)(HANDLE, DWORD, SIZE_T);

MallocFunction g_malloc;
CallocFunction g_calloc;
ReallocFunction g_realloc;
HeapAllocFunction g_heapAlloc;
long g_allocations;

void* __cdecl CountingMalloc(size_t size) {
    ++g_allocations;
    return g_malloc(size);
}

void* __cdecl CountingCalloc(size_t count, size_t size) {
    ++g_allocations;
    return g_calloc(count, size);
}

void* __cdecl CountingRealloc(void* block, size_t size) {
    ++g_allocations;
    return g_realloc(block, size);
}

LPVOID WINAPI CountingHeapAlloc(HANDLE heap, DWORD flags, SIZE_T size) {
    ++g_allocations;
    return g_heapAlloc(heap, flags, size);
}

// The function as the DLL exports it, whatever this executable imports.
template <typename Function> Function RealFunction(const char* dll, const char* function) {
    // A plain void (*)() stands between function pointer types of any kind.
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA(dll), function)));
}

// The real functions are taken from their DLLs before any entry is replaced,
// so that no counting function can run without its original.
void ResolveAllocators() {
    g_malloc = RealFunction<MallocFunction>("msvcrt.dll", "malloc");
    g_calloc = RealFunction<CallocFunction>("msvcrt.dll", "calloc");
    g_realloc = RealFunction<ReallocFunction>("msvcrt.dll", "realloc");
    g_heapAlloc = RealFunction<HeapAllocFunction>("kernel32.dll", "HeapAlloc");
}

class AllocationCount {
public:
    AllocationCount()
        : malloc_("msvcrt.dll", "malloc", reinterpret_cast<void*>(&CountingMalloc)),
          calloc_("msvcrt.dll", "calloc", reinterpret_cast<void*>(&CountingCalloc)),
          realloc_("msvcrt.dll", "realloc", reinterpret_cast<void*>(&CountingRealloc)),
          // Imported only once some code of the executable calls it.
          heapAllocImported_(ReplaceImport("kernel32.dll", "HeapAlloc",
                                           reinterpret_cast<void*>(&CountingHeapAlloc)) !=
                             nullptr) {
        g_allocations = 0;
    }
    ~AllocationCount() {
        if (heapAllocImported_) {
            ReplaceImport("kernel32.dll", "HeapAlloc", reinterpret_cast<void*>(g_heapAlloc));
        }
    }
    AllocationCount(const AllocationCount&) = delete;
    AllocationCount& operator=(const AllocationCount&) = delete;

    long count() const { return g_allocations; }

private:
    ImportPatch malloc_;
    ImportPatch calloc_;
    ImportPatch realloc_;
    bool heapAllocImported_;
};

// A counter that could not see an allocation would report a false zero.
bool AllocationCountWorks() {
    AllocationCount allocations;
    std::string* text = new std::string(100, 'x');
    void* block = std::malloc(64);
    const bool works = allocations.count() >= 3 && !text->empty() && block != nullptr;
    std::free(block);
    delete text;
    return works;
}

// ---- Doubles that only count ----------------------------------------------

class CountingDevice : public FakeDevice {
public:
    using FakeDevice::FakeDevice;
    long calls = 0;

    HRESULT STDMETHODCALLTYPE Present(const RECT*, const RECT*, HWND, const RGNDATA*) override {
        return Count();
    }
    HRESULT STDMETHODCALLTYPE BeginScene() override { return Count(); }
    HRESULT STDMETHODCALLTYPE EndScene() override { return Count(); }
    HRESULT STDMETHODCALLTYPE Clear(DWORD, const D3DRECT*, DWORD, D3DCOLOR, float, DWORD) override {
        return Count();
    }
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE, INT, UINT, UINT, UINT,
                                                   UINT) override {
        return Count();
    }
    HRESULT STDMETHODCALLTYPE SetVertexShader(IDirect3DVertexShader9*) override { return Count(); }
    HRESULT STDMETHODCALLTYPE SetPixelShader(IDirect3DPixelShader9*) override { return Count(); }
    HRESULT STDMETHODCALLTYPE SetVertexShaderConstantF(UINT, const float*, UINT) override {
        return Count();
    }
    HRESULT STDMETHODCALLTYPE SetPixelShaderConstantF(UINT, const float*, UINT) override {
        return Count();
    }
    HRESULT STDMETHODCALLTYPE SetStreamSource(UINT, IDirect3DVertexBuffer9*, UINT, UINT) override {
        return Count();
    }
    HRESULT STDMETHODCALLTYPE SetIndices(IDirect3DIndexBuffer9*) override { return Count(); }

private:
    HRESULT Count() {
        ++calls;
        return S_OK;
    }
};

class CountingConstantTable : public FakeConstantTable {
public:
    using FakeConstantTable::FakeConstantTable;
    long calls = 0;

    HRESULT STDMETHODCALLTYPE SetDefaults(IDirect3DDevice9*) override { return Count(); }
    HRESULT STDMETHODCALLTYPE SetFloatArray(IDirect3DDevice9*, D3DXHANDLE, const float*,
                                            UINT) override {
        return Count();
    }
    HRESULT STDMETHODCALLTYPE SetMatrix(IDirect3DDevice9*, D3DXHANDLE, const D3DXMATRIX*) override {
        return Count();
    }

private:
    HRESULT Count() {
        ++calls;
        return S_OK;
    }
};

// Puts the counting doubles where the frame looks for the device and the
// constant tables, and the recording fakes back when it goes out of scope.
class CountingDoubles {
public:
    explicit CountingDoubles(FakeDirect3DScope& scope)
        : device_(scope, {}), vertexTable_(scope, {}), fragmentTable_(scope, {}),
          saved_(Pointers()) {
        GraphicsContext& context = g_graphics;
        context.device = device_.com();
        context.cube.device = device_.com();
        context.square.device = device_.com();
        context.material.vertexConstantTable = vertexTable_.com();
        context.material.fragmentConstantTable = fragmentTable_.com();
    }
    ~CountingDoubles() {
        GraphicsContext& context = g_graphics;
        context.device = saved_.device;
        context.cube.device = saved_.cubeDevice;
        context.square.device = saved_.squareDevice;
        context.material.vertexConstantTable = saved_.vertexTable;
        context.material.fragmentConstantTable = saved_.fragmentTable;
    }
    CountingDoubles(const CountingDoubles&) = delete;
    CountingDoubles& operator=(const CountingDoubles&) = delete;

    long calls() const { return device_.calls + vertexTable_.calls + fragmentTable_.calls; }

private:
    struct Saved {
        IDirect3DDevice9* device;
        IDirect3DDevice9* cubeDevice;
        IDirect3DDevice9* squareDevice;
        ID3DXConstantTable* vertexTable;
        ID3DXConstantTable* fragmentTable;
    };
    static Saved Pointers() {
        const GraphicsContext& context = g_graphics;
        return {context.device, context.cube.device, context.square.device,
                context.material.vertexConstantTable, context.material.fragmentConstantTable};
    }

    CountingDevice device_;
    CountingConstantTable vertexTable_;
    CountingConstantTable fragmentTable_;
    Saved saved_;
};

// ---- Time ----------------------------------------------------------------

// The program's clock reads the faked counter; the bench reads the real one.
using CounterFunction = BOOL(WINAPI*)(LARGE_INTEGER*);

double Seconds() {
    static const CounterFunction readCounter =
        RealFunction<CounterFunction>("kernel32.dll", "QueryPerformanceCounter");
    static const CounterFunction readFrequency =
        RealFunction<CounterFunction>("kernel32.dll", "QueryPerformanceFrequency");
    LARGE_INTEGER count;
    LARGE_INTEGER frequency;
    readCounter(&count);
    readFrequency(&frequency);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double ThreadCpuSeconds() {
    FILETIME creation, exit, kernel, user;
    GetThreadTimes(GetCurrentThread(), &creation, &exit, &kernel, &user);
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) * 1e-7;
}

// Microseconds per frame of each batch, sorted.
std::vector<double> TimeBatches() {
    std::vector<double> perFrame;
    for (int batch = 0; batch < timedBatches; ++batch) {
        const double start = Seconds();
        for (int frame = 0; frame < framesPerBatch; ++frame) {
            RenderFrame();
        }
        perFrame.push_back((Seconds() - start) * 1e6 / framesPerBatch);
    }
    std::sort(perFrame.begin(), perFrame.end());
    return perFrame;
}

void RunFrames(int count) {
    for (int frame = 0; frame < count; ++frame) {
        RenderFrame();
    }
}

// "ct#1.SetMatrix(dev#1, g_transform_worldToView)" -> "ct#1.SetMatrix"
std::string CallName(const std::string& entry) {
    return entry.substr(0, entry.find('('));
}

const char* Goal(bool met) {
    return met ? "met" : "NOT met";
}

} // namespace

int main() {
    ResolveAllocators();
    FakeDirect3DScope direct3D;
    MessageBoxCapture messageBoxes;
    FakeKeyboard keyboard;
    FakePerformanceCounter counter;
    // A held key keeps the movement arithmetic busy in every frame.
    keyboard.Press(VK_RIGHT);
    keyboard.Press('W');

    if (!InitializeGraphics(FakeWindow())) {
        std::printf("InitializeGraphics failed with the test doubles\n");
        return 1;
    }
    for (const CapturedMessageBox& box : messageBoxes.boxes) {
        std::printf("Start-up reported \"%s\": %s\n\n", box.caption.c_str(), box.text.c_str());
    }

    // Calls, with the recording fakes.
    RunFrames(warmUpFrames);
    const size_t logBefore = direct3D.log.size();
    const int drawsBefore = direct3D.CountCalls("DrawIndexedPrimitive(");
    const int keysBefore = keyboard.TotalQueries();
    const int countsBefore = counter.counterQueries;
    const double recordingStart = Seconds();
    RunFrames(countedFrames);
    const double recordingMicroseconds = (Seconds() - recordingStart) * 1e6 / countedFrames;
    const size_t callsPerFrame = (direct3D.log.size() - logBefore) / countedFrames;
    const double draws =
        static_cast<double>(direct3D.CountCalls("DrawIndexedPrimitive(") - drawsBefore) /
        countedFrames;
    const double keys = static_cast<double>(keyboard.TotalQueries() - keysBefore) / countedFrames;
    const double counterReads =
        static_cast<double>(counter.counterQueries - countsBefore) / countedFrames;
    std::string oneFrame;
    for (size_t i = direct3D.log.size() - callsPerFrame; i < direct3D.log.size(); ++i) {
        oneFrame += (oneFrame.empty() ? "" : ", ") + CallName(direct3D.log[i]);
    }

    // Allocations and time, with doubles that only count.
    const bool allocationCountWorks = AllocationCountWorks();
    long allocations = 0;
    std::vector<double> batches;
    double cpuMicroseconds = 0.0;
    long doubleCalls = 0;
    const size_t recordedBefore = direct3D.log.size();
    {
        CountingDoubles doubles(direct3D);
        RunFrames(warmUpFrames);
        {
            AllocationCount allocationCount;
            RunFrames(countedFrames);
            allocations = allocationCount.count();
        }
        const double cpuStart = ThreadCpuSeconds();
        batches = TimeBatches();
        cpuMicroseconds = (ThreadCpuSeconds() - cpuStart) * 1e6 / (timedBatches * framesPerBatch);
        doubleCalls = doubles.calls();
    }
    // The timed frames must have made the same calls as the recorded ones.
    const long doubleFrames = warmUpFrames + countedFrames + timedBatches * framesPerBatch;
    const bool sameCalls = doubleCalls == static_cast<long>(callsPerFrame) * doubleFrames;
    // A frame call that the counting doubles do not take would have been
    // recorded, and its log string counted as the frame's allocation.
    const size_t strayCalls = direct3D.log.size() - recordedBefore;

    std::printf("| per frame | measured | goal |\n");
    std::printf("|---|---:|---|\n");
    std::printf("| heap allocations | %.3f (%ld in %d frames) | 0: %s |\n",
                static_cast<double>(allocations) / countedFrames, allocations, countedFrames,
                Goal(allocations == 0 && allocationCountWorks && strayCalls == 0));
    std::printf("| draw calls | %.2f | 2: %s |\n", draws, Goal(draws == 2.0));
    std::printf("| key queries (GetAsyncKeyState) | %.2f | 8: %s |\n", keys, Goal(keys == 8.0));
    std::printf("| performance counter reads | %.2f | 1: %s |\n", counterReads,
                Goal(counterReads == 1.0));
    std::printf("| Direct3D and D3DX calls | %zu | |\n", callsPerFrame);
    std::printf("| time in RenderFrame's own code, microseconds (median of %d batches of %d "
                "frames) | %.3f (fastest batch %.3f) | |\n",
                timedBatches, framesPerBatch, batches[batches.size() / 2], batches.front());
    std::printf("| thread CPU time over those batches, microseconds | %.3f | |\n", cpuMicroseconds);
    std::printf("| the same frames with the recording fakes, microseconds | %.3f | |\n",
                recordingMicroseconds);
    std::printf("\nOne frame's calls: %s.\n", oneFrame.c_str());
    if (!allocationCountWorks) {
        std::printf("\nThe allocation count did not see a test allocation: its zero means "
                    "nothing.\n");
    }
    if (!sameCalls) {
        std::printf("\nThe counting doubles took %.2f calls per frame, not %zu.\n",
                    static_cast<double>(doubleCalls) / doubleFrames, callsPerFrame);
    }
    if (strayCalls != 0) {
        std::printf("\n%zu calls reached the recording fakes during the counted frames, "
                    "first: %s.\n",
                    strayCalls, direct3D.log[recordedBefore].c_str());
    }
    return 0;
}
