// What the report says about this machine and this installer, collected from the system.
#include <windows.h>

#include "base/arena.h"
#include "base/file.h"
#include "base/product.h"
#include "base/system_lib.h"
#include "base/wide_win.h"
#include "integration/platform_version.h"
#include "integration/registry.h"
#include "stats/hardware_id.h"
#include "stats/stats.h"
#include "stats/stats_identity.h"

namespace {
#define VL_VERSION_FUNCTIONS(X) X(GetFileVersionInfoSizeW) X(GetFileVersionInfoW) X(VerQueryValueW)
VL_SYSTEM_API(VersionApi, L"version.dll", VL_VERSION_FUNCTIONS)

StrView WindowsVersionTemp() {
    PlatformVersion v = GetPlatformVersion();
    return str::FormatTemp("%u.%u.%u", v.major, v.minor, v.build);
}

bool NativeIs64Bit() {
    SYSTEM_INFO si{};
    GetNativeSystemInfo(&si);
    return si.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
           si.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_ARM64;
}

// "major.minor.build" of the file's version resource; empty when it has none.
StrView ProductVersionOfTemp(StrView filePath) {
    const VersionApi& version = VersionApi::Get();
    if (!version.ok) {
        return {};
    }
    const WCHAR* path = W(filePath);
    DWORD handle = 0;
    DWORD size = version.GetFileVersionInfoSizeW(path, &handle);
    void* data = size ? ArenaAlloc(GetTempArena(), size) : nullptr;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoLen = 0;
    if (!data || !version.GetFileVersionInfoW(path, 0, size, data) ||
        !version.VerQueryValueW(data, L"\\", (void**)&info, &infoLen) || infoLen < sizeof(*info)) {
        return {};
    }
    return FormatProductVersionTemp(info->dwProductVersionMS, info->dwProductVersionLS);
}

// Our own version; a program built without one reports the reader beside it or one level up.
StrView InstallerVersionTemp() {
    StrView self = GetModulePathTemp();
    StrView dir = path::GetDirTemp(self);
    StrView candidates[] = {self, path::JoinTemp(dir, kReaderExeName),
                            path::JoinTemp(path::GetDirTemp(dir), kReaderExeName)};
    for (StrView candidate : candidates) {
        StrView v = ProductVersionOfTemp(candidate);
        if (!v.IsEmpty()) {
            return v;
        }
    }
    return "0";
}

// VLPDF_STATS_URL when set. One that does not fit is not used at all: falling back to the
// default would send a report its setter meant to keep elsewhere.
StrView StatsBaseUrlTemp() {
    WCHAR buf[kStatsBaseUrlMaxChars + 1];
    DWORD n = GetEnvironmentVariableW(L"VLPDF_STATS_URL", buf, ARRAYSIZE(buf));
    if (n == 0) {
        return kDefaultStatsUrl;
    }
    if (n > kStatsBaseUrlMaxChars) {
        return {};
    }
    return U(buf, n);
}
}  // namespace

int32_t BuildStatsUrl(StrView type, const HardwareIdLib& lib, StrView exeName, char* out, int32_t cap) {
    TempArenaScope scope;
    StatsQuery q;
    q.type = type;
    q.system = CallHardwareIdTemp(lib.systemInfo, kSystemInfoChars);
    if (q.system.IsEmpty()) {
        q.system = WindowsVersionTemp();
    }
    q.version = InstallerVersionTemp();
    q.machineId = ReadStatsIdentityTemp(kHardwareIdValue, kHardwareIdMaxChars);
    if (q.machineId.IsEmpty()) {
        q.machineId = CallHardwareIdTemp(lib.generate, kHwIdChars);
    }
    if (q.machineId.IsEmpty()) {
        q.machineId = "empty";
    }
    q.exeName = exeName.IsEmpty() ? ReadStatsIdentityTemp(kPackageNameValue, kPackageNameMaxChars) : exeName;
    q.base = StatsBaseUrlTemp();
    q.is64Bit = NativeIs64Bit();
    return FormatStatsUrl(q, out, cap);
}
