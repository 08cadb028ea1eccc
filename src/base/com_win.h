#pragma once
// COM's entry points, looked up in the system directory on first use instead of imported: a
// run that never uses COM (-x) then never loads ole32 and oleaut32, nor what they pull in
// (about a megabyte under Wine). Each answers as the system does; when the library cannot be
// loaded, as a failed call would (E_FAIL, nothing allocated).
#include <windows.h>
#include <ole2.h>

namespace com {
HRESULT OleInitialize();
void OleUninitialize();
HRESULT CoInitializeEx(DWORD flags);
void CoUninitialize();
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** out);
void CoTaskMemFree(void* p);
BSTR SysAllocString(const OLECHAR* s);
void VariantInit(VARIANT* v);
}  // namespace com
