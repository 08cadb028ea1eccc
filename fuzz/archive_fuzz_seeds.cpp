// Writes small valid archives into a folder, the fuzzer's starting points.
//   archive_fuzz_seeds <folder>
#include <stdio.h>

#include <string>
#include <vector>

#include "../tests/helpers/archive_builder.h"

bool WriteSeed(const std::string& path, const std::string& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || fclose(f) != 0) {
        fprintf(stderr, "archive_fuzz_seeds: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

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
    // A patch archive: the digests do not matter to the fuzzer, which applies differences
    // whatever the base.
    const std::string digest(32, '\x5A');
    const std::vector<testpak::Entry> patch = {
        testpak::FromBase("same.dll", digest, "earlier", digest, "\x20"),
        testpak::FromBase("diff.dll", digest, "an earlier VERSION",
                          digest, "\x21" + testpak::DifferenceBody({{3, 7, 5}, {8, 0, 0}}, std::string(11, '\0'),
                                                                   " VERSION", true)),
        testpak::FromBase("whole.dll", digest, code, digest, testpak::LzmaBlock(code)),
        testpak::Stored("new.txt", "new"),
    };
    for (const auto& [name, entries] : seeds) {
        if (!WriteSeed(std::string(argv[1]) + "/" + name + ".pak", testpak::Build(entries))) {
            return 1;
        }
    }
    return WriteSeed(std::string(argv[1]) + "/patch.pak", testpak::Build(patch, testpak::PatchMagic("3.7"))) ? 0 : 1;
}
