#include "tests/support/import_patch.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#include <windows.h>

namespace {

template <typename T> T* At(BYTE* base, DWORD offset) {
    return reinterpret_cast<T*>(base + offset);
}

void** FindImportSlot(const char* dll, const char* function) {
    BYTE* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = At<IMAGE_NT_HEADERS>(base, dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) {
        return nullptr;
    }
    for (auto* import = At<IMAGE_IMPORT_DESCRIPTOR>(base, directory.VirtualAddress);
         import->Name != 0; ++import) {
        if (_stricmp(At<char>(base, import->Name), dll) != 0) {
            continue;
        }
        // The name table and the address table run in parallel.
        auto* names =
            At<IMAGE_THUNK_DATA>(base, import->OriginalFirstThunk != 0 ? import->OriginalFirstThunk
                                                                       : import->FirstThunk);
        auto* addresses = At<IMAGE_THUNK_DATA>(base, import->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++addresses) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                continue;
            }
            auto* byName =
                At<IMAGE_IMPORT_BY_NAME>(base, static_cast<DWORD>(names->u1.AddressOfData));
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0) {
                return reinterpret_cast<void**>(&addresses->u1.Function);
            }
        }
    }
    return nullptr;
}

} // namespace

void* ReplaceImport(const char* dll, const char* function, void* replacement) {
    void** slot = FindImportSlot(dll, function);
    if (slot == nullptr) {
        return nullptr;
    }
    DWORD protection = 0;
    VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &protection);
    void* previous = *slot;
    *slot = replacement;
    VirtualProtect(slot, sizeof(void*), protection, &protection);
    FlushInstructionCache(GetCurrentProcess(), slot, sizeof(void*));
    return previous;
}

ImportPatch::ImportPatch(const char* dll, const char* function, void* replacement)
    : dll_(dll), function_(function), original_(ReplaceImport(dll, function, replacement)) {
    if (original_ == nullptr) {
        throw std::runtime_error(std::string("the test executable does not import ") + function +
                                 " from " + dll);
    }
}

ImportPatch::~ImportPatch() {
    ReplaceImport(dll_, function_, original_);
}
