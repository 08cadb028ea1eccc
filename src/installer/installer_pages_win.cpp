// The installer window after Install: the elevated hand-over, the progress page, the finish
// page and the failure dialog.
#include <windows.h>
#include <commctrl.h>

#include "base/arena.h"
#include "base/file.h"
#include "base/install_failure.h"
#include "base/log.h"
#include "base/product.h"
#include "base/progress.h"
#include "base/system_lib.h"
#include "base/thread.h"
#include "base/wide_win.h"
#include "i18n/translations.h"
#include "installer/installer_message.h"
#include "installer/installation.h"
#include "installer/installer_window_internal.h"
#include "installer/launch.h"
#include "installer/previous_install.h"
#include "installer/run_installer.h"
#include "archive/extract.h"
#include "archive/extract_plan.h"
#include "ui/accessible.h"
#include "ui/dpi.h"
#include "ui/window_geometry.h"

namespace {
constexpr int kShowLogButton = 100;
// The bar's range past the extracted files: the steps before and after extraction.
constexpr int32_t kStepsBesidesFiles = 3;

void CopyChoicesFromWindow(InstallerWnd* wnd, InstallChoices* chosen) {
    EnsureOptionChecks(wnd);
    StrView dir = wnd->editInstallationDir->GetTextTemp();
    if (!dir.IsEmpty()) {
        chosen->installDir = str::Dup(GetProcessArena(), dir);
    }
    Checkbox* checks[kChoiceCount];
    OptionChecks(wnd, checks);
    for (int i = 0; i < kChoiceCount; i++) {
        chosen->Set((Choice)i, checks[i]->IsChecked());
    }
    // A locked check box cannot change, but what is installed never rests on the window alone.
    ApplyPolicies(wnd->run->policies, chosen);
}

template <typename T>
void DestroyControl(T** c) {
    delete *c;
    *c = nullptr;
}

void DestroyFirstPageControls(InstallerWnd* wnd) {
    Checkbox** checks[] = {&wnd->allUsersCheck,   &wnd->searchCheck,        &wnd->previewCheck,
                           &wnd->shortcutCheck,   &wnd->defaultPdfCheck,    &wnd->defaultComicsCheck,
                           &wnd->defaultMarkdownCheck, &wnd->officeAddinCheck};
    for (Checkbox** c : checks) {
        DestroyControl(c);
    }
    DestroyControl(&wnd->editInstallationDir);
    DestroyControl(&wnd->browseButton);
}

void EnableCloseMenuItem(HWND hwnd, bool enable) {
    EnableMenuItem(GetSystemMenu(hwnd, FALSE), SC_CLOSE, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
    DrawMenuBar(hwnd);
}

// Called from the installer thread and the extraction's workers, whose steps may arrive out
// of order: the send runs the update on the UI thread, one at a time.
void ShowProgressStep(void* window, int32_t stepsTaken) {
    SendMessageW((HWND)window, WM_APP_PROGRESS_STEP, (WPARAM)stepsTaken, 0);
}

void CreateProgressBar(InstallerWnd* wnd, int barDy) {
    CreateControlArgs args;
    args.parent = wnd->hwnd;
    args.style = WS_CHILD | WS_VISIBLE;
    args.isRtl = wnd->isRtl;
    wnd->progressBar = CreateProgress(args);
    int32_t steps = CountExtractableEntries(GetOpenedArchive()) + kStepsBesidesFiles;
    SendMessageW(wnd->progressBar->hwnd, PBM_SETRANGE32, 0, steps);
    // Where the Install button was: at the bottom of the page once it has its final height.
    Rect client = ClientRect(wnd->hwnd);
    int margin = Scale(8);
    int y = client.dy - 2 * margin - barDy;
    SetWindowPos(wnd->progressBar->hwnd, nullptr, 2 * margin, y, client.dx - 4 * margin, barDy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void InstallationThreadMain(void* run) {
    RunInstallation((InstallerRun*)run);
}

void LaunchInstalledReader(const InstallerRun& run) {
    RunNonElevated(path::JoinTemp(run.choices.installDir, kReaderExeName));
}

void OnStartClicked(InstallerWnd* wnd, WndEvent*) {
    LaunchInstalledReader(*wnd->run);
    OnButtonExit(wnd);
}

void ShowFinishPage(InstallerWnd* wnd) {
    SetForegroundWindow(wnd->hwnd);
    // Start takes the focus before the controls of the progress page go, so the focus moves
    // from one control to the next (and readers hear it) instead of falling to nothing.
    if (!wnd->run->cli->installer.fastInstall) {
        wnd->startButton = CreateDefaultButton(wnd->hwnd, GetTranslation("Start VeloraPDF"), wnd->isRtl);
        wnd->startButton->onClicked = MkHandler(OnStartClicked, wnd);
        ::SetFocus(wnd->startButton->hwnd);
    }
    DestroyControl(&wnd->installButton);
    DestroyControl(&wnd->progressBar);
    wnd->page.Set(GetTranslation("Thank you! VeloraPDF has been installed."), kMessageTextArgb);
    wnd->page.SetError(GetFirstFailureMessage());
    RepaintWindow(wnd->hwnd);
}

HRESULT CALLBACK FailedDialogCallback(HWND, UINT msg, WPARAM wp, LPARAM lp, LONG_PTR) {
    if (msg == TDN_BUTTON_CLICKED && (int)wp == kShowLogButton) {
        StrView log = GetInstallLog().ContentsTemp();
        if (log.IsEmpty()) {
            log = "(no log available)";
        }
        MessageBoxW(nullptr, W(log), W(GetTranslation("VeloraPDF installation log")), MB_OK | MB_ICONINFORMATION);
        return S_FALSE;  // the dialog stays
    }
    if (msg == TDN_HYPERLINK_CLICKED) {
        LaunchFile(U((const WCHAR*)lp));
    }
    return S_OK;
}

void ShowInstallationFailedUi(bool isRtl) {
    Log("ShowInstallationFailedUi\n");
    StrView details = GetFirstFailureMessage();
    if (details.IsEmpty()) {
        details = "(no details)";
    }
    StrView content = str::FormatTemp("%s\n\n%s", GetTranslation("Installation could not be completed."),
                                      details.CStr());
    WStrView showLog = ToWStrTemp(GetTranslation("Show log"));
    WStrView close = ToWStrTemp(GetTranslation("Close"));
    TASKDIALOG_BUTTON buttons[2] = {{kShowLogButton, (PCWSTR)showLog.s}, {IDOK, (PCWSTR)close.s}};
    WStrView instruction = ToWStrTemp(GetTranslation("Installation failed"));
    WStrView contentW = ToWStrTemp(content);

    TASKDIALOGCONFIG cfg{};
    cfg.cbSize = sizeof(cfg);
    cfg.hInstance = GetModuleHandleW(nullptr);
    cfg.dwFlags = TDF_ENABLE_HYPERLINKS | TDF_ALLOW_DIALOG_CANCELLATION | TDF_SIZE_TO_CONTENT |
                  (isRtl ? TDF_RTL_LAYOUT : 0);
    cfg.pszWindowTitle = L"VeloraPDF";
    cfg.pszMainIcon = TD_ERROR_ICON;
    cfg.pszMainInstruction = (PCWSTR)instruction.s;
    cfg.pszContent = (PCWSTR)contentW.s;
    cfg.cButtons = 2;
    cfg.pButtons = buttons;
    cfg.nDefaultButton = IDOK;
    cfg.pfCallback = FailedDialogCallback;
    TaskDialogIndirectFunc taskDialog = GetTaskDialogIndirect();
    if (!taskDialog) {
        Log("ShowInstallationFailedUi: TaskDialogIndirect not available\n");
        MessageBoxW(nullptr, (LPCWSTR)contentW.s, (LPCWSTR)instruction.s, MB_OK | MB_ICONERROR);
        return;
    }
    int pressed = 0;
    HRESULT hr = taskDialog(&cfg, &pressed, nullptr, nullptr);
    if (FAILED(hr)) {
        Logf("ShowInstallationFailedUi: TaskDialogIndirect failed hr=0x%08lx\n", (unsigned long)hr);
    }
}
}  // namespace

// The bar only moves forward, whatever order the steps' threads reached it in.
void OnProgressStep(InstallerWnd* wnd, int32_t stepsTaken) {
    if (stepsTaken <= wnd->progressStep) {
        return;
    }
    wnd->progressStep = stepsTaken;
    if (!wnd->progressBar) {
        return;
    }
    HWND bar = wnd->progressBar->hwnd;
    SendMessageW(bar, PBM_SETPOS, (WPARAM)stepsTaken, 0);
    // Readers hear progress through the bar's value; once per percent is all they say.
    int percent = ProgressPercent(wnd);
    if (percent != wnd->announcedPercent) {
        wnd->announcedPercent = percent;
        NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, bar, OBJID_CLIENT, CHILDID_SELF);
    }
}

void OnButtonInstall(InstallerWnd* wnd) {
    InstallerRun* run = wnd->run;
    if (run->started) {
        Logf("OnButtonInstall: called but gInstallStarted is %d\n", (int)run->started);
        return;
    }
    if (wnd->showOptions) {
        wnd->showOptions = false;
        UpdateOptionsUi(wnd);
    }
    wnd->installButton->SetEnabled(false);
    Logf("OnButtonInstall: wnd: 0x%p\n", (void*)wnd);
    Logf("OnButtonInstall: wnd->editInstallationDir: 0x%p\n", (void*)wnd->editInstallationDir);
    InstallChoices& chosen = run->choices;
    CopyChoicesFromWindow(wnd, &chosen);
    if (IsUnderProgramFiles(chosen.installDir) && !chosen.AllUsers()) {
        Log("OnButtonInstall: install dir under Program Files; forcing allUsers\n");
        chosen.Set(Choice::AllUsers, true);
    }
    bool forAllUsers = chosen.AllUsers() || run->prev.choices.AllUsers();
    bool isElevated = IsProcessElevated();
    bool needsElevation = NeedsElevation(chosen.installDir, forAllUsers, isElevated);
    Logf("OnButtonInstall: needsElevation=%d elevated=%d allUsers=%d dir='%s'\n", (int)needsElevation,
         (int)isElevated, (int)chosen.AllUsers(), chosen.installDir.CStr());
    if (needsElevation && !isElevated) {
        // The elevated copy installs with these choices and shows its own window; this one
        // ends whatever the hand-over's outcome (a refusal is logged by the relaunch).
        RestartElevatedForAllUsers(*run, wnd->allUsersCheck && wnd->allUsersCheck->IsChecked());
        DestroyWindow(wnd->hwnd);
        return;
    }
    StartInstallation(wnd);
}

void StartInstallation(InstallerWnd* wnd) {
    wnd->run->started = true;
    int barDy = wnd->installButton ? wnd->installButton->GetIdealSize().dy : 0;
    if (wnd->installSlot) {
        wnd->installSlot->SetVisibility(Collapse);
    }
    if (wnd->installButton) {
        wnd->installButton->SetIsVisibleAndEnabled(false);
    }
    if (wnd->optionsSection) wnd->optionsSection->SetVisibility(Collapse);
    if (wnd->folderLabel) wnd->folderLabel->SetVisibility(Collapse);
    // The window keeps the focus (and Esc) while the controls that had it go.
    ::SetFocus(wnd->hwnd);
    DestroyFirstPageControls(wnd);
    wnd->page.Set(GetTranslation("Installation in progress..."), kMessageTextArgb);
    Relayout(wnd);
    CreateProgressBar(wnd, barDy);
    SetProgressObserver({ShowProgressStep, wnd->hwnd});
    ProgressStep();
    RepaintWindow(wnd->hwnd);

    wnd->installerThread = StartThread(InstallationThreadMain, wnd->run, "InstallerThread");
    if (!wnd->installerThread) {
        Log("StartInstallation: the installer thread could not be started\n");
        SetInstallOutcome(InstallOutcome::Failed);
        PostMessageW(wnd->hwnd, WM_APP_INSTALLATION_FINISHED, 0, 0);
        return;
    }
    EnableCloseMenuItem(wnd->hwnd, false);
}

void OnInstallationFinished(InstallerWnd* wnd) {
    const InstallerRun& run = *wnd->run;
    Logf("OnInstallationFinished: cli->installer.fastInstall: %d gInstallFailed: %d\n",
         (int)run.cli->installer.fastInstall, (int)InstallationFailed());
    if (wnd->installerThread) {
        // Telling the window was the thread's last act: it ends at once, and nothing of the
        // run is touched after the window is gone.
        JoinThread(wnd->installerThread);
        wnd->installerThread = nullptr;
    }
    SetProgressObserver({});
    EnableCloseMenuItem(wnd->hwnd, true);
    if (InstallationFailed()) {
        wnd->page.SetError(GetFirstFailureMessage());
        AnnounceMessageIfChanged(wnd);
        ShowWindow(wnd->hwnd, SW_HIDE);
        ShowInstallationFailedUi(wnd->isRtl);
        DestroyWindow(wnd->hwnd);
        return;
    }
    ShowFinishPage(wnd);
    if (run.cli->installer.fastInstall) {
        LaunchInstalledReader(run);
        DestroyWindow(wnd->hwnd);
    }
}

void OnButtonExit(InstallerWnd* wnd) {
    SendMessageW(wnd->hwnd, WM_CLOSE, 0, 0);
}
