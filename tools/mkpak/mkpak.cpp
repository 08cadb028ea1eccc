// mkpak: packs a folder into the installer's "LzSA" archive, and lists, verifies and
// extracts archives, or the archive inside an installer (its RCDATA resource 1). Reading
// goes through the installer's own reader, so mkpak is also an outside view of it.
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "pack.h"
#include "archive/archive.h"
#include "archive/archive_pe.h"
#include "archive/extract_plan.h"
#include "archive/patch.h"

namespace fs = std::filesystem;

namespace {

// 2025-01-01 00:00:00 UTC: the file time of every entry unless SOURCE_DATE_EPOCH says
// otherwise, so that the same files always give the same archive.
constexpr int64_t kDefaultEpoch = 1735689600;
constexpr int64_t kFileTimeEpochOffset = 11644473600;  // seconds from 1601 to 1970

const char kUsage[] =
    "usage: mkpak create <dir> <out.pak> [--list <entries.txt>] [-j <jobs>]\n"
    "                    [--base <earlier dir> --base-version <version>]\n"
    "       mkpak list <archive|exe>\n"
    "       mkpak verify <archive|exe> [--base <earlier dir>]\n"
    "       mkpak extract <archive|exe> <dir> [--base <earlier dir>]\n"
    "\n"
    "create packs the files of <dir>: those named in the list, in its order (one path per\n"
    "line, relative to <dir>, '/' or '\\' separators; a folder stands for all files below it\n"
    "in sorted order; empty lines and lines starting with '#' are skipped), otherwise all\n"
    "files in sorted order. Entry times come from SOURCE_DATE_EPOCH, or a fixed date.\n"
    "\n"
    "With --base, create writes a patch archive that updates an installation of\n"
    "<version>, whose files are those of <earlier dir>: a file it also has is carried as\n"
    "nothing when it did not change, otherwise as the smaller of its difference (made by\n"
    "bsdiff) and the whole file. verify and extract build such files from <earlier dir>;\n"
    "verify without it checks only the whole files.\n";

int Fail(const std::string& msg) {
    fprintf(stderr, "mkpak: %s\n", msg.c_str());
    return 1;
}

// The temporary output of create, removed on any failure or interruption so that an
// output file is either complete or absent.
char gTempPath[4096];

void RemoveTempAndExit(int sig) {
    if (gTempPath[0]) {
        unlink(gTempPath);
    }
    signal(sig, SIG_DFL);
    raise(sig);
}

bool WriteFileAtomic(const std::string& path, const std::string& data, std::string* error) {
    std::string tmpl = path + ".tmp-XXXXXX";
    if (tmpl.size() >= sizeof(gTempPath)) {
        *error = path + ": path too long";
        return false;
    }
    memcpy(gTempPath, tmpl.c_str(), tmpl.size() + 1);
    int fd = mkstemp(gTempPath);
    if (fd < 0) {
        *error = path + ": cannot create: " + strerror(errno);
        gTempPath[0] = 0;
        return false;
    }
    fchmod(fd, 0644);
    size_t at = 0;
    while (at < data.size()) {
        ssize_t n = write(fd, data.data() + at, data.size() - at);
        if (n <= 0) {
            *error = path + ": write failed: " + strerror(errno);
            close(fd);
            unlink(gTempPath);
            gTempPath[0] = 0;
            return false;
        }
        at += (size_t)n;
    }
    if (close(fd) != 0 || rename(gTempPath, path.c_str()) != 0) {
        *error = path + ": cannot write: " + strerror(errno);
        unlink(gTempPath);
        gTempPath[0] = 0;
        return false;
    }
    gTempPath[0] = 0;
    return true;
}

bool ParseEpoch(const char* s, int64_t* out) {
    if (!*s || strlen(s) > 12) {
        return false;
    }
    int64_t v = 0;
    for (const char* p = s; *p; p++) {
        if (*p < '0' || *p > '9') {
            return false;
        }
        v = v * 10 + (*p - '0');
    }
    *out = v;
    return true;
}

// The relative path as an archive name; empty when the installer would refuse it.
std::string ToEntryName(const std::string& rel) {
    std::string name = rel;
    std::replace(name.begin(), name.end(), '/', '\\');
    StrView v(name.c_str(), (int32_t)std::min<size_t>(name.size(), 0x7FFFFFFF));
    if (name.size() > (size_t)kArchiveMaxNameLen || !IsValidArchiveEntryName(v) ||
        memchr(name.data(), 0, name.size())) {
        return {};
    }
    return name;
}

// All regular files below dir, as paths relative to root with '/', sorted bytewise.
bool CollectFiles(const fs::path& rootIn, const fs::path& dir, std::vector<std::string>* out, std::string* error) {
    fs::path root = rootIn.lexically_normal();
    std::error_code ec;
    std::vector<std::string> found;
    for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_directory()) {
            continue;
        }
        // Lexically: a symbolic link is packed under its own name, not its target's.
        std::string rel = it->path().lexically_normal().lexically_relative(root).generic_string();
        if (rel.find('\\') != std::string::npos) {
            *error = rel + ": a backslash in a file name would be a folder separator on Windows";
            return false;
        }
        if (!it->is_regular_file()) {
            *error = (root / rel).string() + ": not a regular file";
            return false;
        }
        found.push_back(rel);
    }
    if (ec) {
        *error = dir.string() + ": cannot read the folder: " + ec.message();
        return false;
    }
    std::sort(found.begin(), found.end());
    out->insert(out->end(), found.begin(), found.end());
    return true;
}

