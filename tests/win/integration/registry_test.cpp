#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>

#include <algorithm>
#include <functional>
#include <string>

#include "base/arena.h"
#include "integration/registry.h"
#include "reg_test.h"

using namespace regtest;

namespace {
const std::string kKey = "Software\\vlpdf-registry-test";
const HKEY kBogusRoot = (HKEY)(ULONG_PTR)0x1234;

class Registry : public testing::Test {
  protected:
    void SetUp() override {
        SetLogRegistryCalls(true);
        Remove(HKEY_CURRENT_USER, kKey);
    }
    void TearDown() override { Remove(HKEY_CURRENT_USER, kKey); }
};

// The last-error line that follows every "failed".
std::string ErrorLinePrefix(DWORD code) {
    return "LogLastError: 0x" + ([&] {
               char b[16];
               snprintf(b, sizeof(b), "%lx (%lu) '", (unsigned long)code, (unsigned long)code);
               return std::string(b);
           })();
}
}  // namespace

TEST_F(Registry, MutatingPrimitivesLogTheirCallAndOk) {
    struct Case {
        std::function<bool()> call;
        std::string line;
    } cases[] = {
        {[] { return WriteRegStr(HKEY_CURRENT_USER, kKey.c_str(), "s", "t\xC3\xA9xt"); },
         "WriteRegStr(HKEY_CURRENT_USER, Software\\vlpdf-registry-test, s, t\xC3\xA9xt) => ok\n"},
        {[] { return WriteRegDWORD(HKEY_CURRENT_USER, kKey.c_str(), "d", 0xFFFFFFFF); },
         "WriteRegDWORD(HKEY_CURRENT_USER, Software\\vlpdf-registry-test, d, -1) => ok\n"},
        {[] { return WriteRegNone(HKEY_CURRENT_USER, kKey.c_str(), "n"); },
         "WriteRegNone(HKEY_CURRENT_USER, Software\\vlpdf-registry-test, n) => ok\n"},
        {[] { return DeleteRegValue(HKEY_CURRENT_USER, kKey.c_str(), "s"); },
         "DeleteRegValue(HKEY_CURRENT_USER, Software\\vlpdf-registry-test, s) => ok\n"},
        {[] { return DeleteRegValue(HKEY_CURRENT_USER, kKey.c_str(), "s"); },  // absent now
         "DeleteRegValue(HKEY_CURRENT_USER, Software\\vlpdf-registry-test, s) => ok\n"},
        {[] { return DeleteRegKey(HKEY_CURRENT_USER, kKey.c_str(), false); },
         "DeleteRegKey(HKEY_CURRENT_USER, Software\\vlpdf-registry-test, 0) => ok\n"},
        {[] { return DeleteRegKey(HKEY_CURRENT_USER, kKey.c_str(), true); },  // absent now
         "DeleteRegKey(HKEY_CURRENT_USER, Software\\vlpdf-registry-test, 1) => ok\n"},
        {[] { return DeleteRegValue(HKEY_LOCAL_MACHINE, "Software\\vlpdf-none", "x"); },
         "DeleteRegValue(HKEY_LOCAL_MACHINE, Software\\vlpdf-none, x) => ok\n"},
    };
    for (const Case& c : cases) {
        bool ok = false;
        EXPECT_EQ(LoggedDuring([&] { ok = c.call(); }), c.line);
        EXPECT_TRUE(ok) << c.line;
    }
}

