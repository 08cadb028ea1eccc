#pragma once
// File, directory and path helpers on UTF-8 paths. Failures return false (or an empty
// view) and leave the system error for the caller to log.
#include <stdint.h>

#include "base/str.h"

struct FileAttrData;

constexpr uint32_t kInvalidFileAttributes = 0xFFFFFFFF;

namespace file {
// Not a directory, and its attributes can be read (network paths go through the caches).
bool Exists(StrView path);
// Creates or replaces the file with exactly these bytes (others may read it meanwhile).
// A failure is logged and its system error left as the thread's last error. With flush the
// bytes are on the disk before it returns true (a failed flush fails the write).
bool WriteFile(StrView path, StrView data, bool flush = false);
// The whole file in the arena (the heap when null), followed by two NUL bytes (so that it is
// also a NUL-terminated UTF-8 or UTF-16 string); the empty view with ok=false on failure.
StrView ReadFile(StrView path, Arena* a, bool* ok);
// True when the file was deleted or is not there.
bool Delete(StrView path);
// The size of an existing regular file; -1 for an empty path, a directory or a failed lookup.
int64_t GetSize(StrView path);
// The attributes, or kInvalidFileAttributes. Network paths go through the caches, so an
// unreachable share fails at once after its first time-out.
uint32_t GetAttributes(StrView path);
// The attribute lookup behind GetAttributes, with the attribute data.
bool GetAttributeData(StrView path, FileAttrData* data);
// Copies, failing when dst exists; a failure is logged and left as the last error.
bool Copy(StrView src, StrView dst);
}  // namespace file

// Clears only the read-only bit, logging that it did.
void ClearReadOnly(StrView path);

namespace dir {
bool Exists(StrView path);
// Creates the directory and every missing parent.
bool CreateAll(StrView path);
// Creates one directory whose parent exists; an existing directory counts as success.
bool CreateOne(StrView path);
// Creates every missing directory on the way to the file.
bool CreateForFile(StrView filePath);

constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrDevice = 0x40;
constexpr uint32_t kAttrTemporary = 0x100;
constexpr uint32_t kAttrReparsePoint = 0x400;
constexpr uint32_t kAttrOffline = 0x1000;

// Symbolic links and junctions lead elsewhere: a walk neither counts nor follows them.
bool IsNameSurrogate(uint32_t attrs, uint32_t reparseTag);
bool IsWalkFile(uint32_t attrs, uint32_t reparseTag);

struct WalkEntry {
    StrView name;  // temporary arena
    StrView path;  // temporary arena
    int64_t size = 0;
    uint64_t lastAccessTime = 0;
    uint64_t lastWriteTime = 0;
    bool isFile = false;
    bool isDir = false;
};

// Depth first over dir's entries:
//   for (dir::Walk w(dir, true, false, false); w.Next(&e);) ...
// The walk ends when every directory is listed or one cannot be opened.
class Walk {
  public:
    Walk(StrView dir, bool yieldFiles, bool yieldDirs, bool recurse);
    ~Walk();
    Walk(const Walk&) = delete;
    Walk& operator=(const Walk&) = delete;
    bool Next(WalkEntry* e);

  private:
    bool OpenNext();
    // The next directory to list (owned by current_ from then on), or null at the end.
    bool PopDirectory();
    void Push(StrView dir);
    void DropPending();
    Vec<char*> stack_;  // directories still to list (heap copies)
    char* current_ = nullptr;
    void* find_ = nullptr;
    void* data_ = nullptr;  // the system's entry record
    bool first_ = false;
    bool files_, dirs_, recurse_;
};
}  // namespace dir

namespace path {
bool IsSep(char c);
// The directory part without the trailing separator; empty for a bare name.
StrView GetDirTemp(StrView path);
StrView GetBaseName(StrView path);
// Joins with a backslash unless dir already ends in a separator.
StrView JoinTemp(StrView dir, StrView name);

// How much the names of two paths say before the files are asked.
enum class SameFileNames {
    // Different base names are different files, without opening anything: a walk over every
    // module of every process stays cheap (a hard link under another name counts as another
    // file).
    BaseNamesDecide,
    // Two spellings of one path may differ in their last name too: an 8.3 name
    // ("C:\PROGRA~1"), a link or junction to a folder.
    SpellingsMayDiffer,
};
// Whether two paths name the same file or folder: equal names (letter case ignored) do,
// then the names as above, then the files' identities (volume, index, size, attributes,
// links, times), then the normalized paths when either cannot be opened.
bool IsSameFile(StrView a, StrView b, SameFileNames names = SameFileNames::BaseNamesDecide);
// 1: same by name alone, -1: different by name, 0: the files must be asked.
int CompareNamesForSameFile(StrView a, StrView b, SameFileNames names);

// A full path in the form that fits the system's 260-character limit where it can.
StrView NormalizeTemp(StrView path);
// The choice behind NormalizeTemp, from what the system answered: the full path, its long
// and short forms (empty when unknown), and whether it is a network path.
StrView ChooseNormalizedTemp(StrView fullPath, StrView longPath, StrView shortPath, bool network);
// "\\?\" in front of a path of 260 characters or more that does not have it yet.
StrView WithLongPathPrefixTemp(StrView path);
}  // namespace path
