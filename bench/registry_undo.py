#!/usr/bin/env python3
"""Writes the .reg file that takes a registry from its state in one export back to its state
in an earlier one: keys added are deleted, values added are deleted, values changed or
removed are written back, keys removed are written back whole. Keys matching the ignore
pattern (the system's own bookkeeping) are left as they are. Prints how many lines the
undo file has: 0 means the two exports hold the same registry.
  registry_undo.py <before.reg> <after.reg> <ignore-regex> <undo.reg>
The exports are what `reg export` writes, turned into UTF-8 (one or more exports one after
the other): one "[key]" line per key, one "name"=data value per line, long data continued on
lines ending in a backslash. The undo file is UTF-16, as `reg import` reads it."""
import re
import sys


def value_name(line):
    """The value's name as written before '=' ("@" or a quoted name), and the line's rest."""
    if line.startswith("@="):
        return "@"
    i = 1
    while i < len(line) and line[i] != '"':
        i += 2 if line[i] == "\\" else 1
    return line[: i + 1]


def read_export(path):
    """{key lowercased: (key, {value name lowercased: value text})}, in file order."""
    with open(path, encoding="utf-8") as f:
        lines = f.read().replace("\ufeff", "").splitlines()
    keys = {}
    values = None
    pending = ""
    for line in lines:
        if pending:
            line, pending = pending + "\n" + line, ""
        if line.endswith("\\") and not line.startswith("["):
            pending = line
            continue
        if line.startswith("[") and line.endswith("]"):
            key = line[1:-1]
            values = {}
            keys[key.lower()] = (key, values)
        elif values is not None and (line.startswith('"') or line.startswith("@=")):
            values[value_name(line).lower()] = line
    return keys


def undo_lines(before, after, ignore):
    lines = []
    added = [k for k in after if k not in before and not ignore.search(after[k][0])]
    for k in added:
        # Deleting a key deletes what is below it.
        if k.rsplit("\\", 1)[0] not in added:
            lines += ["", "[-%s]" % after[k][0]]
    for k, (key, old) in before.items():
        if ignore.search(key):
            continue
        new = after.get(k, (key, {}))[1]
        changes = [old[n] for n in old if new.get(n) != old[n]]
        changes += ["%s=-" % value_name(new[n]) for n in new if n not in old]
        if changes or k not in after:
            lines += ["", "[%s]" % key] + changes
    return lines


def main():
    before, after, ignore, out = sys.argv[1:5]
    lines = undo_lines(read_export(before), read_export(after), re.compile(ignore))
    with open(out, "w", encoding="utf-16", newline="\r\n") as f:
        f.write("\n".join(["Windows Registry Editor Version 5.00"] + lines) + "\n")
    print(sum(1 for line in lines if line))


main()
