#pragma once

// Every Direct3D and D3DX object is owned by one field: release it once and
// clear the field, so that teardown is safe after any failure and safe twice.
template <typename Interface> void ReleaseAndClear(Interface*& object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}