bool ReadList(const std::string& listPath, const fs::path& root, std::vector<std::string>* out, std::string* error) {
    FILE* f = fopen(listPath.c_str(), "rb");
    if (!f) {
        *error = listPath + ": cannot open: " + strerror(errno);
        return false;
    }
    char buf[4096];
    int lineNo = 0;
    bool ok = true;
    while (ok && fgets(buf, sizeof(buf), f)) {
        lineNo++;
        std::string line = buf;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.pop_back();
        }
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::replace(line.begin(), line.end(), '\\', '/');
        fs::path p = root / line;
        std::error_code ec;
        if (fs::is_directory(p, ec)) {
            ok = CollectFiles(root, p, out, error);
        } else if (fs::exists(p, ec)) {
            out->push_back(line);
        } else {
            *error = listPath + ":" + std::to_string(lineNo) + ": " + p.string() + " does not exist";
            ok = false;
        }
    }
    fclose(f);
    return ok;
}

// What create was asked for.
struct CreateRequest {
    std::string dir, outPath, listPath;
    int jobs = 1;
    std::string baseDir, baseVersion;  // a patch archive when set
};

// A private folder for bsdiff's output, removed when create ends.
struct ScratchDir {
    std::string path;
    ~ScratchDir() {
        std::error_code ec;
        if (!path.empty()) {
            fs::remove_all(path, ec);
        }
    }
    bool Make(std::string* error) {
        std::string tmpl = (fs::temp_directory_path() / "mkpak-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) {
            *error = tmpl + ": cannot create: " + strerror(errno);
            return false;
        }
        path = tmpl;
        return true;
    }
};

int Create(const CreateRequest& req) {
    const std::string& dir = req.dir;
    const std::string& outPath = req.outPath;
    const std::string& listPath = req.listPath;
    if (req.baseDir.empty() != req.baseVersion.empty()) {
        return Fail("--base and --base-version go together");
    }
    if (!req.baseVersion.empty() &&
        (req.baseVersion.size() > (size_t)kPatchBaseVersionMaxLen ||
         !IsPatchBaseVersion(StrView(req.baseVersion.c_str(), (int32_t)req.baseVersion.size())))) {
        return Fail("--base-version '" + req.baseVersion + "': digits and single dots, at most " +
                    std::to_string(kPatchBaseVersionMaxLen) + " characters");
    }
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        return Fail(dir + ": not a folder");
    }
    std::vector<std::string> files;
    std::string error;
    bool ok = listPath.empty() ? CollectFiles(dir, dir, &files, &error) : ReadList(listPath, dir, &files, &error);
    if (!ok) {
        return Fail(error);
    }
    if (files.empty()) {
        return Fail(dir + ": no files to pack");
    }
    if (files.size() > (size_t)kArchiveMaxEntries) {
        return Fail(std::to_string(files.size()) + " files; an archive holds at most " +
                    std::to_string(kArchiveMaxEntries));
    }
    std::vector<PackInput> inputs;
    std::set<std::string> seen;
    for (const std::string& rel : files) {
        std::string name = ToEntryName(rel);
        if (name.empty()) {
            return Fail("'" + rel + "': the installer refuses this name (relative path, no '..', no ':', at most " +
                        std::to_string(kArchiveMaxNameLen) + " bytes)");
        }
        if (!seen.insert(name).second) {
            return Fail(name + ": listed twice");
        }
        inputs.push_back({name, (fs::path(dir) / rel).string(), {}});
        std::error_code baseEc;
        // What the installer reads from its own archive stays whole: it needs it before it
        // has found the installation to build it from.
        bool fromBase = !req.baseDir.empty() && !InstallerReadsEntry(StrView(name.c_str(), (int32_t)name.size()));
        if (fromBase && fs::is_regular_file(fs::path(req.baseDir) / rel, baseEc)) {
            inputs.back().basePath = (fs::path(req.baseDir) / rel).string();
        }
    }
    ScratchDir scratch;
    if (!req.baseDir.empty()) {
        std::error_code baseEc;
        if (!fs::is_directory(req.baseDir, baseEc)) {
            return Fail(req.baseDir + ": not a folder");
        }
        if (!scratch.Make(&error)) {
            return Fail(error);
        }
    }

    int64_t epoch = kDefaultEpoch;
    if (const char* sde = getenv("SOURCE_DATE_EPOCH")) {
        if (!ParseEpoch(sde, &epoch)) {
            return Fail(std::string("SOURCE_DATE_EPOCH='") + sde + "' is not a number of seconds");
        }
    }
    PackOptions opt;
    opt.jobs = req.jobs;
    opt.patchBaseVersion = req.baseVersion;
    opt.scratchDir = scratch.path;
    opt.fileTime = (uint64_t)(epoch + kFileTimeEpochOffset) * 10000000u;
    opt.progress = isatty(2);
    std::string archive;
    if (!PackArchive(inputs, opt, &archive, &error)) {
        return Fail(error);
    }
    // What we write must be what the installer accepts.
    auto table = std::make_unique<InstallerArchive>();
    if (!ParseSimpleArchive((const uint8_t*)archive.data(), (int32_t)archive.size(), table.get())) {
        return Fail("internal error: the packed archive does not parse");
    }
    if (!WriteFileAtomic(outPath, archive, &error)) {
        return Fail(error);
    }
    return 0;
}