TEST_F(Registry, FailedPrimitivesLogFailedThenTheSystemError) {
    struct Case {
        std::function<bool()> call;
        std::string line;
    } cases[] = {
        {[] { return WriteRegStr(kBogusRoot, "K", "v", "t"); }, "WriteRegStr(RegKeyName: unknown key, K, v, t) => failed\n"},
        {[] { return WriteRegDWORD(kBogusRoot, "K", "v", 7); }, "WriteRegDWORD(RegKeyName: unknown key, K, v, 7) => failed\n"},
        {[] { return WriteRegNone(kBogusRoot, "K", "v"); }, "WriteRegNone(RegKeyName: unknown key, K, v) => failed\n"},
        {[] { return DeleteRegKey(kBogusRoot, "K", false); }, "DeleteRegKey(RegKeyName: unknown key, K, 0) => failed\n"},
        {[] { return DeleteRegValue(kBogusRoot, "K", "v"); }, "DeleteRegValue(RegKeyName: unknown key, K, v) => failed\n"},
    };
    for (const Case& c : cases) {
        bool ok = true;
        std::string log = LoggedDuring([&] { ok = c.call(); });
        EXPECT_FALSE(ok) << c.line;
        ASSERT_EQ(log.substr(0, c.line.size()), c.line) << log;
        std::string rest = log.substr(c.line.size());
        EXPECT_EQ(rest.rfind(ErrorLinePrefix(ERROR_INVALID_HANDLE), 0), 0u) << rest;
        EXPECT_EQ(std::count(rest.begin(), rest.end(), '\n'), 1) << rest;
    }
}

TEST_F(Registry, NothingIsLoggedWhenTheSwitchIsOff) {
    SetLogRegistryCalls(false);
    std::string log = LoggedDuring([] {
        WriteRegStr(HKEY_CURRENT_USER, kKey.c_str(), "s", "x");
        WriteRegStr(kBogusRoot, "K", "v", "t");
        ReadRegStrTemp(HKEY_CURRENT_USER, kKey.c_str(), "s");
        DeleteRegKey(HKEY_CURRENT_USER, kKey.c_str(), false);
        WriteRegExpandSz(HKEY_CURRENT_USER, kKey.c_str(), "p", "x");
    });
    EXPECT_EQ(log, "");
}

TEST_F(Registry, WritesStoreTypeAndDataExactly) {
    ASSERT_TRUE(WriteRegStr(HKEY_CURRENT_USER, kKey.c_str(), "", "default"));
    ASSERT_TRUE(WriteRegStr(HKEY_CURRENT_USER, kKey.c_str(), "empty", ""));
    ASSERT_TRUE(WriteRegDWORD(HKEY_CURRENT_USER, kKey.c_str(), "d", 3));
    ASSERT_TRUE(WriteRegNone(HKEY_CURRENT_USER, kKey.c_str(), "n"));
    ExpectSz(HKEY_CURRENT_USER, kKey, "", "default");
    ExpectSz(HKEY_CURRENT_USER, kKey, "empty", "");
    ExpectDword(HKEY_CURRENT_USER, kKey, "d", 3);
    Value none = Get(HKEY_CURRENT_USER, kKey, "n");
    EXPECT_TRUE(none.exists);
    EXPECT_EQ(none.type, (DWORD)REG_NONE);
    EXPECT_EQ(none.data.size(), 0u);
}

TEST_F(Registry, ReadRegStrRoundTripsAndReadsAnUnterminatedValue) {
    WriteRegStr(HKEY_CURRENT_USER, kKey.c_str(), "s", "C:\\Program Files\\\xE6\xB5\x8B");
    EXPECT_STREQ(ReadRegStr(HKEY_CURRENT_USER, kKey.c_str(), "s").CStr(), "C:\\Program Files\\\xE6\xB5\x8B");
    const wchar_t raw[] = {L'a', L'b', L'c'};
    Put(HKEY_CURRENT_USER, kKey, "raw", REG_SZ, raw, sizeof(raw));
    EXPECT_STREQ(ReadRegStr(HKEY_CURRENT_USER, kKey.c_str(), "raw").CStr(), "abc");
    const char odd[] = {'x', 0, 'y', 0, 'z'};  // an odd byte count, as some writers leave it
    Put(HKEY_CURRENT_USER, kKey, "odd", REG_SZ, odd, sizeof(odd));
    EXPECT_STREQ(ReadRegStr(HKEY_CURRENT_USER, kKey.c_str(), "odd").CStr(), "xyz");
    EXPECT_STREQ(ReadRegStr(HKEY_CURRENT_USER, kKey.c_str(), "missing").CStr(), "");
    EXPECT_STREQ(ReadRegStr(nullptr, kKey.c_str(), "s").CStr(), "");
}

