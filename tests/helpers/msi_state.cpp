// What Windows Installer knows of a package, as a deployment tool asks it:
//   msi_state product <product-code>   prints MsiQueryProductState's answer (5 installed,
//                                      -1 unknown, ...)
//   msi_state related <upgrade-code>   prints every registered product code of the upgrade
//                                      code, one a line
//   msi_state exec <words>...          runs the words joined by spaces as they are (a word
//                                      that needs quotes carries them), waits and prints the
//                                      exit code: a Linux caller of Wine sees only its low
//                                      eight bits (1603 would be 67)
//   msi_state repair <product-code>    repairs the product as `msiexec /famus` does
//                                      (MsiReinstallProduct), quietly, with a verbose log
//                                      at the Windows path VLPDF_MSI_LOG when it is set;
//                                      prints its result. Wine's msiexec does not take /f
//                                      with a product code
// Exit code 0 when the question could be asked.
#include <windows.h>
#include <msi.h>

#include <stdio.h>
#include <wchar.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc >= 3 && wcscmp(argv[1], L"exec") == 0) {
        std::wstring line;
        for (int i = 2; i < argc; i++) {
            line += (i > 2 ? L" " : L"") + std::wstring(argv[i]);
        }
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi;
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            fprintf(stderr, "cannot start '%ls': %lu\n", line.c_str(), GetLastError());
            return 2;
        }
        WaitForSingleObject(pi.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        printf("%lu\n", code);
        return 0;
    }
    if (argc != 3) {
        fprintf(stderr, "usage: msi_state product|related|repair <code>\n");
        return 2;
    }
    if (wcscmp(argv[1], L"product") == 0) {
        printf("%d\n", (int)MsiQueryProductStateW(argv[2]));
        return 0;
    }
    if (wcscmp(argv[1], L"related") == 0) {
        WCHAR code[39];
        for (DWORD i = 0; MsiEnumRelatedProductsW(argv[2], 0, i, code) == ERROR_SUCCESS; i++) {
            printf("%ls\n", code);
        }
        return 0;
    }
    if (wcscmp(argv[1], L"repair") == 0) {
        MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
        if (const wchar_t* log = _wgetenv(L"VLPDF_MSI_LOG")) {
            MsiEnableLogW(INSTALLLOGMODE_VERBOSE | INSTALLLOGMODE_INFO | INSTALLLOGMODE_ERROR |
                              INSTALLLOGMODE_ACTIONSTART | INSTALLLOGMODE_ACTIONDATA | INSTALLLOGMODE_PROPERTYDUMP,
                          log, 0);
        }
        printf("%u\n", MsiReinstallProductW(argv[2], REINSTALLMODE_FILEREPLACE | REINSTALLMODE_MACHINEDATA |
                                                         REINSTALLMODE_USERDATA | REINSTALLMODE_SHORTCUT));
        return 0;
    }
    fprintf(stderr, "unknown question '%ls'\n", argv[1]);
    return 2;
}
