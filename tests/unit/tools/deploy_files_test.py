#!/usr/bin/env python3
"""deploy-files from the outside: every file it writes parsed back with a real XML parser and
compared with the tables it prints (--list) and with the translations file, read here on its
own; two runs give the same bytes; a missing translation fails the run and writes nothing.
The package's rows for the installer's options (--msi-rows) fit beside those of rows.sql, and
a package run with properties collects the switches they ask for.

  deploy_files_test.py <deploy-files> <translations.txt> <rows.sql>
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

NS = "http://www.microsoft.com/GroupPolicy/PolicyDefinitions"
KEY = r"Software\Policies\Quenmoor\VeloraPDF"
LANGS = {"en-US": None, "zh-CN": "cn", "ar-SA": "ar"}
DEFAULT_APP_KINDS = ("Pdf", "Comics", "Markdown")
FILES = ["DefaultAssociations.xml", "policies/VeloraPDF.admx"] + [f"policies/{f}/VeloraPDF.adml" for f in LANGS]

failures = 0


def check(what, ok, detail=""):
    global failures
    if ok:
        print(f"ok   {what}")
    else:
        failures += 1
        print(f"FAIL {what}" + (f": {detail}" if detail else ""))
    return ok


def unescape(s):
    """The escapes of translations.txt and of --list: \\\\ \\n \\r \\t."""
    return re.sub(r"\\(.)", lambda m: {"\\": "\\", "n": "\n", "r": "\r", "t": "\t"}.get(m.group(1), "\\"), s)


def read_translations(path):
    """{English: {code: text}}, from the file's own format: a ':' line, then 'code:' lines."""
    out, src = {}, None
    with open(path, encoding="utf-8") as f:
        for line in f.read().split("\n")[2:]:
            if line.startswith(":"):
                src = unescape(line[1:])
                out[src] = {}
            elif src is not None and ":" in line:
                code, text = line.split(":", 1)
                out[src].setdefault(code, unescape(text))
    return out


def run_tool(tool, *args):
    return subprocess.run([tool, *args], capture_output=True, text=True)


def read_list(tool):
    r = run_tool(tool, "--list")
    if r.returncode != 0:
        sys.exit(f"--list failed: {r.stderr}")
    rows = {"key": [], "policy": [], "kind": [], "application": []}
    for line in r.stdout.splitlines():
        kind, *fields = line.split("\t")
        rows[kind].append([unescape(f) for f in fields])
    return rows


def q(tag):
    return f"{{{NS}}}{tag}"


INSERT_ACTION = re.compile(r"INSERT INTO `CustomAction` \(`Action`, `Type`, `Source`, `Target`\) "
                           r"VALUES \('(\w+)', (\d+), '(\w*)', '([^']*)'\)$")
INSERT_STEP = re.compile(r"INSERT INTO `InstallExecuteSequence` \(`Action`, `Condition`, `Sequence`\) "
                         r"VALUES \('(\w+)', '([^']*)', (\d+)\)$")
PROPERTY_IS = re.compile(r'(\w+) = "([01])"$')


def read_rows(lines):
    """The custom actions {name: (type, source, target)} and the sequence {name: (condition,
    number)} of SQL lines; any other statement is returned as it is."""
    actions, steps, other = {}, {}, []
    for line in lines:
        a, s = INSERT_ACTION.match(line), INSERT_STEP.match(line)
        if a:
            actions[a[1]] = (int(a[2]), a[3], a[4])
        elif s:
            steps[s[1]] = (s[2], int(s[3]))
        elif line and not line.startswith("#"):
            other.append(line)
    return actions, steps, other


def run_package(actions, steps, properties):
    """VlpdfOptions after the options' actions, as Windows Installer runs them: in the
    sequence's order, each whose condition (PROP = "0" or "1") holds, on VlpdfOptions as the
    earlier ones left it."""
    options = ""
    for name, (condition, _) in sorted(steps.items(), key=lambda kv: kv[1][1]):
        m = PROPERTY_IS.match(condition)
        if m and properties.get(m[1]) == m[2]:
            options = actions[name][2].replace("[VlpdfOptions]", options)
    return options


