#pragma once
// Making the reader the current user's default for a group of document types, through the
// per-user choice record the shell honours, after keeping a backup of the previous choice.
#include "base/str.h"
#include "base/vec.h"
#include "integration/reg_value.h"

enum class ReaderKind { Pdf = 0, Ofd = 1, Comics = 2, Markdown = 3 };

// The extensions of a group, in order; count in *n.
const char* const* ReaderKindExts(ReaderKind kind, int* n);
// The user's Explorer settings for a file type, and the choice record among them.
StrView FileExtKeyTemp(StrView ext);
StrView UserChoiceKeyTemp(StrView ext);
constexpr const char* kUserChoiceProgIdValue = "ProgId";
constexpr const char* kUserChoiceHashValue = "Hash";
constexpr const char* kPrevDefaultKey = "Software\\vlpdf\\PrevDefault";

// The record that makes the reader the default for ext: its ProgID and the verification
// value, computed as it is written.
void BuildUserChoiceValues(StrView ext, Vec<RegValue>* out);
// The backups of the group's earlier defaults, one for each extension: what the user had chosen
// (empty for no choice) when the reader first took the extension over.
void BuildDefaultBackupValues(ReaderKind kind, Vec<RegValue>* out);

// Whether a choice record's ProgID is the reader's: the extension's own ProgID or the bare
// product identifier, in any letter case.
bool IsOurProgId(StrView ext, StrView progId);

// What giving an extension's default back does. A record that no longer names the reader
// is the user's newer choice and stays; one that does goes back to the program the backup
// names, or goes when there was none (or the backup names the reader itself).
enum class DefaultRestore { Keep, Rewrite, Remove };
DefaultRestore DecideDefaultRestore(StrView ext, StrView currentProgId, bool hasBackup, StrView backup);

// One extension's backup as the installation kept it (strings in the process arena).
struct DefaultBackup {
    StrView ext;
    bool recorded = false;
    StrView progId;
};

// The verification value the shell checks before it honours a choice record: 12 characters
// of base64 derived from the extension, the user's string SID, the ProgID and the record's
// last-write time (FILETIME, UTC), of which only the minute counts.
StrView UserChoiceHashOfTemp(StrView ext, StrView sid, StrView progId, uint64_t lastWriteTime);
// The same over input already assembled; empty when it holds no complete 8-byte block.
StrView UserChoiceHashOfBytesTemp(const uint8_t* bytes, int32_t len);

#ifdef _WIN32
#include <windows.h>
// Writing a group is the registration table's (the DefaultReader piece, whose steps call this).
// One extension's record names progId, with the value the shell checks, and the earlier
// default is kept for the uninstall (once); true when the shell now opens ext with the reader.
bool SetDefaultReaderForExt(StrView ext, StrView progId);
bool WriteUserChoice(StrView ext, StrView progId);
// The value for a record the current user writes now; empty when the user's SID is unknown.
StrView UserChoiceHash(StrView ext, StrView progId);
// Whether ext's record names progId and carries the value that the shell computes from it.
bool UserChoiceMatches(StrView ext, StrView progId);
bool HasOurUserChoice(StrView ext);
// COM must be initialised on the calling thread for the association object; without it
// the executable the shell associates with ext decides.
bool IsDefaultReaderFor(StrView ext);
// The backups of every extension of the group, read before the product key (which holds them) goes.
void ReadDefaultBackups(ReaderKind kind, Vec<DefaultBackup>* out);
// Gives each extension back what DecideDefaultRestore says; true when every rewrite held.
bool GiveDefaultsBack(const Vec<DefaultBackup>& backups);
#endif
