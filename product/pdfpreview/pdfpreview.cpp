// The preview and thumbnail handler for the document kinds the reader opens.
// Explorer (or its preview host) initialises one object per document with the file's
// stream, then asks for a thumbnail (IThumbnailProvider) or shows a preview in a window it
// owns (IPreviewHandler). The stand-in draws a page with the kind of document and, for a
// PDF, its version and page count; it renders no page content.
#include <initguid.h>
#include <windows.h>
#include <objidl.h>
#include <ocidl.h>
#include <propsys.h>
#include <shobjidl.h>
#include <thumbcache.h>

#include <stdio.h>

#include <string>

#include "common/com_server.h"
#include "common/pdf_scan.h"
#include "common/product_info.h"
#include "common/read_file.h"

namespace {

// One class per kind of document, with the CLSIDs the installer registers.
struct DocumentKind {
    CLSID clsid;
    const wchar_t* label;
    COLORREF band;
};

const DocumentKind kKinds[] = {
    // {340EE74D-7CAF-35F7-B606-ECDD74316C01}
    {{0x340EE74D, 0x7CAF, 0x35F7, {0xB6, 0x06, 0xEC, 0xDD, 0x74, 0x31, 0x6C, 0x01}}, L"PDF", RGB(0xDC, 0x26, 0x26)},
    // {C0EECB0A-BA9A-BFEF-34D1-FD6322B23974}
    {{0xC0EECB0A, 0xBA9A, 0xBFEF, {0x34, 0xD1, 0xFD, 0x63, 0x22, 0xB2, 0x39, 0x74}},
     L"Comic book",
     RGB(0xEA, 0x58, 0x0C)},
    // {5856A143-AF6F-E397-E005-F15B89428AB3}
    {{0x5856A143, 0xAF6F, 0xE397, {0xE0, 0x05, 0xF1, 0x5B, 0x89, 0x42, 0x8A, 0xB3}},
     L"TGA image",
     RGB(0xDB, 0x27, 0x77)},
    // {3A333976-2A9A-C12A-4312-8679B7706AB6}
    {{0x3A333976, 0x2A9A, 0xC12A, {0x43, 0x12, 0x86, 0x79, 0xB7, 0x70, 0x6A, 0xB6}}, L"DjVu", RGB(0x0E, 0x74, 0x90)},
    // {15113725-9ADF-6342-C785-996483B5C617}
    {{0x15113725, 0x9ADF, 0x6342, {0xC7, 0x85, 0x99, 0x64, 0x83, 0xB5, 0xC6, 0x17}}, L"XPS", RGB(0x64, 0x74, 0x8B)},
    // {F4EC9CAF-811B-FE27-1322-CA029B73D87E}
    {{0xF4EC9CAF, 0x811B, 0xFE27, {0x13, 0x22, 0xCA, 0x02, 0x9B, 0x73, 0xD8, 0x7E}}, L"EPUB", RGB(0x16, 0xA3, 0x4A)},
    // {92C3331B-820A-CB23-53AA-7A603A1547B4}
    {{0x92C3331B, 0x820A, 0xCB23, {0x53, 0xAA, 0x7A, 0x60, 0x3A, 0x15, 0x47, 0xB4}},
     L"FictionBook",
     RGB(0xCA, 0x8A, 0x04)},
};

constexpr size_t kMaxDocumentBytes = 64u << 20;
constexpr size_t kMaxThumbnailSide = 2048;

// What the handler shows about one document.
std::wstring Describe(const DocumentKind& kind, const std::string& bytes) {
    wchar_t line[160];
    PdfFacts facts;
    if (ProbePdf(bytes.data(), bytes.size(), &facts)) {
        swprintf(line, ARRAYSIZE(line), L"%ls %d.%d, %d page%ls, %llu bytes", kind.label, facts.major, facts.minor,
                 facts.pages, facts.pages == 1 ? L"" : L"s", (unsigned long long)bytes.size());
    } else {
        swprintf(line, ARRAYSIZE(line), L"%ls, %llu bytes", kind.label, (unsigned long long)bytes.size());
    }
    return std::wstring(VLPDF_PRODUCT_NAME L" " VLPDF_PRODUCT_VERSION L" preview\n") + line;
}

// A page with a coloured band and the kind's name, drawn into a 32-bit top-down DIB.
void PaintPage(HDC dc, RECT rc, const DocumentKind& kind, const wchar_t* text) {
    HBRUSH back = CreateSolidBrush(RGB(0xF1, 0xF5, 0xF9));
    FillRect(dc, &rc, back);
    DeleteObject(back);
    int w = rc.right - rc.left, h = rc.bottom - rc.top;
    RECT page = {rc.left + w / 8, rc.top + h / 16, rc.right - w / 8, rc.bottom - h / 16};
    HBRUSH white = CreateSolidBrush(RGB(0xFF, 0xFF, 0xFF));
    FillRect(dc, &page, white);
    DeleteObject(white);
    RECT band = page;
    band.top = page.bottom - (page.bottom - page.top) / 4;
    HBRUSH colour = CreateSolidBrush(kind.band);
    FillRect(dc, &band, colour);
    DeleteObject(colour);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0x33, 0x41, 0x55));
    RECT textRc = page;
    textRc.bottom = band.top;
    InflateRect(&textRc, -4, -4);
    DrawTextW(dc, text, -1, &textRc, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
}

