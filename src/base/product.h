#pragma once
// The product's names, used everywhere the program shows or stores them.

constexpr const char* kProductName = "VeloraPDF";
constexpr const char* kProductId = "vlpdf";
constexpr const char* kReaderExeName = "vlpdf.exe";
constexpr const char* kProductVersion = "3.7";
constexpr const char* kSupportUrl = "https://velorapdf.com/support";
