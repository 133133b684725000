// The device's own cost: the program's window, device and loop, and a frame
// that only clears and presents.
#include "bench/bench_window.h"

namespace {

void ClearAndPresent(IDirect3DDevice9* device) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device->Present(nullptr, nullptr, nullptr, nullptr);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    HWND window = CreateBenchWindow(instance, "Bench Bare Loop", showCommand);
    if (window == nullptr) {
        return 2;
    }
    IDirect3D9* direct3D = nullptr;
    IDirect3DDevice9* device = CreateBenchDevice(window, &direct3D);
    if (device == nullptr) {
        return 2;
    }
    const int exitCode = RunBenchLoop(ClearAndPresent, device);
    device->Release();
    direct3D->Release();
    return exitCode;
}