TEST_F(Registry, ReadRegStrTempLogsTheResult) {
    WriteRegStr(HKEY_CURRENT_USER, kKey.c_str(), "s", "v");
    EXPECT_EQ(LoggedDuring([] { ReadRegStrTemp(HKEY_CURRENT_USER, kKey.c_str(), "s"); }),
              "ReadRegStrTemp(HKEY_CURRENT_USER, Software\\vlpdf-registry-test, s) => 'v'\n");
    EXPECT_EQ(LoggedDuring([] { ReadRegStrTemp(HKEY_CLASSES_ROOT, ".none-vlpdf", ""); }),
              "ReadRegStrTemp(HKEY_CLASSES_ROOT, .none-vlpdf, ) => ''\n");
}

TEST_F(Registry, OnlyTheMachineRootFallsBackToThe32BitView) {
    const std::string key = "Software\\vlpdf-view-test";
    PutSz(HKEY_LOCAL_MACHINE, key, "v", "from32", KEY_WOW64_32KEY);
    PutSz(HKEY_CURRENT_USER, key, "v", "user", 0);
    ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key, KEY_WOW64_64KEY)) << "views are not separate here";
    EXPECT_STREQ(ReadRegStr(HKEY_LOCAL_MACHINE, key.c_str(), "v").CStr(), "from32");
    // A key that exists in the native view but lacks the value also falls back.
    PutSz(HKEY_LOCAL_MACHINE, key, "other", "x", KEY_WOW64_64KEY);
    EXPECT_STREQ(ReadRegStr(HKEY_LOCAL_MACHINE, key.c_str(), "v").CStr(), "from32");
    EXPECT_STREQ(ReadRegStr2(key.c_str(), "v").CStr(), "from32");
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, Wide(key).c_str(), KEY_WOW64_32KEY, 0);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, Wide(key).c_str(), KEY_WOW64_64KEY, 0);
    EXPECT_STREQ(ReadRegStr2(key.c_str(), "v").CStr(), "user");
    Remove(HKEY_CURRENT_USER, key);
}

TEST_F(Registry, DwordReadsOnlyFourByteValues) {
    uint64_t q = 5;
    uint16_t w = 5;
    DWORD d = 5;
    Put(HKEY_CURRENT_USER, kKey, "q", REG_QWORD, &q, 8);
    Put(HKEY_CURRENT_USER, kKey, "w", REG_BINARY, &w, 2);
    Put(HKEY_CURRENT_USER, kKey, "d", REG_DWORD, &d, 4);
    uint32_t out = 99;
    EXPECT_FALSE(ReadRegDWORD(HKEY_CURRENT_USER, kKey.c_str(), "q", &out));
    EXPECT_FALSE(ReadRegDWORD(HKEY_CURRENT_USER, kKey.c_str(), "w", &out));
    EXPECT_FALSE(ReadRegDWORD(HKEY_CURRENT_USER, kKey.c_str(), "missing", &out));
    EXPECT_EQ(out, 99u);
    EXPECT_TRUE(ReadRegDWORD(HKEY_CURRENT_USER, kKey.c_str(), "d", &out));
    EXPECT_EQ(out, 5u);
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, kKey.c_str(), "q"));
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kKey.c_str(), "missing"));
}

