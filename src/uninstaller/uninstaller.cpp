#include "uninstaller/uninstaller.h"

#include "base/flags.h"

StrView ElevatedUninstallArgumentsTemp(const UninstallRequest& req) {
    // -run-install-now is the marker that keeps the elevated copy from restarting again, as
    // the installer's copy has it.
    static const char* const kWords[] = {"uninstall", "all-users", "run-install-now", "silent", "for-testing"};
    Flags words;
    words.uninstall = true;
    words.installer.asked.Add(Choice::AllUsers);
    words.installer.runInstallNow = true;
    words.silent = req.silent;
    words.forTesting = req.forTesting;
    return OptionWordsTemp(words, kWords, (int32_t)(sizeof(kWords) / sizeof(kWords[0])));
}