def check_msi_rows(tool, rows_sql):
    r = run_tool(tool, "--msi-rows")
    check("--msi-rows", r.returncode == 0, r.stderr)
    lines = r.stdout.splitlines()
    actions, steps, other = read_rows(lines)
    check("--msi-rows: custom actions and their steps only", not other and len(lines) == 2 * len(actions), other)
    check("--msi-rows: each action has its step", set(actions) == set(steps), sorted(set(actions) ^ set(steps)))
    check("--msi-rows: each sets VlpdfOptions from itself",
          all(a[:2] == (51, "VlpdfOptions") and a[2].startswith("[VlpdfOptions] -") for a in actions.values()), actions)
    conditions = [c for c, _ in steps.values()]
    check("--msi-rows: each asks one value of one property", all(PROPERTY_IS.match(c) for c in conditions)
          and len(set(conditions)) == len(conditions), conditions)

    with open(rows_sql, encoding="utf-8") as f:
        fixed_actions, fixed_steps, _ = read_rows(f.read().split("\n"))
    numbers = sorted(n for _, n in steps.values())
    taken = {n for _, n in fixed_steps.values()}
    check("--msi-rows: new names beside rows.sql's", not set(actions) & set(fixed_actions), set(actions) & set(fixed_actions))
    check("--msi-rows: free places, one after the other", numbers == list(range(numbers[0], numbers[0] + len(numbers)))
          and not taken & set(numbers), numbers)
    check("--msi-rows: after the options are emptied and the folder added, before the saved ones",
          max(fixed_steps[a][1] for a in ("VlpdfOptReset", "VlpdfOptDir", "VlpdfOptDirRoot")) < numbers[0]
          and numbers[-1] < fixed_steps["VlpdfOptSaved"][1], numbers)

    # What an administrator's command line gives the installer: the e2e package scenario's
    # properties, and nothing for none or for values that mean nothing.
    runs = [
        ({"DESKTOP_SHORTCUT": "0", "SEARCH_FILTER": "1", "PREVIEW": "0", "OFFICE_PLUGIN": "0", "DEFAULT_PDF": "1",
          "DEFAULT_MARKDOWN": "1"},
         " -no-desktop-shortcut -with-filter -no-preview -no-office-plugin -default-pdf -default-markdown"),
        ({"DESKTOP_SHORTCUT": "1", "SEARCH_FILTER": "0", "PREVIEW": "1", "OFFICE_PLUGIN": "1", "DEFAULT_COMICS": "1"},
         " -no-filter -with-preview -with-office-plugin -default-comics"),
        ({}, ""),
        ({p: "yes" for p in ("DESKTOP_SHORTCUT", "SEARCH_FILTER", "PREVIEW", "DEFAULT_PDF")}, ""),
    ]
    for properties, want in runs:
        got = run_package(actions, steps, properties)
        check(f"--msi-rows: {properties or 'no properties'} give '{want}'", got == want, got)


def main(tool, translations_path, rows_sql):
    check_msi_rows(tool, rows_sql)
    table = read_list(tool)
    translations = read_translations(translations_path)
    check("the table names one key, and it is the policy key", table["key"] == [[KEY]], table["key"])
    check("the table has policies", len(table["policy"]) >= 6, len(table["policy"]))
    product = table["application"][0][0]

    work = tempfile.mkdtemp()
    try:
        return run_checks(tool, translations_path, translations, table, product, work)
    finally:
        shutil.rmtree(work)


