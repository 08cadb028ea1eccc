// A DLL with nothing in it, for tests that need a library another process has loaded.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}

extern "C" __declspec(dllexport) int HeldLibValue() {
    return 42;
}
