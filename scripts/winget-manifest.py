#!/usr/bin/env python3
"""Writes the winget manifest of a release: the multi-file form (version, installer,
defaultLocale), manifest version 1.10.0, for the installer file given.

  winget-manifest.py <installer.exe> <version> <installer-url> <out-dir>

The values describe how the installer behaves; README.md ("Releasing") says why each
switch, code and elevation value is what it is.
"""
import hashlib
import os
import sys

import yaml

MANIFEST_VERSION = "1.10.0"
PACKAGE_ID = "Quenmoor.VeloraPDF"
LOCALE = "en-US"
PUBLISHER = "Quenmoor Network Technology Co., Ltd."
NAME = "VeloraPDF"
SUPPORT_URL = "https://www.velorapdf.com/support"


def sha256_of(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest().upper()


def installer_manifest(version, url, sha256):
    common = {
        "Architecture": "x64",
        "InstallerUrl": url,
        "InstallerSha256": sha256,
    }
    entries = [{"DisplayName": NAME, "Publisher": PUBLISHER, "DisplayVersion": version, "ProductCode": "vlpdf"}]
    return {
        "PackageIdentifier": PACKAGE_ID,
        "PackageVersion": version,
        "InstallerType": "exe",
        # Nothing fits SilentWithProgress: -fast-install shows progress but starts the reader
        # afterwards, -run-install-now waits on its finish page.
        "InstallerSwitches": {"Silent": "-s", "InstallLocation": '-d "<INSTALLPATH>"'},
        # 0 is the only success; 1 is every failure (damaged file, extraction, refused elevation).
        "ExpectedReturnCodes": [{"InstallerReturnCode": 1, "ReturnResponse": "contactSupport"}],
        "UpgradeBehavior": "install",
        "ProductCode": "vlpdf",
        "AppsAndFeaturesEntries": entries,
        "Installers": [
            dict(common, Scope="user"),
            dict(common, Scope="machine", ElevationRequirement="elevatesSelf",
                 InstallerSwitches={"Custom": "-all-users"}),
        ],
        "ManifestType": "installer",
        "ManifestVersion": MANIFEST_VERSION,
    }


def locale_manifest(version):
    return {
        "PackageIdentifier": PACKAGE_ID,
        "PackageVersion": version,
        "PackageLocale": LOCALE,
        "Publisher": PUBLISHER,
        "PublisherSupportUrl": SUPPORT_URL,
        "PackageName": NAME,
        "License": "Proprietary",
        "ShortDescription": "A PDF reader for Windows that also opens comic books and Markdown documents.",
        "ManifestType": "defaultLocale",
        "ManifestVersion": MANIFEST_VERSION,
    }


def version_manifest(version):
    return {
        "PackageIdentifier": PACKAGE_ID,
        "PackageVersion": version,
        "DefaultLocale": LOCALE,
        "ManifestType": "version",
        "ManifestVersion": MANIFEST_VERSION,
    }


def write(path, schema, doc):
    with open(path, "w", encoding="utf-8") as f:
        f.write(f"# yaml-language-server: $schema=https://aka.ms/winget-manifest.{schema}.{MANIFEST_VERSION}.schema.json\n\n")
        yaml.safe_dump(doc, f, sort_keys=False, allow_unicode=True, default_flow_style=False)


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    exe, version, url, out = sys.argv[1:]
    os.makedirs(out, exist_ok=True)
    base = os.path.join(out, PACKAGE_ID)
    write(base + ".yaml", "version", version_manifest(version))
    write(base + ".installer.yaml", "installer", installer_manifest(version, url, sha256_of(exe)))
    write(base + f".locale.{LOCALE}.yaml", "defaultLocale", locale_manifest(version))


if __name__ == "__main__":
    main()
