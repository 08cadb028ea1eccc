#pragma once
// What every in-process COM server of the product shares: the module's lock count behind
// DllCanUnloadNow, a class factory, and DllGetClassObject over a table of classes.
#include <windows.h>
#include <unknwn.h>

#include <new>

namespace com {

// Every live object and factory, and every IClassFactory::LockServer(TRUE), holds the module.
void AddModuleRef();
void ReleaseModuleRef();
bool ModuleInUse();

// Creates a new object of one class and asks it for riid; the object starts with no
// references of its own, so a failed QueryInterface must leave it deleted.
using CreateFunc = HRESULT (*)(REFIID riid, void** out);

struct ClassEntry {
    const CLSID* clsid;
    CreateFunc create;
};

// DllGetClassObject's work: a factory for a CLSID of the table, CLASS_E_CLASSNOTAVAILABLE
// for any other.
HRESULT GetClassObject(const ClassEntry* table, int count, REFCLSID clsid, REFIID riid, void** out);

// Reference counting that keeps the module loaded while an object lives.
class RefCounted {
  public:
    RefCounted() { AddModuleRef(); }
    virtual ~RefCounted() { ReleaseModuleRef(); }
    ULONG AddRefImpl() { return (ULONG)InterlockedIncrement(&refs); }
    ULONG ReleaseImpl() {
        LONG n = InterlockedDecrement(&refs);
        if (n == 0) delete this;
        return (ULONG)n;
    }

  private:
    LONG refs = 0;
};

// Builds an object with `new`, hands out riid, and deletes it again when that fails.
template <class T>
HRESULT CreateInstance(REFIID riid, void** out) {
    T* obj = new (std::nothrow) T();
    if (!obj) return E_OUTOFMEMORY;
    obj->AddRef();
    HRESULT hr = obj->QueryInterface(riid, out);
    obj->Release();
    return hr;
}

}  // namespace com
