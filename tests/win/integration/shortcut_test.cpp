#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include "base/arena.h"
#include "base/file.h"
#include "integration/shortcut.h"
#include "test_dir.h"

namespace {
class ComScope {
  public:
    ComScope() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComScope() { CoUninitialize(); }
};

bool SaveLink(const std::wstring& lnk, const std::wstring& target) {
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    bool ok = SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_ALL, IID_IShellLinkW, (void**)&link)) &&
              SUCCEEDED(link->SetPath(target.c_str())) &&
              SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&file)) && SUCCEEDED(file->Save(lnk.c_str(), TRUE));
    if (file) file->Release();
    if (link) link->Release();
    return ok;
}

std::wstring Wide(const std::string& s) {
    return std::wstring((const wchar_t*)ToWStrTemp(s.c_str()).s);
}
}  // namespace

TEST(ResolveShortcut, GivesTheTargetOfASavedLink) {
    ComScope com;
    TestDir dir;
    std::string target = dir.Path("Doc\xC3\xA9.pdf");
    ASSERT_TRUE(file::WriteFile(target.c_str(), "%PDF-1.4\n"));
    std::string lnk = dir.Path("doc.lnk");
    ASSERT_TRUE(SaveLink(Wide(lnk), Wide(target)));
    EXPECT_TRUE(str::EqI(ResolveShortcutTemp(lnk.c_str()), target.c_str())) << ResolveShortcutTemp(lnk.c_str()).CStr();
}

TEST(ResolveShortcut, MissingOrBrokenLinkGivesEmpty) {
    ComScope com;
    TestDir dir;
    std::string garbage = dir.Path("garbage.lnk");
    file::WriteFile(garbage.c_str(), "not a shell link");
    EXPECT_STREQ(ResolveShortcutTemp(dir.Path("none.lnk").c_str()).CStr(), "");
    EXPECT_STREQ(ResolveShortcutTemp(garbage.c_str()).CStr(), "");
}
