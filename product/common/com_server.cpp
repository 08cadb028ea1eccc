#include "com_server.h"

#include <new>

namespace com {

namespace {

LONG gModuleRefs = 0;

class ClassFactory final : public IClassFactory, public RefCounted {
  public:
    explicit ClassFactory(CreateFunc create) : create(create) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        const InterfaceEntry interfaces[] = {{&IID_IUnknown, this}, {&IID_IClassFactory, this}};
        return FindInterface(interfaces, riid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return create(riid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            AddModuleRef();
        } else {
            ReleaseModuleRef();
        }
        return S_OK;
    }

  private:
    CreateFunc create;
};

}  // namespace

void AddModuleRef() {
    InterlockedIncrement(&gModuleRefs);
}
void ReleaseModuleRef() {
    InterlockedDecrement(&gModuleRefs);
}
bool ModuleInUse() {
    return InterlockedCompareExchange(&gModuleRefs, 0, 0) != 0;
}

HRESULT FindInterface(const InterfaceEntry* table, int count, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (int i = 0; i < count; i++) {
        if (!IsEqualIID(riid, *table[i].iid)) continue;
        table[i].itf->AddRef();
        *out = table[i].itf;
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT GetClassObject(const ClassEntry* table, int count, REFCLSID clsid, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (int i = 0; i < count; i++) {
        if (!IsEqualCLSID(clsid, *table[i].clsid)) continue;
        return HandOutNew(new (std::nothrow) ClassFactory(table[i].create), riid, out);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace com
