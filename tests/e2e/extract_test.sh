#!/usr/bin/env bash
# -x end to end, with the real installer in a private machine:
#   - into a fresh directory: exactly the installed entries, byte for byte, exit 0;
#   - without -d: into the current directory;
#   - again while the extracted vlpdf.exe is running: still exit 0;
#   - an installer whose tenth installed entry is damaged: the nine before it written, the
#     files moved aside put back, the corruption message on standard error, exit 1.
#   extract_test.sh <scripts-dir> <wine-root> <prefix> <installer.exe> <mkpak>
set -u
scripts=$1; root=$2; prefix=$3; exe=$4; mkpak=$5
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/machine.sh"
machine_start "$scripts" "$root" "$prefix" display || exit 1

work=$(mktemp -d)
trap 'machine_stop; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# What the installer must write: every entry but translations.txt, as mkpak decodes it.
"$mkpak" extract "$exe" "$work/expected" >/dev/null || fail "mkpak extract"
rm "$work/expected/translations.txt"

echo "== -x -d into a fresh directory"
wine "$exe" -x -d "$(winpath "$work/fresh")" >"$work/out" 2>"$work/err" || fail "exit $? ($(cat "$work/err"))"
diff -r "$work/expected" "$work/fresh" || fail "extracted files differ"

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
echo "all -x cases passed"
