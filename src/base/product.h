#pragma once
// The product's names, used everywhere the program shows or stores them.

#include "base/version.h"

constexpr const char* kProductName = "VeloraPDF";
constexpr const char* kProductId = "vlpdf";
constexpr const char* kReaderExeName = "vlpdf.exe";
constexpr const char* kProductVersion = VLPDF_VERSION_STR;
// The product's support web page: recorded in the uninstall entry and named in messages
// that send the user for help. Those messages spell it out in full, because the whole
// message is the key of its translation; tests check that they agree with this value.
constexpr const char* kSupportUrl = "https://www.velorapdf.com/support";

// How the installer and the uninstaller end: scripts and deployment tools read these.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
