// The search filter: lets the search indexer read the text of PDF documents.
// The indexer loads the document through IPersistStream (or IPersistFile), then pulls the
// text with IFilter::GetChunk and GetText; the whole text is one chunk of the contents
// property.
#include <initguid.h>
#include <windows.h>
#include <filter.h>
#include <filterr.h>
#include <ntquery.h>
#include <objidl.h>

#include <string>

#include "common/com_server.h"
#include "common/pdf_scan.h"
#include "common/read_file.h"

// {28ABC70E-91EF-a4c9-C665-284CB0F07586}: the class the installer registers for .pdf.
static const CLSID kFilterClsid = {0x28ABC70E, 0x91EF, 0xa4c9, {0xC6, 0x65, 0x28, 0x4C, 0xB0, 0xF0, 0x75, 0x86}};

namespace {

// The indexer hands us documents of any size; past this we index nothing rather than
// holding hundreds of megabytes in the indexer's process.
constexpr size_t kMaxDocumentBytes = 64u << 20;

class PdfFilter final : public IFilter, public IPersistStream, public IPersistFile, public com::RefCounted {
  public:
    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        IFilter* filter = this;
        IPersistStream* stream = this;
        const com::InterfaceEntry interfaces[] = {
            {&IID_IUnknown, filter},
            {&IID_IFilter, filter},
            {&IID_IPersistStream, stream},
            {&IID_IPersistFile, static_cast<IPersistFile*>(this)},
            {&IID_IPersist, stream},
        };
        return com::FindInterface(interfaces, riid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

    // IFilter
    SCODE STDMETHODCALLTYPE Init(ULONG, ULONG, const FULLPROPSPEC*, ULONG* flags) override {
        if (!flags) return E_INVALIDARG;
        *flags = 0;
        if (!loaded) return FILTER_E_ACCESS;
        chunkGiven = false;
        textPos = 0;
        return S_OK;
    }

    SCODE STDMETHODCALLTYPE GetChunk(STAT_CHUNK* stat) override {
        if (!stat) return E_INVALIDARG;
        if (chunkGiven || text.empty()) return FILTER_E_END_OF_CHUNKS;
        chunkGiven = true;
        textPos = 0;
        ZeroMemory(stat, sizeof(*stat));
        stat->idChunk = 1;
        stat->breakType = CHUNK_NO_BREAK;
        stat->flags = CHUNK_TEXT;
        stat->locale = GetUserDefaultLCID();
        stat->attribute.guidPropSet = GUID(PSGUID_STORAGE);
        stat->attribute.psProperty.ulKind = PRSPEC_PROPID;
        stat->attribute.psProperty.propid = PID_STG_CONTENTS;
        stat->idChunkSource = 1;
        return S_OK;
    }

    SCODE STDMETHODCALLTYPE GetText(ULONG* count, WCHAR* buffer) override {
        if (!count || !buffer) return E_INVALIDARG;
        if (!chunkGiven) return FILTER_E_NO_TEXT;
        if (textPos >= text.size()) {
            *count = 0;
            return FILTER_E_NO_MORE_TEXT;
        }
        size_t n = text.size() - textPos;
        if (n > *count) n = *count;
        memcpy(buffer, text.data() + textPos, n * sizeof(WCHAR));
        textPos += n;
        *count = (ULONG)n;
        return textPos >= text.size() ? FILTER_S_LAST_TEXT : S_OK;
    }

    SCODE STDMETHODCALLTYPE GetValue(PROPVARIANT** value) override {
        if (value) *value = nullptr;
        return FILTER_E_NO_VALUES;
    }
    SCODE STDMETHODCALLTYPE BindRegion(FILTERREGION, REFIID, void** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }

    // IPersist, IPersistStream
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override {
        if (!clsid) return E_POINTER;
        *clsid = kFilterClsid;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE IsDirty() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE Load(IStream* stream) override {
        if (!stream) return E_POINTER;
        std::string bytes;
        bool truncated = false;
        HRESULT hr = ReadWholeStream(stream, kMaxDocumentBytes, &bytes, &truncated);
        if (FAILED(hr)) return hr;
        // Half a document's text would be indexed as if it were all of it.
        if (truncated) return E_OUTOFMEMORY;
        return TakeDocument(bytes);
    }
    HRESULT STDMETHODCALLTYPE Save(IStream*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }

    // IPersistFile
    HRESULT STDMETHODCALLTYPE Load(LPCOLESTR path, DWORD) override {
        if (!path) return E_POINTER;
        std::string bytes;
        DWORD err = ReadWholeFile(path, kMaxDocumentBytes, &bytes);
        if (err) return HRESULT_FROM_WIN32(err);
        HRESULT hr = TakeDocument(bytes);
        if (SUCCEEDED(hr)) file = path;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Save(LPCOLESTR, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR* path) override {
        if (!path) return E_POINTER;
        *path = nullptr;
        if (file.empty()) return S_FALSE;
        size_t bytes = (file.size() + 1) * sizeof(wchar_t);
        *path = (LPOLESTR)CoTaskMemAlloc(bytes);
        if (!*path) return E_OUTOFMEMORY;
        memcpy(*path, file.c_str(), bytes);
        return S_OK;
    }

  private:
    HRESULT TakeDocument(const std::string& bytes) {
        PdfFacts facts;
        if (!ProbePdf(bytes.data(), bytes.size(), &facts)) return FILTER_E_UNKNOWNFORMAT;
        std::string latin1;
        ExtractPdfText(bytes.data(), bytes.size(), &latin1);
        text.resize(latin1.size());
        for (size_t i = 0; i < latin1.size(); i++) text[i] = (wchar_t)(unsigned char)latin1[i];
        loaded = true;
        chunkGiven = false;
        textPos = 0;
        return S_OK;
    }

    std::wstring text;
    std::wstring file;
    size_t textPos = 0;
    bool loaded = false;
    bool chunkGiven = false;
};

const com::ClassEntry kClasses[] = {
    {&kFilterClsid, com::CreateInstance<PdfFilter>},
};

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    return com::GetClassObject(kClasses, ARRAYSIZE(kClasses), clsid, riid, out);
}

STDAPI DllCanUnloadNow() {
    return com::ModuleInUse() ? S_FALSE : S_OK;
}
