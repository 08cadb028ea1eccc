#!/usr/bin/env bash
# -x end to end, with the real installer in a private machine:
#   - into a fresh directory: exactly the installed entries, byte for byte, exit 0, and for
#     each the log lines of a file written into a free name;
#   - without -d: into the current directory;
#   - again while the extracted vlpdf.exe is running: still exit 0;
#   - an installer whose tenth installed entry is damaged: the nine before it written, the
#     files moved aside put back, the corruption message on standard error, exit 1; into a
#     folder that was not there, the folder taken away again.
#   extract_test.sh <scripts-dir> <wine-root> <prefix> <installer.exe> <mkpak>
set -u
scripts=$1; root=$2; prefix=$3; exe=$4; mkpak=$5
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/machine.sh"
. "$here/lib/install.sh"
machine_start "$scripts" "$root" "$prefix" display || exit 1

work=$(mktemp -d)
trap 'machine_stop; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# What the installer must write: every entry but translations.txt, as mkpak decodes it.
"$mkpak" extract "$exe" "$work/expected" >/dev/null || fail "mkpak extract"
rm "$work/expected/translations.txt"

echo "== -x -d into a fresh directory"
log="$(unixpath "$(win_env TEMP)")/vlpdf-install-log.txt"
wine "$exe" -x -log -d "$(winpath "$work/fresh")" >"$work/out" 2>"$work/err" || fail "exit $? ($(cat "$work/err"))"
diff -r "$work/expected" "$work/fresh" || fail "extracted files differ"
# Every name was free: each file is told as the robust writer tells a file written directly.
tr -d '\r' <"$log" | python3 -c '
import re, sys
dest, count = sys.argv[1], int(sys.argv[2])
lines = sys.stdin.read().split("\n")
seen = 0
for i, line in enumerate(lines):
    m = re.fullmatch(r"  decompress \[\d+/\d+\] \x27(.+)\x27 compressed=\d+ uncompressed=(\d+)", line)
    if not m:
        continue
    seen += 1
    target = dest + "\\" + m.group(1)
    want = ["WriteInstallerFileRobust: path=\x27%s\x27 bytes=%s" % (target, m.group(2)),
            "  no existing file (GetSize failed)", "  attempt 1/4",
            "WriteInstallerFileRobust: ok (direct) \x27%s\x27" % target, "  extracted \x27%s\x27" % target]
    if lines[i + 1:i + 6] != want:
        sys.exit("after %r: %r" % (line, lines[i + 1:i + 6]))
if seen != count:
    sys.exit("%d files in the log, %d installed" % (seen, count))
' "$(winpath "$work/fresh")" "$(find "$work/expected" -type f | wc -l)" || fail "the log of the fresh directory"

echo "== -x without -d extracts into the current directory"
mkdir "$work/cwd"
(cd "$work/cwd" && wine "$exe" -x >/dev/null 2>"$work/err") || fail "exit $? ($(cat "$work/err"))"
diff -r "$work/expected" "$work/cwd" || fail "extracted files differ"

echo "== -x again while the extracted vlpdf.exe is running"
wine "$work/fresh/vlpdf.exe" "$(winpath "$work/fresh/vlpdf-quickstart.pdf")" </dev/null >/dev/null 2>&1 &
reader=$!
sleep 2
kill -0 $reader 2>/dev/null || fail "the stand-in reader did not keep running"
wine "$exe" -x -d "$(winpath "$work/fresh")" >/dev/null 2>"$work/err" || fail "exit $? ($(cat "$work/err"))"
for f in $(cd "$work/expected" && find . -type f); do
  cmp -s "$work/expected/$f" "$work/fresh/$f" || fail "$f differs after the second extraction"
done
kill $reader 2>/dev/null; wait $reader 2>/dev/null

echo "== a damaged tenth entry"
damaged=$(python3 "$here/corrupt_entry.py" "$exe" "$work/damaged-install.exe" 10) || fail "could not make the damaged installer"
mkdir "$work/old"
for f in vlpdf.exe libtovarinpdf.dll PdfFilter.dll PdfPreview.dll; do echo "old $f" >"$work/old/$f"; done
wine "$work/damaged-install.exe" -x -d "$(winpath "$work/old")" >"$work/out" 2>"$work/err"
rc=$?
[ $rc -eq 1 ] || fail "exit $rc, expected 1"
grep -q "The installer has been corrupted. Please download it again." "$work/err" || fail "stderr: $(cat "$work/err")"
for f in vlpdf.exe libtovarinpdf.dll PdfFilter.dll PdfPreview.dll; do
  [ "$(cat "$work/old/$f")" = "old $f" ] || fail "$f was not put back"
  [ ! -e "$work/old/$f.copy" ] || fail "$f.copy left behind"
done
for f in UserSDK.dll HardwareId.dll vlpdf-cli.exe vlpdf-quickstart.pdf UserSDKHost/UserSDKHost.exe; do
  cmp -s "$work/expected/$f" "$work/old/$f" || fail "$f (before the damaged entry) was not written"
done
[ ! -e "$work/old/$(tr '\\' / <<<"$damaged")" ] || fail "the damaged entry was written"

echo "== a damaged tenth entry into a folder that was not there"
wine "$work/damaged-install.exe" -x -d "$(winpath "$work/new")" >"$work/out" 2>"$work/err"
rc=$?
[ $rc -eq 1 ] || fail "exit $rc, expected 1"
# Nothing of the nine files written before is still open when they are taken away.
[ ! -e "$work/new" ] || fail "the failed first extraction left $(find "$work/new" | head -3)"
echo "all -x cases passed"
