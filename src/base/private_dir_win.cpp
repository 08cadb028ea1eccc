#include "base/private_dir.h"

#include <windows.h>
#include <ntsecapi.h>
#include <sddl.h>

#include "base/arena.h"
#include "base/file.h"
#include "base/log.h"
#include "base/log_system.h"
#include "base/wide_win.h"

namespace {
StrView RandomHexTemp() {
    uint8_t bytes[16];
    if (!RtlGenRandom(bytes, sizeof(bytes))) {
        return {};
    }
    char hex[sizeof(bytes) * 2 + 1];
    for (size_t i = 0; i < sizeof(bytes); i++) {
        hex[i * 2] = "0123456789abcdef"[bytes[i] >> 4];
        hex[i * 2 + 1] = "0123456789abcdef"[bytes[i] & 15];
    }
    hex[sizeof(hex) - 1] = 0;
    return str::DupTemp(hex);
}

// The SID that owns what this process creates: the user for a limited run, the
// administrators group for an elevated one, the system for LocalSystem.
StrView DefaultOwnerSidTemp() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return {};
    }
    BYTE buf[sizeof(TOKEN_OWNER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    WCHAR* text = nullptr;
    StrView sid;
    if (GetTokenInformation(token, TokenOwner, buf, sizeof(buf), &size) &&
        ConvertSidToStringSidW(((TOKEN_OWNER*)buf)->Owner, &text)) {
        sid = U(text);
        LocalFree(text);
    }
    CloseHandle(token);
    return sid;
}

// Protected: nothing is inherited from the temporary folder, which grants its users more.
PSECURITY_DESCRIPTOR PrivateDescriptor(StrView ownerSid) {
    StrView sddl = str::FormatTemp("D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;%s)", ownerSid.CStr());
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(W(sddl), SDDL_REVISION_1, &sd,
                                                              nullptr)) {
        return nullptr;
    }
    return sd;
}
}  // namespace

StrView CreatePrivateDirTemp(StrView parent, StrView prefix) {
    StrView random = RandomHexTemp();
    StrView owner = DefaultOwnerSidTemp();
    PSECURITY_DESCRIPTOR sd = owner.IsEmpty() ? nullptr : PrivateDescriptor(owner);
    if (parent.IsEmpty() || random.IsEmpty() || !sd) {
        Logf("CreatePrivateDir: no name or access list for a folder in '%s'\n", str::DupTemp(parent).CStr());
        LogLastError(0);
        if (sd) {
            LocalFree(sd);
        }
        return {};
    }
    StrView dir = path::JoinTemp(parent, str::FormatTemp("%s%s", str::DupTemp(prefix).CStr(), random.CStr()));
    SECURITY_ATTRIBUTES sa{sizeof(sa), sd, FALSE};
    bool made = CreateDirectoryW(W(dir), &sa);
    DWORD err = GetLastError();
    LocalFree(sd);
    if (!made) {
        Logf("CreatePrivateDir: creating '%s' failed\n", dir.CStr());
        LogLastError(err);
        return {};
    }
    return dir;
}
