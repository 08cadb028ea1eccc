#include "integration/shortcut.h"

namespace {
constexpr int kCommonDesktop = 25, kCommonPrograms = 23, kDesktop = 0, kPrograms = 2;
constexpr int kCommonStartMenu = 22, kStartMenu = 11;
}  // namespace

const int kShortcutFoldersToRemove[11] = {
    kCommonDesktop, kCommonPrograms,  kDesktop, kPrograms,   // where shortcuts go now
    kCommonPrograms, kPrograms,       kDesktop,              // again, programs first
    kCommonDesktop, kCommonStartMenu, kDesktop, kStartMenu,  // the start menus themselves
};

void ShortcutFoldersToCreate(bool allUsers, bool withDesktop, Vec<int>* csidls) {
    if (withDesktop) {
        csidls->Append(allUsers ? kCommonDesktop : kDesktop);
    }
    csidls->Append(allUsers ? kCommonPrograms : kPrograms);
}
