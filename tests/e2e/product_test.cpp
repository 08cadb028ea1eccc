// The stand-in product's programs and libraries, run for real under Wine from the stage
// folder: the COM servers, the hardware id, the watcher's lifecycle, the reader's and the
// tools' command lines, the quick-start document.
#include <initguid.h>
#include <gtest/gtest.h>
#include <windows.h>
#include <filter.h>
#include <filterr.h>
#include <ntquery.h>
#include <shlwapi.h>
#include <thumbcache.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "base/version.h"

namespace {

std::wstring StageDir() {
    std::wstring dir;
    for (const char* p = VLPDF_STAGE_DIR; *p; p++) dir.push_back(*p == '/' ? L'\\' : (wchar_t)*p);
    // A Linux path from the build; Wine shows the Linux root as drive Z:.
    if (!dir.empty() && dir[0] == L'\\') dir = L"Z:" + dir;
    return dir + L"\\";
}

std::wstring Stage(const std::wstring& name) {
    return StageDir() + name;
}

std::string ReadBytes(const std::wstring& path) {
    std::ifstream f(std::filesystem::path(path), std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// A started program with its standard output going to a file.
struct Outcome {
    DWORD exitCode = STILL_ACTIVE;
    std::string out;
};

class Process {
  public:
    Process(const std::wstring& exe, const std::wstring& args) {
        wchar_t tmp[MAX_PATH];
        GetTempPathW(MAX_PATH, tmp);
        GetTempFileNameW(tmp, L"vlp", 0, outPath);
        SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
        outFile = CreateFileW(outPath, GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = outFile;
        si.hStdError = outFile;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        std::wstring cmd = L"\"" + exe + L"\" " + args;
        // Wine has once refused to start a program that started a moment before and after
        // (a fresh copy of it, no output, no error shown). A start is tried again, and each
        // failure is shown with its error code, so that a program that cannot start still
        // fails the test and says why.
        for (int attempt = 1; attempt <= 3 && !process; ++attempt) {
            PROCESS_INFORMATION pi = {};
            if (CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
                CloseHandle(pi.hThread);
                process = pi.hProcess;
            } else {
                std::printf("start %d of %ls failed with error %lu\n", attempt, exe.c_str(), GetLastError());
                Sleep(200);
            }
        }
    }
    ~Process() {
        if (process) {
            if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) TerminateProcess(process, 99);
            CloseHandle(process);
        }
        if (outFile != INVALID_HANDLE_VALUE) CloseHandle(outFile);
        DeleteFileW(outPath);
    }
    bool Started() const { return process != nullptr; }
    bool Running() const { return process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT; }
    // Waits up to ms for the end; exitCode stays STILL_ACTIVE when it did not end.
    Outcome Wait(DWORD ms) {
        Outcome r;
        if (process && WaitForSingleObject(process, ms) == WAIT_OBJECT_0) GetExitCodeProcess(process, &r.exitCode);
        r.out = ReadBytes(outPath);
        return r;
    }

  private:
    HANDLE process = nullptr;
    HANDLE outFile = INVALID_HANDLE_VALUE;
    wchar_t outPath[MAX_PATH] = L"";
};

Outcome RunToEnd(const std::wstring& exe, const std::wstring& args) {
    Process p(exe, args);
    EXPECT_TRUE(p.Started()) << "cannot start " << std::filesystem::path(exe).string();
    return p.Wait(10000);
}

// ---------------------------------------------------------------------------------------
// In-process COM servers

const CLSID kFilterClsid = {0x28ABC70E, 0x91EF, 0xa4c9, {0xC6, 0x65, 0x28, 0x4C, 0xB0, 0xF0, 0x75, 0x86}};
// The persistent handler: registered by the installer, but served by the system, not by us.
const CLSID kPersistentHandler = {0x926F223D, 0x39FC, 0xec50, {0x04, 0x01, 0x86, 0x3F, 0xAE, 0x3B, 0x31, 0x41}};
const CLSID kPreviewPdf = {0x340EE74D, 0x7CAF, 0x35F7, {0xB6, 0x06, 0xEC, 0xDD, 0x74, 0x31, 0x6C, 0x01}};
const CLSID kOfficeAddin = {0xFBB2943F, 0xE861, 0x67E6, {0xE7, 0x6F, 0x77, 0x0D, 0x5F, 0x96, 0x9D, 0xD8}};
// Office's add-in interface, which the SDK headers do not declare.
const IID kIidExtensibility2 = {0xB65AD801, 0xABAF, 0x11D0, {0xBB, 0x8B, 0x00, 0xA0, 0xC9, 0x0F, 0x27, 0x44}};

const CLSID kPreviewClsids[] = {
    kPreviewPdf,
    {0xC0EECB0A, 0xBA9A, 0xBFEF, {0x34, 0xD1, 0xFD, 0x63, 0x22, 0xB2, 0x39, 0x74}},
    {0x5856A143, 0xAF6F, 0xE397, {0xE0, 0x05, 0xF1, 0x5B, 0x89, 0x42, 0x8A, 0xB3}},
    {0x3A333976, 0x2A9A, 0xC12A, {0x43, 0x12, 0x86, 0x79, 0xB7, 0x70, 0x6A, 0xB6}},
    {0x15113725, 0x9ADF, 0x6342, {0xC7, 0x85, 0x99, 0x64, 0x83, 0xB5, 0xC6, 0x17}},
    {0xF4EC9CAF, 0x811B, 0xFE27, {0x13, 0x22, 0xCA, 0x02, 0x9B, 0x73, 0xD8, 0x7E}},
    {0x92C3331B, 0x820A, 0xCB23, {0x53, 0xAA, 0x7A, 0x60, 0x3A, 0x15, 0x47, 0xB4}},
};

using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT(WINAPI*)();

class ComDll {
  public:
    explicit ComDll(const std::wstring& name) : module(LoadLibraryW(Stage(name).c_str())) {
        if (module) {
            getClassObject = (GetClassObjectFn)(void*)GetProcAddress(module, "DllGetClassObject");
            canUnloadNow = (CanUnloadNowFn)(void*)GetProcAddress(module, "DllCanUnloadNow");
        }
    }
    ~ComDll() {
        if (module) FreeLibrary(module);
    }
    bool Ok() const { return getClassObject && canUnloadNow; }
    // A new object of clsid, asked for riid; null on any failure.
    template <class T>
    T* Create(REFCLSID clsid, REFIID riid) {
        IClassFactory* factory = nullptr;
        if (FAILED(getClassObject(clsid, IID_IClassFactory, (void**)&factory))) return nullptr;
        T* obj = nullptr;
        factory->CreateInstance(nullptr, riid, (void**)&obj);
        factory->Release();
        return obj;
    }

    HMODULE module;
    GetClassObjectFn getClassObject = nullptr;
    CanUnloadNowFn canUnloadNow = nullptr;
};

struct ComCase {
    const char* name;
    const wchar_t* dll;
    CLSID clsid;
    std::vector<IID> iids;  // every interface the object must have; it is made for the first
    CLSID foreign;          // a class this DLL does not serve
};

// The object's IUnknown, which every one of its interfaces must give back (COM's identity).
IUnknown* IdentityOf(IUnknown* itf) {
    IUnknown* unknown = nullptr;
    if (FAILED(itf->QueryInterface(IID_IUnknown, (void**)&unknown)) || !unknown) return nullptr;
    unknown->Release();
    return unknown;
}

class ComServer : public testing::TestWithParam<ComCase> {};

TEST_P(ComServer, GivesAFactoryForItsClassAndRefusesOthers) {
    const ComCase& c = GetParam();
    ComDll dll(c.dll);
    ASSERT_TRUE(dll.Ok());
    EXPECT_EQ(dll.canUnloadNow(), S_OK);

    IClassFactory* factory = nullptr;
    ASSERT_EQ(dll.getClassObject(c.clsid, IID_IClassFactory, (void**)&factory), S_OK);
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(dll.canUnloadNow(), S_FALSE) << "a live factory must keep the DLL loaded";

    IUnknown* outer = (IUnknown*)factory;
    IUnknown* obj = nullptr;
    EXPECT_EQ(factory->CreateInstance(outer, c.iids[0], (void**)&obj), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(obj, nullptr);
    ASSERT_EQ(factory->CreateInstance(nullptr, c.iids[0], (void**)&obj), S_OK);
    ASSERT_NE(obj, nullptr);
    IUnknown* identity = IdentityOf(obj);
    EXPECT_NE(identity, nullptr);
    EXPECT_EQ(IdentityOf(factory), factory) << "the factory is its own identity";
    for (size_t i = 0; i < c.iids.size(); i++) {
        IUnknown* itf = nullptr;
        ASSERT_EQ(obj->QueryInterface(c.iids[i], (void**)&itf), S_OK) << "interface " << i;
        ASSERT_NE(itf, nullptr);
        IUnknown* again = nullptr;
        EXPECT_EQ(itf->QueryInterface(c.iids[i], (void**)&again), S_OK) << "interface " << i;
        EXPECT_EQ(again, itf) << "interface " << i << " gives itself back";
        if (again) again->Release();
        EXPECT_EQ(IdentityOf(itf), identity) << "interface " << i << " leads back to the same object";
        itf->Release();
    }
    IUnknown* none = (IUnknown*)1;
    EXPECT_EQ(obj->QueryInterface(IID_IClassFactory, (void**)&none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    factory->Release();
    EXPECT_EQ(dll.canUnloadNow(), S_FALSE) << "a live object must keep the DLL loaded";
    obj->Release();
    EXPECT_EQ(dll.canUnloadNow(), S_OK);

    void* refused = (void*)1;
    EXPECT_EQ(dll.getClassObject(c.foreign, IID_IClassFactory, &refused), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(dll.getClassObject(kPersistentHandler, IID_IClassFactory, &refused), CLASS_E_CLASSNOTAVAILABLE);
}

std::vector<ComCase> ComCases() {
    std::vector<ComCase> cases = {
        {"SearchFilter", L"PdfFilter.dll", kFilterClsid,
         {IID_IFilter, IID_IPersistStream, IID_IPersistFile, IID_IPersist}, kPreviewPdf},
        {"OfficeAddin", L"plugins\\officeplugin\\vloffice64.dll", kOfficeAddin, {IID_IDispatch, kIidExtensibility2},
         kFilterClsid},
    };
    static const char* const kPreviewNames[] = {"PreviewPdf", "PreviewComic", "PreviewTga",        "PreviewDjvu",
                                                "PreviewXps", "PreviewEpub",  "PreviewFictionBook"};
    for (size_t i = 0; i < std::size(kPreviewClsids); i++) {
        cases.push_back({kPreviewNames[i], L"PdfPreview.dll", kPreviewClsids[i],
                         {IID_IThumbnailProvider, IID_IInitializeWithStream, IID_IPreviewHandler, IID_IOleWindow,
                          IID_IObjectWithSite},
                         kFilterClsid});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Product, ComServer, testing::ValuesIn(ComCases()),
                         [](const testing::TestParamInfo<ComCase>& info) { return std::string(info.param.name); });

// The filter's whole text, read in pieces of `piece` characters.
std::wstring FilterText(IFilter* filter, ULONG piece, HRESULT* lastResult) {
    std::wstring text;
    std::vector<WCHAR> buf(piece);
    for (int guard = 0; guard < 100000; guard++) {
        ULONG n = piece;
        HRESULT hr = filter->GetText(&n, buf.data());
        *lastResult = hr;
        if (FAILED(hr)) break;
        text.append(buf.data(), n);
        if (hr == FILTER_S_LAST_TEXT) break;
    }
    return text;
}

IStream* MemoryStream(const std::string& bytes) {
    return SHCreateMemStream((const BYTE*)bytes.data(), (UINT)bytes.size());
}

TEST(PdfFilter, ReadsTheTextOfTheQuickStartGuideInAnyPieceSize) {
    ComDll dll(L"PdfFilter.dll");
    ASSERT_TRUE(dll.Ok());
    std::string pdf = ReadBytes(Stage(L"vlpdf-quickstart.pdf"));
    std::wstring whole;
    for (ULONG piece : {4096u, 7u, 1u}) {
        IPersistStream* persist = dll.Create<IPersistStream>(kFilterClsid, IID_IPersistStream);
        ASSERT_NE(persist, nullptr);
        IStream* stream = MemoryStream(pdf);
        ASSERT_EQ(persist->Load(stream), S_OK);
        stream->Release();
        IFilter* filter = nullptr;
        ASSERT_EQ(persist->QueryInterface(IID_IFilter, (void**)&filter), S_OK);
        ULONG flags = 1;
        ASSERT_EQ(filter->Init(IFILTER_INIT_APPLY_INDEX_ATTRIBUTES, 0, nullptr, &flags), S_OK);
        STAT_CHUNK chunk = {};
        ASSERT_EQ(filter->GetChunk(&chunk), S_OK);
        EXPECT_EQ(chunk.flags, CHUNK_TEXT);
        EXPECT_EQ(chunk.attribute.psProperty.ulKind, (ULONG)PRSPEC_PROPID);
        EXPECT_EQ(chunk.attribute.psProperty.propid, (PROPID)PID_STG_CONTENTS);
        HRESULT last = S_OK;
        std::wstring text = FilterText(filter, piece, &last);
        EXPECT_EQ(last, FILTER_S_LAST_TEXT) << "piece " << piece;
        ULONG n = piece;
        std::vector<WCHAR> buf(piece);
        EXPECT_EQ(filter->GetText(&n, buf.data()), FILTER_E_NO_MORE_TEXT);
        EXPECT_EQ(filter->GetChunk(&chunk), FILTER_E_END_OF_CHUNKS);
        if (whole.empty()) whole = text;
        EXPECT_EQ(text, whole) << "piece " << piece;
        filter->Release();
        persist->Release();
    }
    EXPECT_NE(whole.find(L"VeloraPDF " VLPDF_VERSION_STR " Quick Start\n"), std::wstring::npos);
    EXPECT_NE(whole.find(L"Keyboard shortcuts\n"), std::wstring::npos);
    EXPECT_NE(whole.find(L"\nF11       full screen\n"), std::wstring::npos);
}

TEST(PdfFilter, RefusesADocumentThatIsNoPdf) {
    ComDll dll(L"PdfFilter.dll");
    ASSERT_TRUE(dll.Ok());
    IPersistStream* persist = dll.Create<IPersistStream>(kFilterClsid, IID_IPersistStream);
    ASSERT_NE(persist, nullptr);
    IStream* stream = MemoryStream("just some text, no header\n");
    EXPECT_EQ(persist->Load(stream), FILTER_E_UNKNOWNFORMAT);
    stream->Release();
    IFilter* filter = nullptr;
    ASSERT_EQ(persist->QueryInterface(IID_IFilter, (void**)&filter), S_OK);
    ULONG flags = 0;
    EXPECT_EQ(filter->Init(0, 0, nullptr, &flags), FILTER_E_ACCESS);
    filter->Release();
    persist->Release();
}

TEST(PdfPreview, DrawsAnOpaqueThumbnailOfTheRequestedSize) {
    ComDll dll(L"PdfPreview.dll");
    ASSERT_TRUE(dll.Ok());
    IInitializeWithStream* init = dll.Create<IInitializeWithStream>(kPreviewPdf, IID_IInitializeWithStream);
    ASSERT_NE(init, nullptr);
    IThumbnailProvider* thumbs = nullptr;
    ASSERT_EQ(init->QueryInterface(IID_IThumbnailProvider, (void**)&thumbs), S_OK);
    HBITMAP bmp = nullptr;
    WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
    EXPECT_EQ(thumbs->GetThumbnail(96, &bmp, &alpha), E_UNEXPECTED) << "no document yet";

    IStream* stream = MemoryStream(ReadBytes(Stage(L"vlpdf-quickstart.pdf")));
    ASSERT_EQ(init->Initialize(stream, STGM_READ), S_OK);
    stream->Release();
    EXPECT_EQ(thumbs->GetThumbnail(0, &bmp, &alpha), E_INVALIDARG);
    for (UINT side : {16u, 96u, 256u}) {
        ASSERT_EQ(thumbs->GetThumbnail(side, &bmp, &alpha), S_OK);
        BITMAP info = {};
        ASSERT_EQ(GetObjectW(bmp, sizeof(info), &info), (int)sizeof(info));
        EXPECT_EQ(info.bmWidth, (LONG)side);
        EXPECT_EQ(info.bmHeight, (LONG)side);
        EXPECT_EQ(info.bmBitsPixel, 32);
        EXPECT_EQ(alpha, WTSAT_RGB);
        // A page is drawn: the picture is not one flat colour.
        const DWORD* px = (const DWORD*)info.bmBits;
        ASSERT_NE(px, nullptr);
        bool varied = false;
        for (UINT i = 1; i < side * side; i++) varied = varied || px[i] != px[0];
        EXPECT_TRUE(varied) << side;
        DeleteObject(bmp);
    }
    thumbs->Release();
    init->Release();
}

// ---------------------------------------------------------------------------------------
// HardwareId.dll

using HwFn = int (*)(wchar_t*, int);

class HardwareId {
  public:
    HardwareId() : module(LoadLibraryW(Stage(L"HardwareId.dll").c_str())) {
        if (module) {
            generate = (HwFn)(void*)GetProcAddress(module, "HwId_Generate");
            systemInfo = (HwFn)(void*)GetProcAddress(module, "SystemInfo_Get");
        }
    }
    ~HardwareId() {
        if (module) FreeLibrary(module);
    }
    std::wstring Id() {
        wchar_t buf[33];
        int rc = generate(buf, 33);
        return rc == 0 ? buf : L"error " + std::to_wstring(rc);
    }
    HMODULE module;
    HwFn generate = nullptr;
    HwFn systemInfo = nullptr;
};

const wchar_t kCryptographyKey[] = L"SOFTWARE\\Microsoft\\Cryptography";

std::wstring ReadMachineGuid() {
    wchar_t buf[100] = L"";
    DWORD bytes = sizeof(buf);
    RegGetValueW(HKEY_LOCAL_MACHINE, kCryptographyKey, L"MachineGuid", RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr,
                 buf, &bytes);
    return buf;
}

bool WriteMachineGuid(const std::wstring& guid) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kCryptographyKey, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    LSTATUS st = RegSetValueExW(key, L"MachineGuid", 0, REG_SZ, (const BYTE*)guid.c_str(),
                                (DWORD)((guid.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return st == ERROR_SUCCESS;
}

TEST(HardwareIdDll, IdIsStableAndFollowsTheMachineIdentity) {
    std::wstring original = ReadMachineGuid();
    ASSERT_FALSE(original.empty()) << "the prefix has no MachineGuid";
    std::wstring id;
    {
        HardwareId hw;
        ASSERT_TRUE(hw.generate && hw.systemInfo);
        id = hw.Id();
        EXPECT_TRUE(std::regex_match(id, std::wregex(L"[0-9A-F]{32}"))) << std::filesystem::path(id).string();
        EXPECT_EQ(hw.Id(), id);
    }
    {
        HardwareId again;  // a fresh load of the library gives the same id
        EXPECT_EQ(again.Id(), id);
    }
    const wchar_t* others[] = {L"0b7c5d9e-2f1a-4c3b-9d8e-7f6a5b4c3d2e", L"0b7c5d9e-2f1a-4c3b-9d8e-7f6a5b4c3d2f"};
    std::vector<std::wstring> ids;
    for (const wchar_t* guid : others) {
        ASSERT_TRUE(WriteMachineGuid(guid));
        HardwareId hw;
        ids.push_back(hw.Id());
    }
    ASSERT_TRUE(WriteMachineGuid(original));
    EXPECT_NE(ids[0], id);
    EXPECT_NE(ids[1], id);
    EXPECT_NE(ids[0], ids[1]) << "machines one letter apart must differ";
    HardwareId restored;
    EXPECT_EQ(restored.Id(), id);
}

TEST(HardwareIdDll, RefusesBuffersTooSmallWithoutWritingPastThem) {
    HardwareId hw;
    ASSERT_TRUE(hw.generate && hw.systemInfo);
    struct Case {
        HwFn fn;
        int cap;
    };
    for (Case c : {Case{hw.generate, 32}, Case{hw.generate, 1}, Case{hw.systemInfo, 8}, Case{hw.systemInfo, 1}}) {
        wchar_t buf[64];
        wmemset(buf, L'#', 64);
        EXPECT_NE(c.fn(buf, c.cap), 0) << c.cap;
        EXPECT_EQ(buf[0], 0) << "an empty text on failure";
        for (int i = c.cap; i < 64; i++) ASSERT_EQ(buf[i], L'#') << "written past the capacity " << c.cap;
    }
    EXPECT_NE(hw.generate(nullptr, 33), 0);
    EXPECT_NE(hw.systemInfo(nullptr, 32), 0);
}

TEST(HardwareIdDll, DescribesTheSystemInTheCallersBuffer) {
    HardwareId hw;
    ASSERT_TRUE(hw.systemInfo);
    wchar_t buf[32];
    ASSERT_EQ(hw.systemInfo(buf, 32), 0);
    std::wstring text = buf;
    std::wsmatch m;
    ASSERT_TRUE(std::regex_match(text, m, std::wregex(L"Windows (\\d+)\\.(\\d+)\\.(\\d+) x64")))
        << std::filesystem::path(text).string();
    EXPECT_GE(std::stoi(m[1].str()), 6);
    EXPECT_GT(std::stoi(m[3].str()), 0);
}

// ---------------------------------------------------------------------------------------
// The watcher

const wchar_t kQuitEvent[] = L"Local\\vlpdf-watch-quit";

std::wstring Watcher() {
    return Stage(L"plugins\\pdfwatch\\vlpdf-watch.exe");
}

bool SetQuitEvent() {
    HANDLE ev = OpenEventW(EVENT_MODIFY_STATE, FALSE, kQuitEvent);
    if (!ev) return false;
    bool ok = SetEvent(ev);
    CloseHandle(ev);
    return ok;
}

class WatcherRuns : public testing::TestWithParam<const wchar_t*> {};

TEST_P(WatcherRuns, UntilTheQuitEventIsSet) {
    Process w(Watcher(), GetParam());
    ASSERT_TRUE(w.Started());
    Sleep(500);
    ASSERT_TRUE(w.Running());
    ASSERT_TRUE(SetQuitEvent()) << "the running watcher owns the quit event";
    Outcome r = w.Wait(5000);
    EXPECT_EQ(r.exitCode, 0u);
}

// "/on" as the installer starts it; no argument as the log-on autostart entry starts it.
INSTANTIATE_TEST_SUITE_P(Product, WatcherRuns, testing::Values(L"/on", L""),
                         [](const testing::TestParamInfo<const wchar_t*>& info) {
                             return std::string(info.param[0] ? "On" : "NoArgument");
                         });

TEST(Watcher, ASecondWatcherLeavesAtOnceAndOffStopsTheFirst) {
    Process first(Watcher(), L"/on");
    ASSERT_TRUE(first.Started());
    Sleep(500);
    Outcome second = RunToEnd(Watcher(), L"/on");
    EXPECT_EQ(second.exitCode, 0u);
    EXPECT_TRUE(first.Running());
    Outcome off = RunToEnd(Watcher(), L"/off");
    EXPECT_EQ(off.exitCode, 0u);
    EXPECT_EQ(first.Wait(5000).exitCode, 0u);
}

TEST(Watcher, RefusesAnUnknownArgument) {
    EXPECT_EQ(RunToEnd(Watcher(), L"/bogus").exitCode, 2u);
    HANDLE ev = OpenEventW(SYNCHRONIZE, FALSE, kQuitEvent);
    EXPECT_EQ(ev, nullptr) << "no watcher may be left running";
    if (ev) CloseHandle(ev);
}

TEST(Watcher, TakesOverAQuitSignalThatNobodyCollected) {
    // A set event still held open, as a crashed installer could leave it.
    HANDLE stale = CreateEventW(nullptr, TRUE, TRUE, kQuitEvent);
    ASSERT_NE(stale, nullptr);
    Process w(Watcher(), L"/on");
    ASSERT_TRUE(w.Started());
    Sleep(1000);
    EXPECT_TRUE(w.Running()) << "a watcher must not quit on a signal meant for its predecessor";
    Sleep(5500);
    ASSERT_TRUE(w.Running());
    EXPECT_EQ(WaitForSingleObject(stale, 0), (DWORD)WAIT_TIMEOUT) << "the watcher resets the left-over signal";
    SetEvent(stale);
    EXPECT_EQ(w.Wait(5000).exitCode, 0u);
    CloseHandle(stale);
}

// ---------------------------------------------------------------------------------------
// The reader, the command-line tool and the plug-in host

// A reader that is not the registered installation (here the stage folder) removes nothing,
// and says so from the translations beside it: in Chinese, as the product speaks, or in the
// machine's language (English) with -for-testing.
TEST(Reader, RefusesToUninstallAnotherFolderAndCannotPrint) {
    struct Case {
        const wchar_t* args;
        const char* says;
    };
    const Case cases[] = {
        {L"-uninstall -silent", "VeloraPDF \u672a\u4e3a\u5f53\u524d\u7528\u6237\u5b89\u88c5"},
        {L"-uninstall -silent -for-testing", "VeloraPDF is not installed for the current user, so nothing was removed."},
        {L"-uninstall -all-users -silent -for-testing", "VeloraPDF is not installed for all users, so nothing was removed."},
        {L"-silent -print-to-default \"C:\\doc.pdf\"", "stand-in VeloraPDF " VLPDF_VERSION_STR " reader; it cannot print 'C:\\doc.pdf'."},
        {L"-silent -print-to \"Printer 1\" \"C:\\doc.pdf\"", "stand-in VeloraPDF " VLPDF_VERSION_STR " reader; it cannot print 'C:\\doc.pdf'."},
    };
    for (const Case& c : cases) {
        Outcome r = RunToEnd(Stage(L"vlpdf.exe"), c.args);
        EXPECT_EQ(r.exitCode, 1u) << std::filesystem::path(c.args).string();
        EXPECT_NE(r.out.find(c.says), std::string::npos) << r.out;
    }
    EXPECT_TRUE(std::filesystem::exists(Stage(L"vlpdf.exe")));
    EXPECT_TRUE(std::filesystem::exists(Stage(L"libtovarinpdf.dll")));
}

TEST(Reader, CarriesTheIconsTheAssociationsName) {
    HMODULE exe =
        LoadLibraryExW(Stage(L"vlpdf.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(exe, nullptr);
    std::vector<std::string> firstImages;
    for (int id : {1, 3, 4, 5, 6, 7, 8, 9, 10}) {
        HRSRC group = FindResourceW(exe, MAKEINTRESOURCEW(id), RT_GROUP_ICON);
        ASSERT_NE(group, nullptr) << "icon " << id;
        auto* dir = (BYTE*)LockResource(LoadResource(exe, group));
        int imageId = LookupIconIdFromDirectoryEx(dir, TRUE, 32, 32, LR_DEFAULTCOLOR);
        HRSRC image = FindResourceW(exe, MAKEINTRESOURCEW(imageId), RT_ICON);
        ASSERT_NE(image, nullptr) << "icon " << id;
        firstImages.emplace_back((const char*)LockResource(LoadResource(exe, image)), SizeofResource(exe, image));
    }
    for (int id : {2, 11}) EXPECT_EQ(FindResourceW(exe, MAKEINTRESOURCEW(id), RT_GROUP_ICON), nullptr) << id;
    for (size_t i = 0; i < firstImages.size(); i++) {
        for (size_t j = i + 1; j < firstImages.size(); j++) EXPECT_NE(firstImages[i], firstImages[j]) << i << " " << j;
    }
    FreeLibrary(exe);
}

// The version is written once, in the build: every file of the product says this build's
// version, in its version resource, the reader in its manifest and window title, the tools
// and libraries when asked.
TEST(Product, EveryFileSaysTheBuildsVersion) {
    const std::string version = VLPDF_VERSION_STR;
    const std::wstring wversion(version.begin(), version.end());
    const std::wstring fileVersion = std::to_wstring(VLPDF_VERSION_MAJOR) + L"." + std::to_wstring(VLPDF_VERSION_MINOR) +
                                     L"." + std::to_wstring(VLPDF_VERSION_PATCH) + L".0";
    const DWORD high = MAKELONG(VLPDF_VERSION_MINOR, VLPDF_VERSION_MAJOR);
    const DWORD low = MAKELONG(0, VLPDF_VERSION_PATCH);
    for (const wchar_t* name :
         {L"vlpdf.exe", L"libtovarinpdf.dll", L"UserSDK.dll", L"PdfFilter.dll", L"PdfPreview.dll", L"HardwareId.dll",
          L"vlpdf-cli.exe", L"UserSDKHost\\UserSDKHost.exe", L"plugins\\pdfwatch\\vlpdf-watch.exe",
          L"plugins\\officeplugin\\vloffice64.dll", L"plugins\\officeplugin\\vloffice32.dll"}) {
        SCOPED_TRACE(std::filesystem::path(name).string());
        DWORD handle = 0;
        DWORD size = GetFileVersionInfoSizeW(Stage(name).c_str(), &handle);
        ASSERT_GT(size, 0u);
        std::vector<BYTE> info(size);
        ASSERT_TRUE(GetFileVersionInfoW(Stage(name).c_str(), 0, size, info.data()));
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT len = 0;
        ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", (void**)&fixed, &len));
        EXPECT_EQ(fixed->dwFileVersionMS, high);
        EXPECT_EQ(fixed->dwFileVersionLS, low);
        EXPECT_EQ(fixed->dwProductVersionMS, high);
        EXPECT_EQ(fixed->dwProductVersionLS, low);
        const wchar_t* text = nullptr;
        ASSERT_TRUE(VerQueryValueW(info.data(), L"\\StringFileInfo\\040904B0\\ProductVersion", (void**)&text, &len));
        EXPECT_EQ(std::wstring(text), wversion);
        ASSERT_TRUE(VerQueryValueW(info.data(), L"\\StringFileInfo\\040904B0\\FileVersion", (void**)&text, &len));
        EXPECT_EQ(std::wstring(text), fileVersion);
    }

    HMODULE exe =
        LoadLibraryExW(Stage(L"vlpdf.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(exe, nullptr);
    HRSRC res = FindResourceW(exe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(res, nullptr);
    std::string manifest((const char*)LockResource(LoadResource(exe, res)), SizeofResource(exe, res));
    FreeLibrary(exe);
    EXPECT_NE(manifest.find("name=\"VeloraPDF.Reader\" version=\"" + version + ".0.0\""), std::string::npos) << manifest;

    EXPECT_EQ(RunToEnd(Stage(L"vlpdf-cli.exe"), L"--version").out, "vlpdf-cli " + version + "\r\n");
    HMODULE sdk = LoadLibraryW(Stage(L"UserSDK.dll").c_str());
    ASSERT_NE(sdk, nullptr);
    auto sdkVersion = (const wchar_t* (*)())(void*)GetProcAddress(sdk, "UserSDK_Version");
    ASSERT_NE(sdkVersion, nullptr);
    EXPECT_EQ(std::wstring(sdkVersion()), wversion);
    FreeLibrary(sdk);
    HMODULE lib = LoadLibraryW(Stage(L"libtovarinpdf.dll").c_str());
    ASSERT_NE(lib, nullptr);
    auto libVersion = (int (*)())(void*)GetProcAddress(lib, "tovarin_version");
    ASSERT_NE(libVersion, nullptr);
    EXPECT_EQ(libVersion(), (VLPDF_VERSION_MAJOR << 8) | VLPDF_VERSION_MINOR);
    FreeLibrary(lib);

    for (const wchar_t* page : {L"UserSDKHost\\index.html", L"UserSDKHost\\js\\app.js"}) {
        std::string text = ReadBytes(Stage(page));
        EXPECT_NE(text.find("VeloraPDF " + version + " "), std::string::npos) << text;
        EXPECT_EQ(text.find('@'), std::string::npos) << text;
    }
}

// Needs a display: run by product_window_test.sh under Xvfb, skipped (and reported so) in
// the suite run without one.
TEST(ReaderWindow, ShowsNameVersionAndTheDocument) {
    if (!GetEnvironmentVariableW(L"DISPLAY", nullptr, 0)) GTEST_SKIP() << "no display";
    std::wstring guide = Stage(L"vlpdf-quickstart.pdf");
    Process reader(Stage(L"vlpdf.exe"), L"-page 2 \"" + guide + L"\"");
    ASSERT_TRUE(reader.Started());
    // The window is found as soon as it exists; its text control comes a moment later.
    HWND wnd = nullptr;
    for (int i = 0; i < 100 && !(wnd && GetDlgItem(wnd, 1) && IsWindowVisible(wnd)); i++) {
        Sleep(100);
        wnd = FindWindowW(L"VLPDF_STANDIN_READER", nullptr);
    }
    ASSERT_NE(wnd, nullptr) << "no reader window";
    ASSERT_TRUE(IsWindowVisible(wnd));
    wchar_t title[256] = L"";
    GetWindowTextW(wnd, title, 256);
    EXPECT_STREQ(title, L"vlpdf-quickstart.pdf - VeloraPDF " VLPDF_VERSION_STR);
    wchar_t text[2048] = L"";
    ASSERT_TRUE(GetDlgItem(wnd, 1));
    SendMessageW(GetDlgItem(wnd, 1), WM_GETTEXT, 2048, (LPARAM)text);
    std::wstring shown = text;
    EXPECT_EQ(shown.rfind(L"VeloraPDF " VLPDF_VERSION_STR " (stand-in reader)\r\n", 0), 0u);
    EXPECT_NE(shown.find(L"Document: " + guide + L"\r\nPDF 1.4, 2 pages, "), std::wstring::npos);
    PostMessageW(wnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(reader.Wait(5000).exitCode, 0u);
}

TEST(Cli, DescribesAndReadsPdfDocuments) {
    std::wstring cli = Stage(L"vlpdf-cli.exe");
    std::wstring guide = L"\"" + Stage(L"vlpdf-quickstart.pdf") + L"\"";
    Outcome info = RunToEnd(cli, L"info " + guide);
    EXPECT_EQ(info.exitCode, 0u);
    EXPECT_NE(info.out.find("PDF version: 1.4\r\npages: 2\r\n"), std::string::npos) << info.out;
    Outcome text = RunToEnd(cli, L"text " + guide);
    EXPECT_EQ(text.exitCode, 0u);
    EXPECT_EQ(text.out.rfind("VeloraPDF " VLPDF_VERSION_STR " Quick Start\r\n", 0), 0u) << text.out;

    Outcome notPdf = RunToEnd(cli, L"info \"" + Stage(L"translations.txt") + L"\"");
    EXPECT_EQ(notPdf.exitCode, 1u);
    EXPECT_NE(notPdf.out.find("is not a PDF document"), std::string::npos) << notPdf.out;
    EXPECT_EQ(RunToEnd(cli, L"info \"" + Stage(L"no-such.pdf") + L"\"").exitCode, 1u);
    EXPECT_EQ(RunToEnd(cli, L"").exitCode, 2u);
    EXPECT_EQ(RunToEnd(cli, L"pages " + guide).exitCode, 2u);
}

TEST(UserSdkHost, FindsEveryLinkedPageAndNamesAMissingOne) {
    Outcome ok = RunToEnd(Stage(L"UserSDKHost\\UserSDKHost.exe"), L"--check");
    EXPECT_EQ(ok.exitCode, 0u);
    EXPECT_NE(ok.out.find(", 0 missing"), std::string::npos) << ok.out;

    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    std::filesystem::path copy = std::filesystem::path(tmp) / L"vlpdf-usersdkhost-check";
    std::filesystem::remove_all(copy);
    std::filesystem::copy(Stage(L"UserSDKHost"), copy, std::filesystem::copy_options::recursive);
    std::filesystem::remove(copy / L"css" / L"site.css");
    std::filesystem::remove(copy / L"images" / L"kind-pdf.png");
    Outcome broken = RunToEnd((copy / L"UserSDKHost.exe").wstring(), L"--check");
    EXPECT_EQ(broken.exitCode, 1u);
    EXPECT_NE(broken.out.find("missing: index.html -> css/site.css"), std::string::npos) << broken.out;
    EXPECT_NE(broken.out.find("missing: index.html -> images/kind-pdf.png"), std::string::npos) << broken.out;
    EXPECT_NE(broken.out.find(", 2 missing"), std::string::npos) << broken.out;
    std::filesystem::remove_all(copy);
}

// ---------------------------------------------------------------------------------------
// The quick-start guide

size_t Number(const std::string& s, size_t pos) {
    return (size_t)strtoull(s.c_str() + pos, nullptr, 10);
}

TEST(QuickStartPdf, HasAHeaderAndCorrectCrossReferences) {
    std::string pdf = ReadBytes(Stage(L"vlpdf-quickstart.pdf"));
    ASSERT_EQ(pdf.rfind("%PDF-1.4\n", 0), 0u);
    ASSERT_GE(pdf.size(), 6u);
    ASSERT_EQ(pdf.substr(pdf.size() - 6), "%%EOF\n");

    size_t startxref = pdf.rfind("startxref\n");
    ASSERT_NE(startxref, std::string::npos);
    size_t xref = Number(pdf, startxref + 10);
    ASSERT_EQ(pdf.compare(xref, 5, "xref\n"), 0) << "startxref points at " << xref;
    size_t sub = xref + 5;
    ASSERT_EQ(pdf.compare(sub, 2, "0 "), 0);
    size_t count = Number(pdf, sub + 2);
    size_t entries = pdf.find('\n', sub) + 1;
    ASSERT_GE(count, 2u);
    ASSERT_EQ(pdf.compare(entries, 20, "0000000000 65535 f \n"), 0);
    for (size_t i = 1; i < count; i++) {
        std::string e = pdf.substr(entries + 20 * i, 20);
        ASSERT_TRUE(std::regex_match(e, std::regex("\\d{10} 00000 n \n"))) << "entry " << i << ": " << e;
        size_t at = Number(e, 0);
        std::string head = std::to_string(i) + " 0 obj\n";
        EXPECT_EQ(pdf.compare(at, head.size(), head), 0) << "object " << i << " is not at " << at;
    }
    size_t trailer = entries + 20 * count;
    ASSERT_EQ(pdf.compare(trailer, 8, "trailer\n"), 0);
    EXPECT_NE(pdf.find("/Size " + std::to_string(count) + " ", trailer), std::string::npos);

    // Every stream is as long as its dictionary says.
    int streams = 0;
    std::regex lengthThenStream("<< /Length (\\d+) >>\nstream\n");
    for (auto it = std::sregex_iterator(pdf.begin(), pdf.end(), lengthThenStream); it != std::sregex_iterator(); ++it) {
        size_t body = (size_t)(it->position() + it->length());
        size_t length = std::stoul((*it)[1].str());
        EXPECT_EQ(pdf.compare(body + length, 10, "endstream\n"), 0) << "stream at " << body;
        streams++;
    }
    EXPECT_EQ(streams, 2);
}

}  // namespace
