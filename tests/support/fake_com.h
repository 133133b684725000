#pragma once

// The part every Direct3D fake shares; see fake_direct3d.h.

#include <string>

#include <windows.h>
#include <unknwn.h>
#include <d3d9.h>

class FakeDirect3DScope;

// Name, reference count and call recording shared by every fake.
class FakeObject {
public:
    FakeObject(FakeDirect3DScope& scope, const char* kind);
    virtual ~FakeObject() = default;
    FakeObject(const FakeObject&) = delete;
    FakeObject& operator=(const FakeObject&) = delete;

    const std::string& name() const { return name_; }
    long refCount() const { return refCount_; }
    bool released() const { return refCount_ <= 0; }

protected:
    // Logs "<prefix>method(arguments)", marked as a use after release when
    // this object (or another it is handed, touchesReleased) is released, and
    // returns the failure the test asked for, or S_OK.
    HRESULT Record(const char* method, const std::string& arguments, bool touchesReleased = false);
    ULONG AddReference();
    ULONG ReleaseReference();
    // What a log entry of this object starts with: "vb#1." ("" for the device).
    virtual std::string Prefix() const { return name_ + "."; }

    FakeDirect3DScope& scope_;

private:
    std::string kind_;
    std::string name_;
    long refCount_ = 1;
};

// What a getter or creator the program does not use answers: the failure the
// test asked for, or "not here".
inline HRESULT Refused(HRESULT recorded) {
    return FAILED(recorded) ? recorded : D3DERR_INVALIDCALL;
}

// IUnknown for a fake of `Interface`.
template <typename Interface> class FakeCom : public Interface, public FakeObject {
public:
    FakeCom(FakeDirect3DScope& scope, const char* kind) : FakeObject(scope, kind) {}
    // The pointer the program holds.
    Interface* com() { return this; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        Record("QueryInterface", "");
        if (object != nullptr) {
            *object = nullptr;
        }
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddReference(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseReference(); }
};
