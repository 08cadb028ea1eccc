#!/usr/bin/env python3
"""Checks a release folder's winget manifest against the installer file and the Windows
Installer package it describes, and prints for the calling scenario (as shell assignments)
what it needs to check under Wine: each scope's switches and the expected uninstall entry,
and the package's switches and product code.

  release_manifest_check.py <release-dir>

Every disagreement is a "FAIL: ..." line on standard error and exit status 1.
"""
import glob
import hashlib
import os
import shlex
import struct
import subprocess
import sys

import yaml

failures = []


def expect(what, want, got):
    if want != got:
        failures.append(f"{what}: expected {want!r}, got {got!r}")


# The version resource, read from the PE file's resource tree (type 16, first name, first
# language): the fixed product version and the strings of the first string table.
def rva_to_offset(sections, rva):
    for va, size, raw in sections:
        if va <= rva < va + size:
            return rva - va + raw
    raise ValueError(f"RVA {rva:#x} in no section")


def first_entry(data, base, directory, by_id=None):
    named, ids = struct.unpack_from("<HH", data, directory + 12)
    for i in range(named + ids):
        ident, target = struct.unpack_from("<II", data, directory + 16 + 8 * i)
        if by_id is None or ident == by_id:
            return base + (target & 0x7FFFFFFF), bool(target & 0x80000000)
    raise ValueError(f"no resource entry {by_id}")


def version_block(data, off):
    length, value_len, kind = struct.unpack_from("<HHH", data, off)
    end = off + 6
    while data[end:end + 2] != b"\0\0":
        end += 2
    key = data[off + 6:end].decode("utf-16-le")
    pos = (end + 2 + 3) & ~3
    value_bytes = value_len * 2 if kind == 1 else value_len
    value = data[pos:pos + value_bytes]
    children, child = [], (pos + value_bytes + 3) & ~3
    while child < off + length:
        block = version_block(data, child)
        children.append(block)
        child = (child + block[3] + 3) & ~3
    return key, value, children, length