def run_checks(tool, translations_path, translations, table, product, work):
    out, again = os.path.join(work, "a"), os.path.join(work, "b")
    for d in (out, again):
        r = run_tool(tool, translations_path, d)
        check(f"writes the files ({os.path.basename(d)})", r.returncode == 0, r.stderr.strip())
    written = sorted(os.path.relpath(os.path.join(dp, f), out) for dp, _, fs in os.walk(out) for f in fs)
    check("exactly the templates and the default-apps file", written == sorted(FILES), written)
    for f in FILES:
        a, b = (open(os.path.join(d, f), "rb").read() if os.path.exists(os.path.join(d, f)) else None for d in (out, again))
        check(f"two runs give identical bytes: {f}", a is not None and a == b)

    # --- the ADMX
    admx = ET.parse(os.path.join(out, "policies/VeloraPDF.admx")).getroot()
    check("ADMX root in the policy definitions namespace", admx.tag == q("policyDefinitions"), admx.tag)
    check("ADMX revision and schema version", admx.get("revision") == "1.0" and admx.get("schemaVersion") == "1.0")
    target = admx.find(f"{q('policyNamespaces')}/{q('target')}")
    check("a target namespace of our own", target is not None and target.get("namespace") == "Quenmoor.Policies.VeloraPDF"
          and bool(target.get("prefix")), None if target is None else target.attrib)
    res = admx.find(q("resources"))
    check("resources minRequiredRevision", res is not None and res.get("minRequiredRevision") == "1.0")
    definitions = {d.get("name"): d for d in admx.findall(f"{q('supportedOn')}/{q('definitions')}/{q('definition')}")}
    categories = {c.get("name"): c for c in admx.findall(f"{q('categories')}/{q('category')}")}
    product_cat = categories.get("VeloraPDF")
    check("a VeloraPDF category under the Quenmoor one", product_cat is not None and "Quenmoor" in categories
          and product_cat.find(q("parentCategory")).get("ref") == "Quenmoor", list(categories))

    policies = admx.findall(f"{q('policies')}/{q('policy')}")
    check("the policies in the table's order", [p.get("name") for p in policies] == [row[0] for row in table["policy"]],
          [p.get("name") for p in policies])
    by_name = {p.get("name"): p for p in policies}
    for name, cls, since, _display, _explain in table["policy"]:
        p = by_name.get(name)
        if not check(f"{name}: present", p is not None):
            continue
        a = p.attrib
        check(f"{name}: key, value name and class", (a.get("key"), a.get("valueName"), a.get("class")) == (KEY, name, cls), a)
        check(f"{name}: class is Machine or Both", cls in ("Machine", "Both"), cls)
        check(f"{name}: its strings", (a.get("displayName"), a.get("explainText")) ==
              (f"$(string.{name})", f"$(string.{name}_Explain)"), a)
        check(f"{name}: in the VeloraPDF category", p.find(q("parentCategory")).get("ref") == "VeloraPDF")
        ref = p.find(q("supportedOn")).get("ref")
        check(f"{name}: supported on a defined version naming {since}", ref in definitions and
              ref.endswith("_" + since.replace(".", "_")), ref)
        values = [(v, p.find(f"{q(v)}/{q('decimal')}")) for v in ("enabledValue", "disabledValue")]
        check(f"{name}: enabled 1, disabled 0", [d is not None and d.get("value") for _, d in values] == ["1", "0"])
    refs = set()
    for e in admx.iter():
        for v in e.attrib.values():
            refs.update(re.findall(r"\$\(string\.([^)]*)\)", v))
    for ref in [c.find(q("parentCategory")) for c in categories.values()] + [p.find(q("parentCategory")) for p in policies]:
        if ref is not None:
            check(f"category '{ref.get('ref')}' is defined", ref.get("ref") in categories)

    # --- the ADMLs: every string the ADMX names, in each language
    english = {}
    for folder, code in LANGS.items():
        adml = ET.parse(os.path.join(out, f"policies/{folder}/VeloraPDF.adml")).getroot()
        check(f"{folder}: root in the namespace", adml.tag == q("policyDefinitionResources"), adml.tag)
        strings = adml.findall(f"{q('resources')}/{q('stringTable')}/{q('string')}")
        texts = {s.get("id"): s.text or "" for s in strings}
        check(f"{folder}: each string id once", len(texts) == len(strings))
        check(f"{folder}: defines every $(string.X) of the ADMX", refs <= set(texts), sorted(refs - set(texts)))
        check(f"{folder}: and nothing else", set(texts) <= refs, sorted(set(texts) - refs))
        display, description = adml.find(q("displayName")), adml.find(q("description"))
        check(f"{folder}: display name and description", display is not None and display.text == product
              and description is not None and bool(description.text))
        texts["(description)"] = description.text if description is not None else ""
        if code is None:
            english = texts
            for name, _cls, since, disp, explain in table["policy"]:
                check(f"en-US: {name} texts are the table's", (texts.get(name), texts.get(name + "_Explain")) == (disp, explain))
                check(f"en-US: {name} texts are sources of the translations", disp in translations and explain in translations)
            check("en-US: explanations keep their line breaks", any("\n\n" in t for t in texts.values()))
            for d in definitions:
                check(f"en-US: {d} names its version", d.split("_", 2)[2].replace("_", ".") in texts.get(d, ""), texts.get(d))
            continue
        for sid, en in english.items():
            want = expected_translation(en, code, translations, sid in categories)
            check(f"{folder}: '{sid}' is the {code} translation", texts.get(sid) == want, f"{texts.get(sid)!r} != {want!r}")
            if sid not in categories:
                check(f"{folder}: '{sid}' is not English", texts.get(sid) != en)
        script = r"[\u4e00-\u9fff]" if code == "cn" else r"[\u0600-\u06ff]"
        check(f"{folder}: written in its script", all(re.search(script, texts.get(p[0], "")) for p in table["policy"]))

    # --- the default-apps file
    path = os.path.join(out, "DefaultAssociations.xml")
    check("default-apps file's declaration", open(path, "rb").readline() == b'<?xml version="1.0" encoding="UTF-8"?>\n')
    root = ET.parse(path).getroot()
    check("its root", root.tag == "DefaultAssociations", root.tag)
    got = [(a.tag, a.get("Identifier"), a.get("ProgId"), a.get("ApplicationName"), len(a.attrib)) for a in root]
    want = [("Association", ext, progid, product, 3) for kind, ext, progid in table["kind"] if kind in DEFAULT_APP_KINDS]
    check("one association per type of the PDF, comic and Markdown groups, in order", got == want, got)
    check("the groups hold the types", {".pdf", ".cbz", ".md"} <= {w[1] for w in want}, want)
    check("no OFD", all(w[1] != ".ofd" for w in want))
    check("every ProgId is the product's for its type", all(g[2] == "vlpdf" + g[1] for g in got), got)

    # --- a missing translation fails the run, and no file is written
    broken = os.path.join(work, "broken.txt")
    victim = table["policy"][-1][3]
    lines = open(translations_path, encoding="utf-8").read().split("\n")
    at = lines.index(":" + victim)
    lines = lines[:at + 1] + [l for l in lines[at + 1:at + 5] if not l.startswith("ar:")] + lines[at + 5:]
    open(broken, "w", encoding="utf-8").write("\n".join(lines))
    r = run_tool(tool, broken, os.path.join(work, "c"))
    check("a missing Arabic translation fails the run", r.returncode == 1 and "'ar' translation" in r.stderr
          and victim in r.stderr, (r.returncode, r.stderr))
    check("and writes nothing", not os.path.exists(os.path.join(work, "c")))
    r = run_tool(tool, translations_path)
    check("a wrong command line is refused with the usage", r.returncode == 2 and "usage:" in r.stderr)

    if failures:
        print(f"{failures} check(s) failed")
        return 1
    return 0


def expected_translation(en, code, translations, is_name):
    """The translation of an English template text; a supported-on text is its source with the
    version filled in, and the company's and product's names stay as they are."""
    if is_name:
        return en
    if en in translations:
        return translations[en].get(code)
    for src, trs in translations.items():
        if "%s" in src:
            head, tail = src.split("%s", 1)
            if en.startswith(head) and en.endswith(tail) and len(en) > len(head) + len(tail):
                return trs.get(code, "").replace("%s", en[len(head):len(en) - len(tail)])
    return None


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2], sys.argv[3]))
