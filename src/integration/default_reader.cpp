#include "integration/default_reader.h"

#include "base/arena.h"

namespace {
const char* const kPdfExts[] = {".pdf", ".p7m"};
const char* const kOfdExts[] = {".ofd"};
const char* const kComicsExts[] = {".cbz", ".cbr", ".cb7", ".cbt"};
const char* const kMarkdownExts[] = {".md", ".markdown"};
}  // namespace

const char* const* ReaderKindExts(ReaderKind kind, int* n) {
    switch (kind) {
        case ReaderKind::Pdf:
            *n = 2;
            return kPdfExts;
        case ReaderKind::Ofd:
            *n = 1;
            return kOfdExts;
        case ReaderKind::Comics:
            *n = 4;
            return kComicsExts;
        case ReaderKind::Markdown:
            break;
    }
    *n = 2;
    return kMarkdownExts;
}

StrView UserChoiceKeyTemp(StrView ext) {
    return str::FormatTemp("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\%s\\UserChoice",
                           ext.CStr());
}

// The shell accepts a choice record only with a hash derived from the extension, the
// ProgID, the user's SID and the record's time by an algorithm the platform does not
// document. We could not check an implementation against values the platform itself
// produced, and a wrong hash makes the shell reset the user's choice, so none is made: the
// user chooses the default in the platform's own settings instead.
StrView UserChoiceHash(StrView, StrView) {
    return {};
}

StrView (*gUserChoiceHash)(StrView ext, StrView progId) = UserChoiceHash;
