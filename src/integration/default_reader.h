#pragma once
// Making the reader the current user's default for a group of document types, through the
// per-user choice record the shell honours, after keeping a backup of the previous choice.
#include "base/str.h"

enum class ReaderKind { Pdf = 0, Ofd = 1, Comics = 2, Markdown = 3 };

// The extensions of a group, in order; count in *n.
const char* const* ReaderKindExts(ReaderKind kind, int* n);
StrView UserChoiceKeyTemp(StrView ext);
constexpr const char* kPrevDefaultKey = "Software\\vlpdf\\PrevDefault";

// The platform's verification value of a choice record; empty when it cannot be made. This
// program does not compute it (see default_reader_win.cpp), so it is always empty.
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
