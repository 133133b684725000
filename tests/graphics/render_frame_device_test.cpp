// Frames on Wine's real device, with the program's own compiled shaders and
// material, run from the program's folder.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "graphics/graphics_context.h"
#include "tests/support/child_process.h"
#include "tests/support/fake_direct3d.h"
#include "tests/support/import_patch.h"
#include "tests/support/message_boxes.h"
#include "tests/support/test_windows.h"
#include "tests/support/win32_fakes.h"

// Every allocation of this executable's code, the program's included, while
// counting is on. Direct3D's and D3DX's own allocations happen inside their
// DLLs and are not the program's.
namespace {
bool g_countingAllocations = false;
int g_allocations = 0;
} // namespace

void* operator new(std::size_t size) {
    if (g_countingAllocations) {
        ++g_allocations;
    }
    void* memory = std::malloc(size == 0 ? 1 : size);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return memory;
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}

namespace {

const int width = 800;
const int height = 600;

void* g_realMalloc;
void* g_realCalloc;
void* g_realRealloc;

void* __cdecl CountingMalloc(size_t size) {
    g_allocations += g_countingAllocations ? 1 : 0;
    return reinterpret_cast<void*(__cdecl*)(size_t)>(g_realMalloc)(size);
}
void* __cdecl CountingCalloc(size_t count, size_t size) {
    g_allocations += g_countingAllocations ? 1 : 0;
    return reinterpret_cast<void*(__cdecl*)(size_t, size_t)>(g_realCalloc)(count, size);
}
void* __cdecl CountingRealloc(void* memory, size_t size) {
    g_allocations += g_countingAllocations ? 1 : 0;
    return reinterpret_cast<void*(__cdecl*)(void*, size_t)>(g_realRealloc)(memory, size);
}

// The runtime's allocators as the program's code imports them.
class AllocationCount {
public:
    AllocationCount()
        : malloc_("msvcrt.dll", "malloc", reinterpret_cast<void*>(&CountingMalloc)),
          calloc_("msvcrt.dll", "calloc", reinterpret_cast<void*>(&CountingCalloc)),
          realloc_("msvcrt.dll", "realloc", reinterpret_cast<void*>(&CountingRealloc)) {
        g_realMalloc = malloc_.original();
        g_realCalloc = calloc_.original();
        g_realRealloc = realloc_.original();
        g_allocations = 0;
    }
    bool Intercepted() const {
        return g_realMalloc != nullptr && g_realCalloc != nullptr && g_realRealloc != nullptr;
    }
    void Start() { g_countingAllocations = true; }
    int Stop() {
        g_countingAllocations = false;
        return g_allocations;
    }

private:
    ImportPatch malloc_;
    ImportPatch calloc_;
    ImportPatch realloc_;
};

// --- Reading the back buffer as the frame presents it --------------------

// With a discarding swap effect the back buffer is undefined once presented,
// so it is read inside Present, just before the real one runs. The device's
// own table of methods is swapped for a copy with Present replaced; the
// method order is fixed by the interface.
const int deviceMethodCount = 119;
const int presentMethod = 17;

using PresentMethod = HRESULT(STDMETHODCALLTYPE*)(IDirect3DDevice9*, const RECT*, const RECT*, HWND,
                                                  const RGNDATA*);

class PresentCapture;
PresentCapture* g_presentCapture;

class PresentCapture {
public:
    explicit PresentCapture(IDirect3DDevice9* device)
        : device_(device), realTable_(*reinterpret_cast<void***>(device)) {
        std::memcpy(table_, realTable_, sizeof(table_));
        table_[presentMethod] = reinterpret_cast<void*>(&CapturingPresent);
        *reinterpret_cast<void***>(device_) = table_;
        g_presentCapture = this;
    }
    ~PresentCapture() {
        *reinterpret_cast<void***>(device_) = realTable_;
        g_presentCapture = nullptr;
    }
    PresentCapture(const PresentCapture&) = delete;
    PresentCapture& operator=(const PresentCapture&) = delete;

    // X8R8G8B8 of the last presented frame, row by row; empty when reading
    // failed.
    std::vector<uint32_t> pixels;
    int presents = 0;

private:
    static HRESULT STDMETHODCALLTYPE CapturingPresent(IDirect3DDevice9* device, const RECT* source,
                                                      const RECT* destination, HWND window,
                                                      const RGNDATA* dirty) {
        PresentCapture& capture = *g_presentCapture;
        ++capture.presents;
        capture.pixels = ReadBackBuffer(capture.device_);
        const PresentMethod present =
            reinterpret_cast<PresentMethod>(capture.realTable_[presentMethod]);
        return present(device, source, destination, window, dirty);
    }