TEST_F(Registry, ExpandSzNeverCreatesTheKey) {
    std::string log = LoggedDuring([] {
        EXPECT_FALSE(WriteRegExpandSz(HKEY_CURRENT_USER, (kKey + "\\sub").c_str(), "Path", "x"));
    });
    EXPECT_EQ(log, "WriteRegExpandSz: RegOpenKeyExW('Software\\vlpdf-registry-test\\sub') failed with 2\n");
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kKey + "\\sub"));
    PutSz(HKEY_CURRENT_USER, kKey + "\\sub", "other", "x");
    EXPECT_EQ(LoggedDuring([] { EXPECT_TRUE(WriteRegExpandSz(HKEY_CURRENT_USER, (kKey + "\\sub").c_str(), "Path", "%A%;B")); }),
              "");
    Value v = Get(HKEY_CURRENT_USER, kKey + "\\sub", "Path");
    EXPECT_EQ(v.type, (DWORD)REG_EXPAND_SZ);
    EXPECT_EQ(v.Text(), "%A%;B");
}

TEST_F(Registry, DeleteKeyIfEmptyLeavesKeysThatHoldSomething) {
    PutSz(HKEY_CURRENT_USER, kKey + "\\full", "v", "x");
    PutSz(HKEY_CURRENT_USER, kKey + "\\parent\\child", "", "x");
    HKEY h;
    RegCreateKeyExW(HKEY_CURRENT_USER, Wide(kKey + "\\empty").c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr);
    RegCloseKey(h);
    EXPECT_FALSE(DeleteRegKeyIfEmpty(HKEY_CURRENT_USER, (kKey + "\\full").c_str()));
    EXPECT_FALSE(DeleteRegKeyIfEmpty(HKEY_CURRENT_USER, (kKey + "\\parent").c_str()));
    EXPECT_TRUE(DeleteRegKeyIfEmpty(HKEY_CURRENT_USER, (kKey + "\\empty").c_str()));
    EXPECT_TRUE(DeleteRegKeyIfEmpty(HKEY_CURRENT_USER, (kKey + "\\absent").c_str()));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kKey + "\\full"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kKey + "\\parent"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kKey + "\\empty"));
}

TEST_F(Registry, WriteInViewGoesToThatViewOnly) {
    const std::string key = "Software\\vlpdf-inview-test";
    EXPECT_TRUE(WriteRegStrInView(HKEY_LOCAL_MACHINE, key.c_str(), "", "d32", kRegView32));
    EXPECT_TRUE(WriteRegStrInView(HKEY_LOCAL_MACHINE, key.c_str(), "n", "v64", kRegView64));
    ExpectSz(HKEY_LOCAL_MACHINE, key, "", "d32", KEY_WOW64_32KEY);
    EXPECT_FALSE(Get(HKEY_LOCAL_MACHINE, key, "n", KEY_WOW64_32KEY).exists);
    ExpectSz(HKEY_LOCAL_MACHINE, key, "n", "v64", KEY_WOW64_64KEY);
    EXPECT_FALSE(Get(HKEY_LOCAL_MACHINE, key, "", KEY_WOW64_64KEY).exists);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, Wide(key).c_str(), KEY_WOW64_32KEY, 0);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, Wide(key).c_str(), KEY_WOW64_64KEY, 0);
}

TEST_F(Registry, ResetAclRemovesAKeyThatDeniesEveryone) {
    const std::string key = kKey + "\\locked";
    PutSz(HKEY_CURRENT_USER, key + "\\child", "v", "x");
    DenyEveryone(HKEY_CURRENT_USER, key);
    HKEY probe;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, Wide(key).c_str(), 0, KEY_READ, &probe), ERROR_SUCCESS);
    EXPECT_FALSE(DeleteRegKey(HKEY_CURRENT_USER, key.c_str(), false));
    EXPECT_TRUE(DeleteRegKey(HKEY_CURRENT_USER, key.c_str(), true));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key));
}

TEST(ModulePath, IsThisTestProgram) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(std::string(GetModulePathTemp().CStr()), Narrow(self));
}
