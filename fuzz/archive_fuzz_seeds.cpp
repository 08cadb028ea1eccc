// Writes small valid archives into a folder, the fuzzer's starting points.
//   archive_fuzz_seeds <folder>
#include <stdio.h>

#include <string>
#include <vector>

#include "../tests/helpers/archive_builder.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: archive_fuzz_seeds <folder>\n");
        return 2;
    }
    std::string code;
    for (int i = 0; i < 300; i++) {
        code += "\xE8" + std::string(1, (char)i) + "\x10\x00\x00\x55\x48\x89\xE5";
    }
    const std::vector<std::pair<std::string, std::vector<testpak::Entry>>> seeds = {
        {"empty", {}},
        {"stored", {testpak::Stored("logo.png", "\x89PNG")}},
        {"stored-empty", {testpak::Stored("a\\b.txt", "")}},
        {"lzma", {testpak::Lzma("readme.txt", "read me, read me, read me", 0x00)}},
        {"lzma-x86", {testpak::Lzma("vlpdf.exe", code, 0x01)}},
        {"no-end-marker", {testpak::Lzma("x.dll", code, 0x01, false)}},
        {"three",
         {testpak::Lzma("vlpdf.exe", code), testpak::Stored("UserSDKHost\\a.png", "png"),
          testpak::Lzma("translations.txt", "cn\n", 0x00)}},
    };
    for (const auto& [name, entries] : seeds) {
        std::string path = std::string(argv[1]) + "/" + name + ".pak";
        std::string bytes = testpak::Build(entries);
        FILE* f = fopen(path.c_str(), "wb");
        if (!f || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || fclose(f) != 0) {
            fprintf(stderr, "archive_fuzz_seeds: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