// The archive's bytes: the file itself, or RCDATA 1 of a Windows executable.
struct Input {
    std::string file;
    std::string archiveBytes;
    std::unique_ptr<InstallerArchive> table = std::make_unique<InstallerArchive>();
};

bool OpenArchive(const std::string& path, Input* in, std::string* error) {
    in->file = path;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) {
        *error = path + ": cannot open: " + strerror(errno);
        return false;
    }
    std::string data;
    char buf[1 << 16];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), f)) > 0) {
        data.append(buf, n);
    }
    bool failed = ferror(f);
    fclose(f);
    if (failed) {
        *error = path + ": read failed";
        return false;
    }
    if (data.size() >= 2 && data[0] == 'M' && data[1] == 'Z') {
        int64_t off = 0;
        uint32_t len = 0;
        if (!FindPeRcData((const uint8_t*)data.data(), (int64_t)data.size(), 1, &off, &len)) {
            *error = path + ": a Windows executable without an archive (no RCDATA resource 1)";
            return false;
        }
        data = data.substr((size_t)off, len);
    }
    if (data.size() > 0x7FFFFFFF) {
        *error = path + ": larger than any archive the installer reads";
        return false;
    }
    in->archiveBytes = std::move(data);
    if (!ParseSimpleArchive((const uint8_t*)in->archiveBytes.data(), (int32_t)in->archiveBytes.size(),
                            in->table.get())) {
        *error = path + ": not a valid archive (layout, limits, names or header CRC)";
        return false;
    }
    return true;
}

std::string EntryName(const ArchiveEntry& e) {
    return std::string(e.name.s, (size_t)e.name.len);
}

std::string KindName(const ArchiveEntry& e) {
    EntryKind kind = ArchiveEntryKind(e);
    if (kind != EntryKind::Unknown) {
        return EntryKindName(kind);
    }
    char buf[32];
    snprintf(buf, sizeof(buf), "unknown 0x%02X", EntryKindByte(e));
    return buf;
}

int List(const std::string& path) {
    Input in;
    std::string error;
    if (!OpenArchive(path, &in, &error)) {
        return Fail(error);
    }
    if (in.table->patchBaseVersion.len > 0) {
        printf("a patch of version %.*s\n", in.table->patchBaseVersion.len, in.table->patchBaseVersion.s);
    }
    uint64_t total = 0;
    uint64_t packed = 0;
    printf("%12s %12s  %-8s  %s\n", "size", "packed", "method", "name");
    for (int32_t i = 0; i < in.table->count; i++) {
        const ArchiveEntry& e = in.table->entries[i];
        printf("%12u %12u  %-8s  %s\n", e.uncompressedSize, e.compressedSize, KindName(e).c_str(), EntryName(e).c_str());
        total += e.uncompressedSize;
        packed += e.compressedSize;
    }
    printf("%12llu %12llu  %d files\n", (unsigned long long)total, (unsigned long long)packed, in.table->count);
    return 0;
}

const char* BuildFailure(BuildOutcome outcome) {
    switch (outcome) {
        case BuildOutcome::BaseDiffers:
            return "the earlier file is not the one it was made from";
        case BuildOutcome::OutOfMemory:
            return "out of memory";
        default:
            return "does not decode or fails its size, CRC-32 or SHA-256";
    }
}

