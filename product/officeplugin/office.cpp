// The Office add-in, built for 64-bit and 32-bit Office (vloffice64.dll, vloffice32.dll).
//
// Office creates the class registered under the ProgID "VLPDF.OfficeAddin" and talks to
// it through IDTExtensibility2, a dual interface: the vtable methods below, and IDispatch
// with the interface's dispatch ids 1 to 5 for hosts that call late-bound. The stand-in
// add-in accepts every call and adds nothing to Office's user interface.
#include <initguid.h>
#include <windows.h>
#include <oaidl.h>

#include "common/com_server.h"

// {FBB2943F-E861-67E6-E76F-770D5F969DD8}: the class the installer registers.
static const CLSID kAddinClsid = {0xFBB2943F, 0xE861, 0x67E6, {0xE7, 0x6F, 0x77, 0x0D, 0x5F, 0x96, 0x9D, 0xD8}};

// {B65AD801-ABAF-11D0-BB8B-00A0C90F2744}: Office's add-in interface (not in the SDK headers
// we build with).
static const IID kIidExtensibility2 = {0xB65AD801, 0xABAF, 0x11D0, {0xBB, 0x8B, 0x00, 0xA0, 0xC9, 0x0F, 0x27, 0x44}};

namespace {

struct IDTExtensibility2 : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* application, int connectMode, IDispatch* addInInst,
                                                   SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnDisconnection(int removeMode, SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) = 0;
};

const wchar_t* const kMethodNames[] = {L"OnConnection", L"OnDisconnection", L"OnAddInsUpdate", L"OnStartupComplete",
                                       L"OnBeginShutdown"};

class OfficeAddin final : public IDTExtensibility2, public com::RefCounted {
  public:
    ~OfficeAddin() override {
        if (application) application->Release();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        const com::InterfaceEntry interfaces[] = {
            {&IID_IUnknown, this}, {&IID_IDispatch, this}, {&kIidExtensibility2, this}};
        return com::FindInterface(interfaces, riid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

    // IDispatch, without a type library.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return DISP_E_BADINDEX;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!names || !ids) return E_POINTER;
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; i++) {
            ids[i] = DISPID_UNKNOWN;
            for (int m = 0; m < (int)ARRAYSIZE(kMethodNames); m++) {
                if (names[i] && lstrcmpiW(names[i], kMethodNames[m]) == 0) ids[i] = m + 1;
            }
            if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                     UINT*) override {
        if (id < 1 || id > (DISPID)ARRAYSIZE(kMethodNames)) return DISP_E_MEMBERNOTFOUND;
        if (result) VariantInit(result);
        return S_OK;
    }

    // IDTExtensibility2
    HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* app, int, IDispatch*, SAFEARRAY**) override {
        if (app) app->AddRef();
        if (application) application->Release();
        application = app;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnDisconnection(int, SAFEARRAY**) override {
        if (application) application->Release();
        application = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY**) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY**) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY**) override { return S_OK; }

  private:
    IDispatch* application = nullptr;
};

const com::ClassEntry kClasses[] = {
    {&kAddinClsid, com::CreateInstance<OfficeAddin>},
};

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    return com::GetClassObject(kClasses, ARRAYSIZE(kClasses), clsid, riid, out);
}

STDAPI DllCanUnloadNow() {
    return com::ModuleInUse() ? S_FALSE : S_OK;
}
