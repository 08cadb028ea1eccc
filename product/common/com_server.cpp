#include "com_server.h"

#include <new>

namespace com {

namespace {

LONG gModuleRefs = 0;

class ClassFactory final : public IClassFactory, public RefCounted {
  public:
    explicit ClassFactory(CreateFunc create) : create(create) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
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

HRESULT GetClassObject(const ClassEntry* table, int count, REFCLSID clsid, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (int i = 0; i < count; i++) {
        if (!IsEqualCLSID(clsid, *table[i].clsid)) continue;
        ClassFactory* factory = new (std::nothrow) ClassFactory(table[i].create);
        if (!factory) return E_OUTOFMEMORY;
        factory->AddRef();
        HRESULT hr = factory->QueryInterface(riid, out);
        factory->Release();
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace com
