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

#ifdef _WIN32
#include <windows.h>
// True when every extension of the group ended up with the reader as default.
bool SetDefaultReaderFor(ReaderKind kind);
bool WriteUserChoice(StrView ext, StrView progId);
// The value for a record the current user writes now; empty when the user's SID is unknown.
StrView UserChoiceHash(StrView ext, StrView progId);
// Whether ext's record names progId and carries the value that the shell computes from it.
bool UserChoiceMatches(StrView ext, StrView progId);
// The clock UserChoiceHash reads (FILETIME, UTC). Tests put it off the record's time to see
// a record that never matches, which otherwise takes a minute boundary at the wrong moment.
extern uint64_t (*gUserChoiceClock)();
bool HasOurUserChoice(StrView ext);
// COM must be initialised on the calling thread for the association object; without it
// the executable the shell associates with ext decides.
bool IsDefaultReaderFor(StrView ext);
// Drops .pdf defaults under root that point at the reader.
void UnregisterFromBeingDefaultViewer(HKEY root);
#endif
