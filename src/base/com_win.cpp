#include "base/com_win.h"

#include "base/system_lib.h"

namespace {
#define VL_OLE32_FUNCTIONS(X) \
    X(OleInitialize) X(OleUninitialize) X(CoInitializeEx) X(CoUninitialize) X(CoCreateInstance) X(CoTaskMemFree)
VL_SYSTEM_API(Ole32Api, L"ole32.dll", VL_OLE32_FUNCTIONS)

#define VL_OLEAUT32_FUNCTIONS(X) X(SysAllocString) X(VariantInit)
VL_SYSTEM_API(OleAut32Api, L"oleaut32.dll", VL_OLEAUT32_FUNCTIONS)

const Ole32Api& Ole() {
    return Ole32Api::Get();
}

const OleAut32Api& OleAut() {
    return OleAut32Api::Get();
}
}  // namespace

namespace com {
HRESULT OleInitialize() {
    return Ole().ok ? Ole().OleInitialize(nullptr) : E_FAIL;
}

void OleUninitialize() {
    if (Ole().ok) Ole().OleUninitialize();
}

HRESULT CoInitializeEx(DWORD flags) {
    return Ole().ok ? Ole().CoInitializeEx(nullptr, flags) : E_FAIL;
}

void CoUninitialize() {
    if (Ole().ok) Ole().CoUninitialize();
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** out) {
    if (!Ole().ok) {
        *out = nullptr;
        return E_FAIL;
    }
    return Ole().CoCreateInstance(clsid, outer, context, iid, out);
}

void CoTaskMemFree(void* p) {
    if (Ole().ok) Ole().CoTaskMemFree(p);
}

BSTR SysAllocString(const OLECHAR* s) {
    return OleAut().ok ? OleAut().SysAllocString(s) : nullptr;
}

void VariantInit(VARIANT* v) {
    if (OleAut().ok) {
        OleAut().VariantInit(v);
    } else {
        V_VT(v) = VT_EMPTY;
    }
}
}  // namespace com