class Previewer final : public IInitializeWithStream,
                        public IThumbnailProvider,
                        public IPreviewHandler,
                        public IOleWindow,
                        public IObjectWithSite,
                        public com::RefCounted {
  public:
    explicit Previewer(const DocumentKind* kind) : kind(kind) {}
    ~Previewer() override {
        Unload();
        if (site) site->Release();
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        IInitializeWithStream* init = this;
        const com::InterfaceEntry interfaces[] = {
            {&IID_IUnknown, init},
            {&IID_IInitializeWithStream, init},
            {&IID_IThumbnailProvider, static_cast<IThumbnailProvider*>(this)},
            {&IID_IPreviewHandler, static_cast<IPreviewHandler*>(this)},
            {&IID_IOleWindow, static_cast<IOleWindow*>(this)},
            {&IID_IObjectWithSite, static_cast<IObjectWithSite*>(this)},
        };
        return com::FindInterface(interfaces, riid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

    // IInitializeWithStream: the document may be read once only, so it is read at once.
    HRESULT STDMETHODCALLTYPE Initialize(IStream* stream, DWORD) override {
        if (!stream) return E_POINTER;
        if (initialized) return HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
        // A larger document is described from its beginning.
        bool truncated = false;
        HRESULT hr = ReadWholeStream(stream, kMaxDocumentBytes, &bytes, &truncated);
        if (FAILED(hr)) return hr;
        initialized = true;
        return S_OK;
    }

    // IThumbnailProvider
    HRESULT STDMETHODCALLTYPE GetThumbnail(UINT side, HBITMAP* bitmap, WTS_ALPHATYPE* alpha) override {
        if (!bitmap || !alpha) return E_POINTER;
        *bitmap = nullptr;
        if (!initialized) return E_UNEXPECTED;
        if (side == 0 || side > kMaxThumbnailSide) return E_INVALIDARG;
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = (LONG)side;
        bi.bmiHeader.biHeight = -(LONG)side;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!bmp) return HRESULT_FROM_WIN32(GetLastError());
        HDC dc = CreateCompatibleDC(nullptr);
        if (!dc) {
            DeleteObject(bmp);
            return E_FAIL;
        }
        HGDIOBJ old = SelectObject(dc, bmp);
        RECT rc = {0, 0, (LONG)side, (LONG)side};
        PaintPage(dc, rc, *kind, kind->label);
        GdiFlush();
        SelectObject(dc, old);
        DeleteDC(dc);
        // GDI leaves the alpha byte alone; the thumbnail is opaque.
        auto* px = static_cast<DWORD*>(bits);
        for (size_t i = 0; i < (size_t)side * side; i++) px[i] |= 0xFF000000u;
        *bitmap = bmp;
        *alpha = WTSAT_RGB;
        return S_OK;
    }

    // IPreviewHandler
    HRESULT STDMETHODCALLTYPE SetWindow(HWND parentWnd, const RECT* rc) override {
        if (!parentWnd || !rc) return E_INVALIDARG;
        parent = parentWnd;
        area = *rc;
        if (view) {
            SetParent(view, parent);
            MoveView();
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetRect(const RECT* rc) override {
        if (!rc) return E_INVALIDARG;
        area = *rc;
        MoveView();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DoPreview() override {
        if (!initialized || !parent) return E_UNEXPECTED;
        if (view) return S_OK;
        std::wstring text = Describe(*kind, bytes);
        view = CreateWindowExW(0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_CENTER | SS_NOPREFIX, area.left,
                               area.top, area.right - area.left, area.bottom - area.top, parent, nullptr, nullptr,
                               nullptr);
        return view ? S_OK : HRESULT_FROM_WIN32(GetLastError());
    }
    HRESULT STDMETHODCALLTYPE Unload() override {
        if (view) DestroyWindow(view);
        view = nullptr;
        bytes.clear();
        initialized = false;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetFocus() override {
        if (view) ::SetFocus(view);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryFocus(HWND* focused) override {
        if (!focused) return E_INVALIDARG;
        *focused = GetFocus();
        return *focused ? S_OK : HRESULT_FROM_WIN32(GetLastError());
    }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return S_FALSE; }

    // IOleWindow
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* wnd) override {
        if (!wnd) return E_INVALIDARG;
        *wnd = parent;
        return parent ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IObjectWithSite
    HRESULT STDMETHODCALLTYPE SetSite(IUnknown* newSite) override {
        if (newSite) newSite->AddRef();
        if (site) site->Release();
        site = newSite;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSite(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return site ? site->QueryInterface(riid, out) : E_FAIL;
    }

  private:
    void MoveView() {
        if (view) {
            SetWindowPos(view, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }

    const DocumentKind* kind;
    std::string bytes;
    bool initialized = false;
    HWND parent = nullptr;
    HWND view = nullptr;
    RECT area = {};
    IUnknown* site = nullptr;
};

template <int I>
HRESULT CreateKind(REFIID riid, void** out) {
    return com::HandOutNew(new (std::nothrow) Previewer(&kKinds[I]), riid, out);
}

const com::ClassEntry kClasses[] = {
    {&kKinds[0].clsid, CreateKind<0>}, {&kKinds[1].clsid, CreateKind<1>}, {&kKinds[2].clsid, CreateKind<2>},
    {&kKinds[3].clsid, CreateKind<3>}, {&kKinds[4].clsid, CreateKind<4>}, {&kKinds[5].clsid, CreateKind<5>},
    {&kKinds[6].clsid, CreateKind<6>},
};
static_assert(ARRAYSIZE(kClasses) == ARRAYSIZE(kKinds));

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    return com::GetClassObject(kClasses, ARRAYSIZE(kClasses), clsid, riid, out);
}

STDAPI DllCanUnloadNow() {
    return com::ModuleInUse() ? S_FALSE : S_OK;
}