def version_resource(path):
    data = open(path, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections_count, opt_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
    opt = pe + 24
    resource_rva = struct.unpack_from("<I", data, opt + 112 + 2 * 8)[0]  # PE32+ data directory 2
    sections = []
    for i in range(sections_count):
        s = opt + opt_size + 40 * i
        vsize, va, raw_size, raw = struct.unpack_from("<IIII", data, s + 8)
        sections.append((va, max(vsize, raw_size), raw))
    root = rva_to_offset(sections, resource_rva)
    node, is_dir = first_entry(data, root, root, 16)
    while is_dir:
        node, is_dir = first_entry(data, root, node)
    data_rva, _ = struct.unpack_from("<II", data, node)
    key, fixed, children, _ = version_block(data, rva_to_offset(sections, data_rva))
    assert key == "VS_VERSION_INFO" and struct.unpack_from("<I", fixed, 0)[0] == 0xFEEF04BD
    product_ms = struct.unpack_from("<I", fixed, 16)[0]
    strings = {}
    for child in children:
        if child[0] == "StringFileInfo":
            for s in child[2][0][2]:
                strings[s[0]] = s[1].decode("utf-16-le").rstrip("\0")
    return f"{product_ms >> 16}.{product_ms & 0xFFFF}", strings


def main():
    release = sys.argv[1]
    manifests = {}
    for path in glob.glob(os.path.join(release, "manifest", "*.yaml")):
        with open(path, encoding="utf-8") as f:
            doc = yaml.safe_load(f)
        manifests[doc["ManifestType"]] = doc
    expect("manifest files", ["defaultLocale", "installer", "version"], sorted(manifests))
    version, installer, locale = manifests["version"], manifests["installer"], manifests["defaultLocale"]
    for kind, doc in manifests.items():
        expect(f"{kind} ManifestVersion", "1.10.0", doc["ManifestVersion"])
        expect(f"{kind} PackageIdentifier", version["PackageIdentifier"], doc["PackageIdentifier"])
        expect(f"{kind} PackageVersion", version["PackageVersion"], doc["PackageVersion"])
    expect("the default locale", version["DefaultLocale"], locale["PackageLocale"])
    for field in ("Publisher", "PackageName", "License", "ShortDescription"):
        if not locale.get(field):
            failures.append(f"defaultLocale has no {field}")

    exes = glob.glob(os.path.join(release, "*.exe"))
    expect("installers in the release", 1, len(exes))
    exe = exes[0]
    sha = hashlib.sha256(open(exe, "rb").read()).hexdigest()
    expect("the .sha256 file", f"{sha}  {os.path.basename(exe)}", open(exe + ".sha256").read().strip())
    fixed_version, strings = version_resource(exe)
    expect("ProductVersion of the version resource", strings.get("ProductVersion"), version["PackageVersion"])
    expect("the fixed product version", fixed_version, version["PackageVersion"])

    expect("UpgradeBehavior", "install", installer["UpgradeBehavior"])
    msis = glob.glob(os.path.join(release, "*.msi"))
    expect("packages in the release", 1, len(msis))
    msi_sha = hashlib.sha256(open(msis[0], "rb").read()).hexdigest() if msis else ""
    if msis:
        expect("the package's .sha256 file", f"{msi_sha}  {os.path.basename(msis[0])}",
               open(msis[0] + ".sha256").read().strip())
        expect("the package's name", f"VeloraPDF-{version['PackageVersion']}-x64.msi", os.path.basename(msis[0]))
    properties = {}
    if msis:
        rows = subprocess.run(["msiinfo", "export", msis[0], "Property"], capture_output=True, text=True).stdout
        properties = dict(r.rstrip("\r").split("\t", 1) for r in rows.splitlines() if "\t" in r)
    scopes = {}
    package = None
    for entry in installer["Installers"]:
        kind = entry.get("InstallerType", installer.get("InstallerType"))
        # Switches given per installer replace the package-wide ones of the same name.
        switches = dict(installer.get("InstallerSwitches", {}), **entry.get("InstallerSwitches", {}))
        if kind == "msi":
            package = entry
            expect("the package's scope", "machine", entry["Scope"])
            expect("the package's InstallerSha256", msi_sha.upper(), entry["InstallerSha256"].upper())
            expect("the package's ProductCode", properties.get("ProductCode"), entry.get("ProductCode"))
            # winget gives msiexec its own quiet switches: an exe's -s would reach msiexec.
            expect("the package's switches", {"InstallLocation": 'INSTALLDIR="<INSTALLPATH>"'}, switches)
            expect("the package's return codes", [], entry.get("ExpectedReturnCodes", installer.get("ExpectedReturnCodes", [])))
            apps = entry.get("AppsAndFeaturesEntries", [])
            expect("the package's entries", [(properties.get("ProductCode"), properties.get("UpgradeCode"))],
                   [(a.get("ProductCode"), a.get("UpgradeCode")) for a in apps])
            continue
        expect(f"{entry['Scope']} InstallerType", "exe", kind)
        expect(f"{entry['Scope']} InstallerSha256", sha.upper(), entry["InstallerSha256"].upper())
        expect(f"{entry['Scope']} ProductCode", "vlpdf", entry.get("ProductCode", installer.get("ProductCode")))
        scopes[entry["Scope"]] = dict(switches, Elevation=entry.get("ElevationRequirement", ""))
        exe_entry = entry
    expect("scopes", ["machine", "user"], sorted(scopes))
    expect("one installer entry for the package", True, package is not None)
    codes = sorted(c["InstallerReturnCode"] for c in exe_entry.get("ExpectedReturnCodes", installer.get("ExpectedReturnCodes", [])))
    apps = exe_entry.get("AppsAndFeaturesEntries", installer.get("AppsAndFeaturesEntries"))
    expect("AppsAndFeaturesEntries", 1, len(apps))

    for failure in failures:
        print(f"FAIL: {failure}", file=sys.stderr)
    out = {"failure_codes": " ".join(map(str, codes)), "success_codes": " ".join(
        map(str, exe_entry.get("InstallerSuccessCodes", installer.get("InstallerSuccessCodes", []))))}
    out["msi_ProductCode"] = (package or {}).get("ProductCode", "")
    out["msi_InstallLocation"] = (package or {}).get("InstallerSwitches", {}).get("InstallLocation", "")
    for scope, switches in scopes.items():
        for name in ("Silent", "SilentWithProgress", "InstallLocation", "Custom", "Elevation"):
            out[f"{scope}_{name}"] = switches.get(name, "")
    for name in ("DisplayName", "Publisher", "DisplayVersion", "ProductCode"):
        out[f"app_{name}"] = apps[0].get(name, "")
    for name, value in out.items():
        print(f"m_{name}={shlex.quote(str(value))}")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
