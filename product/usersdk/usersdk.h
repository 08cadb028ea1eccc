#pragma once
// The reader's plug-in SDK: where its host program lives and which SDK version it speaks.

#ifdef USERSDK_BUILD
#define USERSDK_API extern "C" __declspec(dllexport)
#else
#define USERSDK_API extern "C" __declspec(dllimport)
#endif

// The product's version as text, "MAJOR.MINOR".
USERSDK_API const wchar_t* UserSDK_Version(void);

// Writes the path of UserSDKHost\UserSDKHost.exe beside this DLL. Returns 0, or
// ERROR_INSUFFICIENT_BUFFER / the error of finding the DLL's own path.
USERSDK_API int UserSDK_GetHostPath(wchar_t* buf, int cap);
