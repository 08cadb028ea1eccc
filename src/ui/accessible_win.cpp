#include "ui/accessible.h"

#include <oleacc.h>
#include <oleauto.h>

#include "base/arena.h"
#include "base/com_win.h"
#include "base/log.h"
#include "base/system_lib.h"
#include "ui/mnemonic.h"
#include "ui/window_geometry.h"

namespace {
// MinGW-w64's import library hands out a thunk under IID_IAccessible, not the GUID.
const IID kIidAccessible = {0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

struct Registered {
    HWND root;
    const AccTree* tree;
};
Vec<Registered> gTrees;

const AccTree* TreeOf(HWND root) {
    for (Registered& r : gTrees) {
        if (r.root == root) return r.tree;
    }
    return nullptr;
}

// oleacc is not a known system DLL: taken from the system directory at first use.
struct OleAcc {
    LRESULT(WINAPI* lresultFromObject)(REFIID, WPARAM, LPUNKNOWN) = nullptr;
    HRESULT(WINAPI* accessibleObjectFromWindow)(HWND, DWORD, REFIID, void**) = nullptr;
};

const OleAcc& GetOleAcc() {
    static OleAcc api = [] {
        OleAcc a;
        HMODULE lib = LoadSystemLibrary(L"oleacc.dll");
        if (!lib) {
            Log("GetOleAcc: oleacc.dll could not be loaded\n");
            return a;
        }
        a.lresultFromObject = (decltype(a.lresultFromObject))(void*)GetProcAddress(lib, "LresultFromObject");
        a.accessibleObjectFromWindow =
            (decltype(a.accessibleObjectFromWindow))(void*)GetProcAddress(lib, "AccessibleObjectFromWindow");
        return a;
    }();
    return api;
}

Rect ClientOnScreen(HWND hwnd) {
    Rect r = ClientRect(hwnd);
    POINT p{0, 0};
    ClientToScreen(hwnd, &p);
    // A mirrored window maps its origin to the right edge.
    if (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) p.x -= r.dx;
    return Rect{p.x, p.y, r.dx, r.dy};
}

// The client object itself.
AccItem RootItem(HWND root) {
    AccItem it;
    it.hwnd = root;
    it.name = GetWindowTextUtf8Temp(root);
    it.role = ROLE_SYSTEM_CLIENT;
    it.state = STATE_SYSTEM_FOCUSABLE | (GetFocus() == root ? STATE_SYSTEM_FOCUSED : 0);
    if (!IsWindowVisible(root)) it.state |= STATE_SYSTEM_INVISIBLE;
    it.screen = ClientOnScreen(root);
    return it;
}

void Items(HWND root, Vec<AccItem>* out) {
    const AccTree* tree = TreeOf(root);
    if (tree && tree->items && IsWindow(root)) tree->items(root, out);
}

BSTR Bstr(StrView s) {
    if (s.IsEmpty()) return nullptr;
    return com::SysAllocString((const OLECHAR*)ToWStrTemp(s).s);
}

bool Inside(Rect r, long x, long y) {
    return x >= r.x && y >= r.y && x < r.x + r.dx && y < r.y + r.dy;
}

class AccObject;
IDispatch* NewObject(HWND root, uintptr_t key);

// One accessible object: the client object of root (key 0) or one item standing alone.
class AccObject final : public IAccessible {
  public:
    AccObject(HWND root, uintptr_t key) : root_(root), key_(key) {}

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, kIidAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return (ULONG)InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return (ULONG)n;
    }

    // IDispatch: readers use the IAccessible methods directly.
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        if (n) *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    // IAccessible
    STDMETHODIMP get_accParent(IDispatch** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (key_ != 0) {
            *out = NewObject(root_, 0);
            return S_OK;
        }
        const OleAcc& api = GetOleAcc();
        if (!api.accessibleObjectFromWindow) return S_FALSE;
        return api.accessibleObjectFromWindow(root_, (DWORD)OBJID_WINDOW, IID_IDispatch, (void**)out);
    }
    STDMETHODIMP get_accChildCount(long* out) override {
        if (!out) return E_POINTER;
        TempArenaScope scope;
        *out = 0;
        if (key_ != 0) return S_OK;
        Vec<AccItem> items(GetTempArena());
        Items(root_, &items);
        *out = items.len;
        return S_OK;
    }
    STDMETHODIMP get_accChild(VARIANT child, IDispatch** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        TempArenaScope scope;
        Vec<AccItem> items(GetTempArena());
        int idx = ChildIndex(child, &items);
        if (idx < 0) return E_INVALIDARG;
        // Window controls are objects of their own; the others are simple elements.
        if (!items[idx].hwnd) return S_FALSE;
        *out = NewObject(root_, items[idx].key);
        return S_OK;
    }
    STDMETHODIMP get_accName(VARIANT child, BSTR* out) override {
        return Text(child, out, [](const AccItem& it) { return it.name; });
    }
    STDMETHODIMP get_accValue(VARIANT child, BSTR* out) override {
        return Text(child, out, [](const AccItem& it) { return it.value; });
    }
    STDMETHODIMP get_accDescription(VARIANT child, BSTR* out) override {
        return Text(child, out, [](const AccItem& it) { return it.description; });
    }
    STDMETHODIMP get_accHelp(VARIANT child, BSTR* out) override {
        return Text(child, out, [](const AccItem&) { return StrView(); });
    }
    STDMETHODIMP get_accKeyboardShortcut(VARIANT child, BSTR* out) override {
        return Text(child, out, [](const AccItem& it) { return it.shortcut; });
    }
    STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* out) override {
        return Text(child, out, [](const AccItem& it) { return it.defaultAction; });
    }
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* out) override {
        return Number(child, out, [](const AccItem& it) { return (LONG)it.role; });
    }
    STDMETHODIMP get_accState(VARIANT child, VARIANT* out) override {
        return Number(child, out, [](const AccItem& it) { return (LONG)it.state; });
    }
    STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT, long* topic) override {
        if (file) *file = nullptr;
        if (topic) *topic = 0;
        return S_FALSE;
    }
    STDMETHODIMP get_accFocus(VARIANT* out) override {
        if (!out) return E_POINTER;
        com::VariantInit(out);
        TempArenaScope scope;
        if (key_ != 0) {
            AccItem it;
            if (SUCCEEDED(Resolve(SelfVariant(), &it)) && (it.state & STATE_SYSTEM_FOCUSED)) {
                out->vt = VT_I4;
                out->lVal = CHILDID_SELF;
            }
            return S_OK;
        }
        Vec<AccItem> items(GetTempArena());
        Items(root_, &items);
        for (int i = 0; i < items.len; i++) {
            if (items[i].state & STATE_SYSTEM_FOCUSED) {
                ChildResult(items, i, out);
                return S_OK;
            }
        }
        if (GetFocus() == root_) {
            out->vt = VT_I4;
            out->lVal = CHILDID_SELF;
        }
        return S_OK;
    }
    STDMETHODIMP get_accSelection(VARIANT* out) override {
        if (out) com::VariantInit(out);
        return S_OK;
    }
    STDMETHODIMP accSelect(long, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
    STDMETHODIMP accLocation(long* x, long* y, long* dx, long* dy, VARIANT child) override {
        if (!x || !y || !dx || !dy) return E_POINTER;
        TempArenaScope scope;
        AccItem it;
        HRESULT hr = Resolve(child, &it);
        if (FAILED(hr)) return hr;
        *x = it.screen.x;
        *y = it.screen.y;
        *dx = it.screen.dx;
        *dy = it.screen.dy;
        return S_OK;
    }
    STDMETHODIMP accNavigate(long dir, VARIANT start, VARIANT* out) override {
        if (!out) return E_POINTER;
        com::VariantInit(out);
        if (key_ != 0) return S_FALSE;
        TempArenaScope scope;
        Vec<AccItem> items(GetTempArena());
        Items(root_, &items);
        int from = start.vt == VT_I4 ? (int)start.lVal - 1 : -1;
        int to = -1;
        switch (dir) {
            case NAVDIR_FIRSTCHILD: to = from == -1 ? 0 : -1; break;
            case NAVDIR_LASTCHILD: to = from == -1 ? items.len - 1 : -1; break;
            case NAVDIR_NEXT: to = from >= 0 ? from + 1 : -1; break;
            case NAVDIR_PREVIOUS: to = from >= 0 ? from - 1 : -1; break;
        }
        if (to < 0 || to >= items.len) return S_FALSE;
        ChildResult(items, to, out);
        return S_OK;
    }
    STDMETHODIMP accHitTest(long x, long y, VARIANT* out) override {
        if (!out) return E_POINTER;
        com::VariantInit(out);
        TempArenaScope scope;
        AccItem self;
        if (FAILED(Resolve(SelfVariant(), &self)) || !Inside(self.screen, x, y)) return S_FALSE;
        if (key_ == 0) {
            Vec<AccItem> items(GetTempArena());
            Items(root_, &items);
            for (int i = items.len - 1; i >= 0; i--) {
                if (!(items[i].state & STATE_SYSTEM_INVISIBLE) && Inside(items[i].screen, x, y)) {
                    ChildResult(items, i, out);
                    return S_OK;
                }
            }
        }
        out->vt = VT_I4;
        out->lVal = CHILDID_SELF;
        return S_OK;
    }
    STDMETHODIMP accDoDefaultAction(VARIANT child) override {
        TempArenaScope scope;
        AccItem it;
        HRESULT hr = Resolve(child, &it);
        if (FAILED(hr)) return hr;
        const AccTree* tree = TreeOf(root_);
        if (it.defaultAction.IsEmpty() || !tree || !tree->doDefaultAction || (it.state & STATE_SYSTEM_UNAVAILABLE)) {
            return DISP_E_MEMBERNOTFOUND;
        }
        tree->doDefaultAction(root_, it.key);
        return S_OK;
    }
    STDMETHODIMP put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

  private:
    static VARIANT SelfVariant() {
        VARIANT v;
        v.vt = VT_I4;
        v.lVal = CHILDID_SELF;
        return v;
    }

    // The index of a child of the client object, filling items; -1 when there is none.
    int ChildIndex(VARIANT child, Vec<AccItem>* items) {
        if (key_ != 0 || child.vt != VT_I4) return -1;
        Items(root_, items);
        int idx = (int)child.lVal - 1;
        return idx >= 0 && idx < items->len ? idx : -1;
    }

    HRESULT Resolve(VARIANT child, AccItem* out) {
        if (child.vt != VT_I4) return E_INVALIDARG;
        if (!IsWindow(root_)) return E_FAIL;
        if (child.lVal == CHILDID_SELF && key_ == 0) {
            *out = RootItem(root_);
            return S_OK;
        }
        Vec<AccItem> items(GetTempArena());
        if (child.lVal != CHILDID_SELF) {
            int idx = ChildIndex(child, &items);
            if (idx < 0) return E_INVALIDARG;
            *out = items[idx];
            return S_OK;
        }
        Items(root_, &items);
        for (AccItem& it : items) {
            if (it.key == key_) {
                *out = it;
                return S_OK;
            }
        }
        // The control is gone (the page changed): the reader asks the window again.
        return E_FAIL;
    }

    template <typename F>
    HRESULT Text(VARIANT child, BSTR* out, F field) {
        if (!out) return E_POINTER;
        *out = nullptr;
        TempArenaScope scope;
        AccItem it;
        HRESULT hr = Resolve(child, &it);
        if (FAILED(hr)) return hr;
        *out = Bstr(field(it));
        return *out ? S_OK : S_FALSE;
    }

    template <typename F>
    HRESULT Number(VARIANT child, VARIANT* out, F field) {
        if (!out) return E_POINTER;
        TempArenaScope scope;
        AccItem it;
        HRESULT hr = Resolve(child, &it);
        if (FAILED(hr)) return hr;
        out->vt = VT_I4;
        out->lVal = field(it);
        return S_OK;
    }

    void ChildResult(const Vec<AccItem>& items, int i, VARIANT* out) {
        if (items[i].hwnd) {
            out->vt = VT_DISPATCH;
            out->pdispVal = NewObject(root_, items[i].key);
        } else {
            out->vt = VT_I4;
            out->lVal = i + 1;
        }
    }

    LONG refs_ = 1;
    HWND root_;
    uintptr_t key_;
};

