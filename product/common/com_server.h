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

// One interface of an object: its IID and the object's pointer for it. The IUnknown row
// must name the same pointer in every table of the object, as COM's identity rule asks.
struct InterfaceEntry {
    const IID* iid;
    IUnknown* itf;
};

// QueryInterface's work over an object's interfaces: the pointer for riid with a new
// reference, or E_NOINTERFACE and null.
HRESULT FindInterface(const InterfaceEntry* table, int count, REFIID riid, void** out);
template <int N>
HRESULT FindInterface(const InterfaceEntry (&table)[N], REFIID riid, void** out) {
    return FindInterface(table, N, riid, out);
}

// Hands out riid of an object just made with `new (std::nothrow)` (null: out of memory).
// The object starts with no references, so a failed QueryInterface leaves it deleted.
template <class T>
HRESULT HandOutNew(T* obj, REFIID riid, void** out) {
    if (!obj) return E_OUTOFMEMORY;
    obj->AddRef();
    HRESULT hr = obj->QueryInterface(riid, out);
    obj->Release();
    return hr;
}

template <class T>
HRESULT CreateInstance(REFIID riid, void** out) {
    return HandOutNew(new (std::nothrow) T(), riid, out);
}

}  // namespace com