    IDirect3DDevice9* device_;
    void** realTable_;
    void* table_[deviceMethodCount];
};

// --- What the first frame should show ------------------------------------

struct Color {
    int red;
    int green;
    int blue;
};

Color PixelAt(const std::vector<uint32_t>& pixels, int x, int y) {
    const uint32_t pixel = pixels[y * width + x];
    return {static_cast<int>((pixel >> 16) & 0xFF), static_cast<int>((pixel >> 8) & 0xFF),
            static_cast<int>(pixel & 0xFF)};
}

// The camera at (0, 0, -10) looking along +z, 60 degrees vertically, 4/3.
const double yScale = 1.0 / std::tan(3.14159265358979 / 6.0);
const double xScale = yScale / (4.0 / 3.0);

// The cube's z = -1 face, 9 units in front of the camera, is a square whose
// corners, from the lower left anticlockwise on screen, are black, blue,
// green and cyan; it is two triangles split from cyan to blue. (u, v) run
// from its left and bottom edges to 1.
struct FacePoint {
    int x;
    int y;
    Color color;
};

FacePoint CubeFacePoint(double u, double v) {
    const double halfSize = (1.0 / 9.0) * xScale * width / 2; // as much vertically
    const int x = static_cast<int>(std::floor(width / 2 - halfSize + 2 * halfSize * u));
    const int y = static_cast<int>(std::floor(height / 2 + halfSize - 2 * halfSize * v));
    const double blue = u + v <= 1.0 ? u + v : 2.0 - u - v;
    return {x, y, {0, static_cast<int>(255 * v + 0.5), static_cast<int>(255 * blue + 0.5)}};
}

// The floor at y = -1 from -5 to 5 in x and z: white at the near left
// corner, 0x7F at the near right, 0x40 at the far right, 0x20 at the far
// left, two triangles split from near left to far right. The pixel's ray
// finds the floor point; colors interpolate across the triangle in world
// space.
int FloorGray(int pixelX, int pixelY) {
    const double screenX = (pixelX + 0.5 - width / 2) / (width / 2);
    const double screenY = (height / 2 - (pixelY + 0.5)) / (height / 2);
    const double depth = yScale / -screenY; // where the ray meets y = -1
    const double s = (screenX * depth / xScale + 5.0) / 10.0;
    const double t = (depth - 10.0 + 5.0) / 10.0;
    const double gray = t >= s ? 255 * (1 - t) + 0x20 * (t - s) + 0x40 * s
                               : 255 * (1 - s) + 0x7F * (s - t) + 0x40 * t;
    return static_cast<int>(gray + 0.5);
}

void ExpectColorNear(const Color& expected, const Color& actual, int tolerance, int x, int y) {
    EXPECT_NEAR(expected.red, actual.red, tolerance) << "at (" << x << ", " << y << ")";
    EXPECT_NEAR(expected.green, actual.green, tolerance) << "at (" << x << ", " << y << ")";
    EXPECT_NEAR(expected.blue, actual.blue, tolerance) << "at (" << x << ", " << y << ")";
}

// --- The program on a window of the test ---------------------------------

class RenderFrameDeviceTest : public RealDeviceTest {
protected:
    void SetUp() override {
        ResetGraphics();
        // The material names its shaders relative to the program's folder.
        const std::string folder = WindowsPath(GAME_OUTPUT_DIR);
        ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str())) << folder;
        ASSERT_NO_FATAL_FAILURE(OpenWindow());
        keyboard.foregroundWindow = window;
        ASSERT_TRUE(InitializeGraphics(window));
        EXPECT_TRUE(messageBoxes.boxes.empty()) << messageBoxes.boxes[0].text;
        ASSERT_NE(nullptr, g_graphics.material.vertexConstantTable);
        ASSERT_NE(nullptr, g_graphics.material.fragmentConstantTable);
        ASSERT_NE(nullptr, g_graphics.square.indexBuffer);
        device = g_graphics.device;
    }

    // No key of anyone else's test on the display reaches the frames.
    FakeKeyboard keyboard;
    MessageBoxCapture messageBoxes;
};

TEST_F(RenderFrameDeviceTest, FirstFrameShowsTheCubeOnTheFloor) {
    std::vector<uint32_t> pixels;
    {
        PresentCapture capture(device);
        RenderFrame();
        ASSERT_EQ(1, capture.presents);
        pixels = capture.pixels;
    }
    ASSERT_EQ(static_cast<size_t>(width * height), pixels.size());

    const double insets[][2] = {{0.25, 0.25}, {0.75, 0.25}, {0.75, 0.75}, {0.25, 0.75},
                                {0.5, 0.5},   {0.5, 0.2},   {0.2, 0.5}};
    for (const auto& inset : insets) {
        const FacePoint point = CubeFacePoint(inset[0], inset[1]);
        ExpectColorNear(point.color, PixelAt(pixels, point.x, point.y), 16, point.x, point.y);
    }

    const int floorPoints[][2] = {{100, 390}, {700, 390}, {400, 385}, {250, 350}, {550, 350}};
    for (const auto& point : floorPoints) {
        const int gray = FloorGray(point[0], point[1]);
        ExpectColorNear({gray, gray, gray}, PixelAt(pixels, point[0], point[1]), 12, point[0],
                        point[1]);
    }
    // The gradient runs from the white near left to the dark far corners.
    EXPECT_GT(PixelAt(pixels, 100, 390).red, PixelAt(pixels, 700, 390).red + 40);
    EXPECT_GT(PixelAt(pixels, 250, 350).red, PixelAt(pixels, 550, 350).red);

    const int backgroundPoints[][2] = {{400, 100}, {400, 500}, {50, 300}, {750, 300}};
    for (const auto& point : backgroundPoints) {
        ExpectColorNear({0, 0, 0}, PixelAt(pixels, point[0], point[1]), 4, point[0], point[1]);
    }
}

TEST_F(RenderFrameDeviceTest, FramesAllocateNothing) {
    // Every step runs: moving keys, shaders, constants, both draws.
    keyboard.Press(VK_RIGHT);
    keyboard.Press('W');
    AllocationCount allocations;
    ASSERT_TRUE(allocations.Intercepted());
    // The fake keyboard files each key on its first query.
    RenderFrame();
    allocations.Start();
    for (int frame = 0; frame < 200; ++frame) {
        RenderFrame();
    }
    EXPECT_EQ(0, allocations.Stop());
    EXPECT_GT(g_graphics.cube.position.x, 0.0f);
}

} // namespace
