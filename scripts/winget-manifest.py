#!/usr/bin/env python3
"""Writes the winget manifest of a release: the multi-file form (version, installer,
defaultLocale), manifest version 1.10.0, for the installer file given and, when given, the
Windows Installer package around it (a second installer: msi, machine scope).

  winget-manifest.py <installer.exe> <version> <installer-url> <out-dir> [<package.msi> <package-url>]

The values describe how the installer behaves; README.md ("Releasing") says why each
switch, code and elevation value is what it is.
"""
import hashlib
import os
import subprocess
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


def msi_property(msi, name):
    rows = subprocess.run(["msiinfo", "export", msi, "Property"], check=True, capture_output=True,
                          text=True).stdout
    for row in rows.splitlines():
        key, _, value = row.rstrip("\r").partition("\t")
        if key == name:
            return value
    sys.exit(f"{msi} has no {name}")


def msi_installer(msi, url):
    """The package: machine scope only; Windows Installer's own switches (winget passes /quiet
    or /passive itself), the folder as its INSTALLDIR property. Its own Programs and Features
    entry is hidden; the one people see is the installer's "vlpdf"."""
    product_code = msi_property(msi, "ProductCode")
    return {
        "Architecture": "x64",
        "InstallerType": "msi",
        "InstallerUrl": url,
        "InstallerSha256": sha256_of(msi),
        "Scope": "machine",
        "InstallerSwitches": {"InstallLocation": 'INSTALLDIR="<INSTALLPATH>"'},
        # Windows Installer's codes (1603 a failed or refused installation) are winget's own:
        # no ExpectedReturnCodes.
        "ProductCode": product_code,
        "AppsAndFeaturesEntries": [{"DisplayName": NAME, "Publisher": PUBLISHER, "DisplayVersion": msi_property(msi, "ProductVersion"),
                                    "ProductCode": product_code, "UpgradeCode": msi_property(msi, "UpgradeCode"),
                                    "InstallerType": "msi"}],
    }


def installer_manifest(version, url, sha256, msi=None, msi_url=None):
    # Everything that is the installer's own behaviour is given per installer entry: the
    # package-wide values would reach the package's entry too.
    exe = {
        "Architecture": "x64",
        "InstallerType": "exe",
        "InstallerUrl": url,
        "InstallerSha256": sha256,
        # 0 is the only success; 1 is every failure (damaged file, extraction, refused elevation).
        "ExpectedReturnCodes": [{"InstallerReturnCode": 1, "ReturnResponse": "contactSupport"}],
        "ProductCode": "vlpdf",
        "AppsAndFeaturesEntries": [{"DisplayName": NAME, "Publisher": PUBLISHER, "DisplayVersion": version,
                                    "ProductCode": "vlpdf"}],
    }
    # Nothing fits SilentWithProgress: -fast-install shows progress but starts the reader
    # afterwards, -run-install-now waits on its finish page.
    switches = {"Silent": "-s", "InstallLocation": '-d "<INSTALLPATH>"'}
    installers = [
        dict(exe, Scope="user", InstallerSwitches=switches),
        dict(exe, Scope="machine", ElevationRequirement="elevatesSelf",
             InstallerSwitches=dict(switches, Custom="-all-users")),
    ]
    if msi:
        installers.append(msi_installer(msi, msi_url))
    return {
        "PackageIdentifier": PACKAGE_ID,
        "PackageVersion": version,
        "UpgradeBehavior": "install",
        "Installers": installers,
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


class NoAliasDumper(yaml.SafeDumper):
    """Writes a value the installers share out in each of them: manifests spell everything out."""

    def ignore_aliases(self, data):
        return True


def write(path, schema, doc):
    with open(path, "w", encoding="utf-8") as f:
        f.write(f"# yaml-language-server: $schema=https://aka.ms/winget-manifest.{schema}.{MANIFEST_VERSION}.schema.json\n\n")
        yaml.dump(doc, f, Dumper=NoAliasDumper, sort_keys=False, allow_unicode=True, default_flow_style=False)


def main():
    if len(sys.argv) not in (5, 7):
        sys.exit(__doc__)
    exe, version, url, out = sys.argv[1:5]
    msi, msi_url = sys.argv[5:7] if len(sys.argv) == 7 else (None, None)
    os.makedirs(out, exist_ok=True)
    base = os.path.join(out, PACKAGE_ID)
    write(base + ".yaml", "version", version_manifest(version))
    write(base + ".installer.yaml", "installer", installer_manifest(version, url, sha256_of(exe), msi, msi_url))
    write(base + f".locale.{LOCALE}.yaml", "defaultLocale", locale_manifest(version))


if __name__ == "__main__":
    main()