// One entry's file, made from baseDir's file of the same name where the entry needs it;
// null with the reason in error. The caller free()s it.
char* EntryFile(const Input& in, int32_t i, const std::string& baseDir, std::string* error) {
    const ArchiveEntry& e = in.table->entries[i];
    std::string what = in.file + ": entry " + std::to_string(i) + " '" + EntryName(e) + "' ";
    if (ArchiveEntryKind(e) == EntryKind::Unknown) {
        *error = what + "is of a kind this reader does not know (" + KindName(e) + ")";
        return nullptr;
    }
    if (!IsFromBase(e)) {
        char* data = GetFileDataByIdx(in.table.get(), i);
        if (!data) {
            *error = what + "does not decode or fails its CRC-32";
        }
        return data;
    }
    std::string rel = EntryName(e);
    std::replace(rel.begin(), rel.end(), '\\', '/');
    std::string base;
    std::string readError;
    if (!ReadWholeFile((fs::path(baseDir) / rel).string(), &base, &readError)) {
        *error = what + "is made from the earlier version's file: " + readError;
        return nullptr;
    }
    BuildOutcome outcome;
    char* data = BuildFromBase(e, (const uint8_t*)base.data(), (uint32_t)base.size(), &outcome);
    if (!data) {
        *error = what + BuildFailure(outcome);
    }
    return data;
}

int Verify(const std::string& path, const std::string& baseDir) {
    Input in;
    std::string error;
    if (!OpenArchive(path, &in, &error)) {
        return Fail(error);
    }
    int32_t skipped = 0;
    for (int32_t i = 0; i < in.table->count; i++) {
        if (baseDir.empty() && IsFromBase(in.table->entries[i])) {
            skipped++;
            continue;
        }
        char* data = EntryFile(in, i, baseDir, &error);
        if (!data) {
            return Fail(error);
        }
        free(data);
    }
    if (skipped > 0) {
        printf("%s: %d files OK, %d made from the earlier version not checked (no --base)\n", path.c_str(),
               in.table->count - skipped, skipped);
    } else {
        printf("%s: %d files OK\n", path.c_str(), in.table->count);
    }
    return 0;
}

int Extract(const std::string& path, const std::string& outDir, const std::string& baseDir) {
    Input in;
    std::string error;
    if (!OpenArchive(path, &in, &error)) {
        return Fail(error);
    }
    for (int32_t i = 0; i < in.table->count; i++) {
        const ArchiveEntry& e = in.table->entries[i];
        std::string rel = EntryName(e);
        std::replace(rel.begin(), rel.end(), '\\', '/');
        fs::path target = fs::path(outDir) / rel;
        std::error_code ec;
        fs::create_directories(target.parent_path(), ec);
        if (ec) {
            return Fail(target.parent_path().string() + ": cannot create: " + ec.message());
        }
        char* data = EntryFile(in, i, baseDir, &error);
        if (!data) {
            return Fail(error);
        }
        bool written = WriteFileAtomic(target.string(), std::string(data, e.uncompressedSize), &error);
        free(data);
        if (!written) {
            return Fail(error);
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    signal(SIGINT, RemoveTempAndExit);
    signal(SIGTERM, RemoveTempAndExit);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "-h" || args[0] == "--help") {
        fputs(kUsage, args.empty() ? stderr : stdout);
        return args.empty() ? 2 : 0;
    }
    const std::string& cmd = args[0];
    // Options anywhere after the command; the rest are its operands.
    std::vector<std::string> pos;
    CreateRequest req;
    req.jobs = (int)std::max(1u, std::thread::hardware_concurrency());
    for (size_t i = 1; i < args.size(); i++) {
        bool hasValue = i + 1 < args.size();
        if (args[i] == "--list" && hasValue && cmd == "create") {
            req.listPath = args[++i];
        } else if (args[i] == "-j" && hasValue && cmd == "create") {
            req.jobs = atoi(args[++i].c_str());
            if (req.jobs < 1 || req.jobs > 256) {
                return Fail("-j wants a number of jobs from 1 to 256");
            }
        } else if (args[i] == "--base" && hasValue) {
            req.baseDir = args[++i];
        } else if (args[i] == "--base-version" && hasValue && cmd == "create") {
            req.baseVersion = args[++i];
        } else if (args[i].rfind("-", 0) == 0) {
            return Fail("unknown option " + args[i] + "\n" + kUsage);
        } else {
            pos.push_back(args[i]);
        }
    }
    if (cmd == "create" && pos.size() == 2) {
        req.dir = pos[0];
        req.outPath = pos[1];
        return Create(req);
    }
    if (cmd == "list" && pos.size() == 1 && req.baseDir.empty()) {
        return List(pos[0]);
    }
    if (cmd == "verify" && pos.size() == 1) {
        return Verify(pos[0], req.baseDir);
    }
    if (cmd == "extract" && pos.size() == 2) {
        return Extract(pos[0], pos[1], req.baseDir);
    }
    fputs(kUsage, stderr);
    return 2;
}