IDispatch* NewObject(HWND root, uintptr_t key) {
    return new AccObject(root, key);
}

// A reader may ask before anything in the program needed COM.
void EnsureCom() {
    static bool done = false;
    if (!done) {
        done = true;
        com::CoInitializeEx(COINIT_APARTMENTTHREADED);
    }
}
}  // namespace

void SetAccTree(HWND root, const AccTree* tree) {
    for (int i = 0; i < gTrees.len; i++) {
        if (gTrees[i].root == root) {
            gTrees.RemoveAtFast(i);
            break;
        }
    }
    if (tree) gTrees.Append(Registered{root, tree});
}

HWND AccRootOf(HWND control) {
    for (HWND w = GetParent(control); w; w = GetParent(w)) {
        if (TreeOf(w)) return w;
    }
    return nullptr;
}

LRESULT AnswerAccGetObject(HWND root, uintptr_t key, WPARAM wp, LPARAM lp) {
    if ((DWORD)lp != (DWORD)OBJID_CLIENT || !TreeOf(root)) {
        return 0;
    }
    if (key != 0) {
        TempArenaScope scope;
        Vec<AccItem> items(GetTempArena());
        Items(root, &items);
        bool listed = false;
        for (AccItem& it : items) listed |= it.key == key;
        if (!listed) return 0;
    }
    const OleAcc& api = GetOleAcc();
    if (!api.lresultFromObject) {
        return 0;
    }
    EnsureCom();
    IDispatch* obj = NewObject(root, key);
    LRESULT res = api.lresultFromObject(kIidAccessible, wp, obj);
    obj->Release();
    return res > 0 ? res : 0;
}

void NotifyAccEvent(DWORD event, HWND root, uintptr_t key) {
    if (!root) return;
    if (key == 0) {
        NotifyWinEvent(event, root, OBJID_CLIENT, CHILDID_SELF);
        return;
    }
    TempArenaScope scope;
    Vec<AccItem> items(GetTempArena());
    Items(root, &items);
    for (int i = 0; i < items.len; i++) {
        if (items[i].key != key) continue;
        if (items[i].hwnd) {
            NotifyWinEvent(event, items[i].hwnd, OBJID_CLIENT, CHILDID_SELF);
        } else {
            NotifyWinEvent(event, root, OBJID_CLIENT, i + 1);
        }
        return;
    }
}

StrView AccNameFromTextTemp(StrView text) {
    return ParseMnemonicTemp(text).display;
}

StrView AccShortcutFromTextTemp(StrView text) {
    MnemonicText m = ParseMnemonicTemp(text);
    if (m.underlineStart < 0) return StrView();
    WStrView ch = ToWStrTemp(StrView(m.display.s + m.underlineStart, m.underlineLen));
    CharUpperBuffW((LPWSTR)ch.s, (DWORD)ch.len);
    return str::FormatTemp("Alt+%s", ToUtf8Temp(ch).CStr());
}
