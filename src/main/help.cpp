#include "main/help.h"

#include "base/product.h"

StrView FormatHelpTemp() {
    return str::FormatTemp(
        "%s installer options:\n"
        "[-s] [-d <path>] [-start-app] [-with-filter] [-with-preview] [-no-desktop-shortcut] [-x]\n"
        "\n"
        "-s\n"
        "    installs silently (without user interaction)\n"
        "-d\n"
        "    set installation directory (default: previous install, else %%LOCALAPPDATA%%\\vlpdf)\n"
        "-start-app\n"
        "    with -s: start the app when the installation is done\n"
        "-with-filter\n"
        "    install search filter (on by default for a first install)\n"
        "-with-preview\n"
        "    install shell preview (on by default for a first install)\n"
        "-no-filter\n"
        "    don't install the search filter\n"
        "-no-preview\n"
        "    don't install the shell preview\n"
        "-no-desktop-shortcut\n"
        "    don't create a desktop shortcut\n"
        "-default-pdf\n"
        "    set as default reader for PDF documents\n"
        "-default-comics\n"
        "    set as default reader for comic books\n"
        "-default-markdown\n"
        "    set as default reader for Markdown documents\n"
        "-x\n"
        "    extracts the files, doesn't install\n"
        "-log\n"
        "    writes installation log to %%TEMP%%\\vlpdf-install-log.txt\n",
        kProductName);
}
