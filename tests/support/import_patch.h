#pragma once

// Replaces an entry of this test executable's import table, so that the
// program's code, linked into the test, calls the replacement instead of the
// system function. The program keeps calling the real API by name.
//
// dll is matched without case ("user32.dll"); returns the previous entry, or
// null when the executable does not import that function.
void* ReplaceImport(const char* dll, const char* function, void* replacement);

// Puts a replaced entry back when it goes out of scope.
class ImportPatch {
public:
    ImportPatch(const char* dll, const char* function, void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    // The entry as it was before: call it to reach the real function.
    void* original() const { return original_; }

private:
    const char* dll_;
    const char* function_;
    void* original_;
};
