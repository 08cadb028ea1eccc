#pragma once
// Making the reader the current user's default for a group of document types, through the
// per-user choice record the shell honours, after keeping a backup of the previous choice.
#include "base/str.h"

enum class ReaderKind { Pdf = 0, Ofd = 1, Comics = 2, Markdown = 3 };

// The extensions of a group, in order; count in *n.
const char* const* ReaderKindExts(ReaderKind kind, int* n);
StrView UserChoiceKeyTemp(StrView ext);
constexpr const char* kPrevDefaultKey = "Software\\vlpdf\\PrevDefault";

// The verification value the shell checks before it honours a choice record: 12 characters
// of base64 derived from the extension, the user's string SID, the ProgID and the record's
// last-write time (FILETIME, UTC), of which only the minute counts.
StrView UserChoiceHashOfTemp(StrView ext, StrView sid, StrView progId, uint64_t lastWriteTime);
// The same over input already assembled; empty when it holds no complete 8-byte block.
StrView UserChoiceHashOfBytesTemp(const uint8_t* bytes, int32_t len);

// The value for the record the program writes; not made yet, so always empty.
StrView UserChoiceHash(StrView ext, StrView progId);
// Tests exercise the record writing with values of their own; the program leaves it alone.
extern StrView (*gUserChoiceHash)(StrView ext, StrView progId);

#ifdef _WIN32
#include <windows.h>
// True when every extension of the group ended up with the reader as default.
bool SetDefaultReaderFor(ReaderKind kind);
bool WriteUserChoice(StrView ext, StrView progId);
bool HasOurUserChoice(StrView ext);
// COM must be initialised on the calling thread for the association object; without it
// the executable the shell associates with ext decides.
bool IsDefaultReaderFor(StrView ext);
// Drops .pdf defaults under root that point at the reader.
void UnregisterFromBeingDefaultViewer(HKEY root);
#endif
