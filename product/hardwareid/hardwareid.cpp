// The machine identifier and system description that installation reports carry.
//
// Both exports take a UTF-16 buffer and its capacity in characters, write a NUL-terminated
// text and return 0, or return a Win32 error code and leave an empty text (when there is
// room for one).
//
// The identifier is 32 upper-case hexadecimal digits: the first 128 bits of a SHA-256
// over the machine's own identity — the MachineGuid that Windows sets up at installation,
// or, on a machine without one, the system volume's serial number and the computer name.
// Hashing keeps the raw identity out of reports; the same machine always gives the same id.
#include <windows.h>
#include <bcrypt.h>

#include <stdio.h>

namespace {

constexpr int kIdChars = 32;
constexpr int kDescriptionMaxChars = 31;  // callers give a buffer of 32
constexpr NTSTATUS kStatusSuccess = 0;

bool Sha256(const void* data, ULONG size, BYTE out[32]) {
    BCRYPT_ALG_HANDLE alg = nullptr;
    if (BCryptOpenAlgorithmProvider(&alg, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != kStatusSuccess) return false;
    bool ok = BCryptHash(alg, nullptr, 0, (PUCHAR)data, size, out, 32) == kStatusSuccess;
    BCryptCloseAlgorithmProvider(alg, 0);
    return ok;
}

// The identity text that the id is derived from; empty when the machine shows none.
int ReadMachineIdentity(wchar_t* buf, int cap) {
    DWORD bytes = (DWORD)(cap * sizeof(wchar_t));
    LSTATUS st = RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography", L"MachineGuid",
                              RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr, buf, &bytes);
    if (st == ERROR_SUCCESS && buf[0]) return (int)wcslen(buf);

    wchar_t windowsDir[MAX_PATH];
    wchar_t volume[MAX_PATH];
    DWORD serial = 0;
    if (!GetWindowsDirectoryW(windowsDir, MAX_PATH) || !GetVolumePathNameW(windowsDir, volume, MAX_PATH) ||
        !GetVolumeInformationW(volume, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0)) {
        return 0;
    }
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = L"";
    DWORD n = ARRAYSIZE(computer);
    GetComputerNameW(computer, &n);
    int len = swprintf(buf, cap, L"volume:%08lX computer:%ls", (unsigned long)serial, computer);
    return len > 0 ? len : 0;
}

const wchar_t* ArchName() {
    // IsWow64Process2 tells the native machine also to an emulated process (x64 on ARM64);
    // it is newer than the oldest Windows the product runs on, so it is looked up.
    using IsWow64Process2Fn = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    auto isWow64Process2 =
        (IsWow64Process2Fn)(void*)GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsWow64Process2");
    USHORT processMachine = 0, nativeMachine = 0;
    if (isWow64Process2 && isWow64Process2(GetCurrentProcess(), &processMachine, &nativeMachine)) {
        switch (nativeMachine) {
            case IMAGE_FILE_MACHINE_AMD64:
                return L"x64";
            case IMAGE_FILE_MACHINE_ARM64:
                return L"arm64";
            case IMAGE_FILE_MACHINE_I386:
                return L"x86";
        }
    }
    SYSTEM_INFO si;
    GetNativeSystemInfo(&si);
    switch (si.wProcessorArchitecture) {
        case PROCESSOR_ARCHITECTURE_AMD64:
            return L"x64";
        case PROCESSOR_ARCHITECTURE_ARM64:
            return L"arm64";
        case PROCESSOR_ARCHITECTURE_INTEL:
            return L"x86";
    }
    return L"unknown";
}

int StartEmpty(wchar_t* buf, int cap, int needed) {
    if (!buf || cap <= 0) return ERROR_INVALID_PARAMETER;
    buf[0] = 0;
    return cap < needed ? ERROR_INSUFFICIENT_BUFFER : 0;
}

}  // namespace

extern "C" __declspec(dllexport) int HwId_Generate(wchar_t* buf, int cap) {
    int err = StartEmpty(buf, cap, kIdChars + 1);
    if (err) return err;
    wchar_t identity[256];
    int len = ReadMachineIdentity(identity, ARRAYSIZE(identity));
    if (len == 0) return ERROR_NOT_FOUND;
    BYTE digest[32];
    if (!Sha256(identity, (ULONG)(len * sizeof(wchar_t)), digest)) return ERROR_INTERNAL_ERROR;
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    for (int i = 0; i < kIdChars / 2; i++) {
        buf[2 * i] = kHex[digest[i] >> 4];
        buf[2 * i + 1] = kHex[digest[i] & 15];
    }
    buf[kIdChars] = 0;
    return 0;
}

// "Windows 10.0.19045 x64": the version the system really has (RtlGetVersion is not
// subject to the compatibility shims that GetVersionEx applies) and the native processor.
// Never more than 31 characters, whatever the buffer: a longer text is cut there.
extern "C" __declspec(dllexport) int SystemInfo_Get(wchar_t* buf, int cap) {
    int err = StartEmpty(buf, cap, 1);
    if (err) return err;
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    auto rtlGetVersion = (RtlGetVersionFn)(void*)GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion");
    OSVERSIONINFOW v = {};
    v.dwOSVersionInfoSize = sizeof(v);
    if (!rtlGetVersion || rtlGetVersion(&v) != 0) return ERROR_NOT_SUPPORTED;
    wchar_t text[64];
    int len = swprintf(text, ARRAYSIZE(text), L"Windows %lu.%lu.%lu %ls", v.dwMajorVersion, v.dwMinorVersion,
                       v.dwBuildNumber, ArchName());
    if (len <= 0) return ERROR_INTERNAL_ERROR;
    if (len > kDescriptionMaxChars) len = kDescriptionMaxChars;
    if (len >= cap) return ERROR_INSUFFICIENT_BUFFER;
    text[len] = 0;
    memcpy(buf, text, (len + 1) * sizeof(wchar_t));
    return 0;
}
