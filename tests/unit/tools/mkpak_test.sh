#!/usr/bin/env bash
# mkpak from the outside: round trips through mkpak and the installer's reader, the same
# input giving the same bytes, and failures that leave no output behind.
#   mkpak_test.sh <mkpak>
set -u
mkpak=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

check() {  # check <description> <command...>
  local what=$1; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
# Runs mkpak expecting failure: non-zero exit and a message naming the problem.
fails_with() {  # fails_with <expected text> <mkpak args...>
  local want=$1; shift
  local err
  err=$("$mkpak" "$@" 2>&1 >/dev/null) && { echo "     exit 0, expected failure"; return 1; }
  grep -qF -- "$want" <<<"$err" || { echo "     message: $err"; return 1; }
}
no_output_left() {  # no_output_left <dir> <file name>: neither the file nor a temporary of it
  ! ls "$1" | grep -q "^$2"
}

# --- round trip: sizes, random data, text, a PNG, real PE files, nested folders
src=$work/src
mkdir -p "$src/UserSDKHost/web" "$src/plugins/pdfwatch"
: >"$src/empty.txt"
printf 'x' >"$src/one.bin"
head -c 65536 /dev/urandom >"$src/random64k.bin"
head -c 3000000 /dev/urandom >"$src/plugins/random3m.bin"
for i in $(seq 1 60000); do echo "line $i of the quick start guide"; done >"$src/UserSDKHost/web/text.html"
printf '\x89PNG\r\n\x1a\nnot really a png' >"$src/UserSDKHost/web/logo.png"
pe_count=0
for dll in /usr/lib/x86_64-linux-gnu/wine/x86_64-windows/{version,winhttp,shlwapi}.dll; do
  [ -f "$dll" ] && cp "$dll" "$src/plugins/pdfwatch/" && pe_count=$((pe_count + 1))
done
check "real PE files from Wine are there to pack" test "$pe_count" -eq 3

check "create packs the folder" "$mkpak" create "$src" "$work/a.pak"
check "verify decodes every entry" "$mkpak" verify "$work/a.pak"
check "extract writes every file back" "$mkpak" extract "$work/a.pak" "$work/out"
check "extracted files equal the originals" diff -r "$src" "$work/out"
"$mkpak" list "$work/a.pak" >"$work/list.txt"
check "PNG images are stored" grep -qE ' stored +UserSDKHost\\web\\logo\.png$' "$work/list.txt"
check "other files are LZMA with x86" grep -qE ' lzma\+x86 +plugins\\pdfwatch\\winhttp\.dll$' "$work/list.txt"
check "entries in sorted order" bash -c "awk 'NR>1 {print \$4}' '$work/list.txt' | head -n -1 | LC_ALL=C sort -c"
check "the list counts every file" grep -qE ' 9 files$' "$work/list.txt"

# --- the same input gives the same bytes, on one core or several
small=$work/small
mkdir -p "$small/UserSDKHost" && cp "$src/one.bin" "$src/plugins/pdfwatch/version.dll" "$small/"
cp "$src/UserSDKHost/web/text.html" "$src/UserSDKHost/web/logo.png" "$small/UserSDKHost/"
"$mkpak" create "$small" "$work/s1.pak"
"$mkpak" create -j 1 "$small" "$work/s2.pak"
check "one job and all jobs give identical archives" cmp -s "$work/s1.pak" "$work/s2.pak"
SOURCE_DATE_EPOCH=1000000000 "$mkpak" create "$small" "$work/s3.pak"
check "SOURCE_DATE_EPOCH sets the file times" bash -c "! cmp -s '$work/s1.pak' '$work/s3.pak'"
SOURCE_DATE_EPOCH=yesterday check "a bad SOURCE_DATE_EPOCH is refused" fails_with "SOURCE_DATE_EPOCH" create "$src" "$work/d.pak"
check "no output after a refused SOURCE_DATE_EPOCH" no_output_left "$work" d.pak

mkdir "$work/linked" && ln -s "$src/one.bin" "$work/linked/alias.bin"
"$mkpak" create "$work/linked" "$work/linked.pak"
check "a symbolic link is packed under its own name" bash -c "'$mkpak' list '$work/linked.pak' | grep -qE ' alias\.bin$'"

# --- an entries list gives the order; a folder in it stands for its files
cat >"$work/entries.txt" <<'EOF'
# the top-level files first
one.bin
empty.txt
plugins\pdfwatch
UserSDKHost/web/logo.png
EOF
check "create follows the list" "$mkpak" create "$src" "$work/l.pak" --list "$work/entries.txt"
check "list order kept" bash -c "'$mkpak' list '$work/l.pak' | awk 'NR>1 {print \$4}' | head -n -1 | tr '\n' ' ' | grep -qxF 'one.bin empty.txt plugins\\pdfwatch\\shlwapi.dll plugins\\pdfwatch\\version.dll plugins\\pdfwatch\\winhttp.dll UserSDKHost\\web\\logo.png '"
printf 'one.bin\nmissing.dll\n' >"$work/bad-entries.txt"
check "a listed file that is missing is refused" fails_with "bad-entries.txt:2" create "$src" "$work/m.pak" --list "$work/bad-entries.txt"
printf 'one.bin\none.bin\n' >"$work/twice.txt"
check "a file listed twice is refused" fails_with "listed twice" create "$src" "$work/m.pak" --list "$work/twice.txt"
printf '../src/one.bin\n' >"$work/up.txt"
check "a listed path leaving the folder is refused" fails_with "refuses this name" create "$src" "$work/m.pak" --list "$work/up.txt"
check "no output after refused lists" no_output_left "$work" m.pak

# --- input errors: clear message, non-zero exit, an earlier output untouched, no temporaries
echo old >"$work/keep.pak"
check "a missing folder is refused" fails_with "not a folder" create "$work/nope" "$work/keep.pak"
mkdir "$work/emptydir"
check "an empty folder is refused" fails_with "no files" create "$work/emptydir" "$work/keep.pak"
mkdir "$work/dangling" && ln -s "$work/nowhere" "$work/dangling/a.dll"
check "an unreadable file is refused" fails_with "a.dll" create "$work/dangling" "$work/keep.pak"
mkdir "$work/colon" && echo x >"$work/colon/a:b.txt"
check "a name with a colon is refused" fails_with "refuses this name" create "$work/colon" "$work/keep.pak"
mkdir "$work/bs" && echo x >"$work/bs/a\\b.txt"
check "a file name with a backslash is refused" fails_with "backslash" create "$work/bs" "$work/keep.pak"
long=$work/long; deep=$long
for i in 1 2 3 4 5; do deep=$deep/$(printf 'd%.0s' $(seq 1 200)); done
mkdir -p "$deep" && echo x >"$deep/f"
check "a name over 999 bytes is refused" fails_with "refuses this name" create "$long" "$work/keep.pak"
mkdir "$work/many" && (cd "$work/many" && seq 1 2049 | xargs touch)
check "2049 files are refused" fails_with "at most 2048" create "$work/many" "$work/keep.pak"
rm "$work/many/1"
check "2048 files are packed" "$mkpak" create "$work/many" "$work/many.pak"
mkdir "$work/huge" && truncate -s 2147483646 "$work/huge/big.bin"
check "a file the installer cannot unpack is refused" fails_with "more than the installer can unpack" create "$work/huge" "$work/keep.pak"
check "a failed create keeps the earlier output" grep -qx old "$work/keep.pak"
check "a failed create leaves no temporary file" bash -c "! ls '$work' | grep -q 'keep.pak.tmp'"
check "an unwritable output is refused" fails_with "cannot create" create "$src" "$work/nodir/x.pak"

# --- damaged archives: the reader's verdict, with the entry named
cp "$work/a.pak" "$work/damaged.pak"
size=$(stat -c %s "$work/a.pak")
printf '\x55' | dd of="$work/damaged.pak" bs=1 seek=$((size - 100)) conv=notrunc status=none
check "verify names the damaged entry" fails_with "entry 8 'random64k.bin'" verify "$work/damaged.pak"
printf '\x55' | dd of="$work/damaged.pak" bs=1 seek=20 conv=notrunc status=none
check "a damaged header is refused" fails_with "not a valid archive" list "$work/damaged.pak"
head -c $((size - 1)) "$work/a.pak" >"$work/short.pak"
check "a truncated archive is refused" fails_with "not a valid archive" verify "$work/short.pak"
check "a missing archive is refused" fails_with "cannot open" verify "$work/nothing.pak"
printf 'MZ' >"$work/fake.exe"; head -c 200 /dev/zero >>"$work/fake.exe"
check "an executable without RCDATA 1 is refused" fails_with "no RCDATA resource 1" list "$work/fake.exe"

# --- a patch archive: the later version from the earlier one ($src)
later=$work/later
cp -r "$src" "$later"
rm "$later/one.bin"                                  # gone in the later version
echo "a new file" >"$later/plugins/added.txt"        # new
printf 'CHANGED' | dd of="$later/plugins/pdfwatch/winhttp.dll" bs=1 seek=5000 conv=notrunc status=none
head -c 4096 /dev/urandom >>"$later/plugins/pdfwatch/winhttp.dll"
sed -i 's/line 7 of/line seven of/' "$later/UserSDKHost/web/text.html"
check "create writes a patch archive" "$mkpak" create "$later" "$work/p.pak" --base "$src" --base-version 3.7
"$mkpak" create "$later" "$work/p2.pak" --base "$src" --base-version 3.7 -j 1
check "the same versions give the same patch" cmp -s "$work/p.pak" "$work/p2.pak"
"$mkpak" list "$work/p.pak" >"$work/plist.txt"
check "the list names the base version" grep -qx 'a patch of version 3.7' "$work/plist.txt"
check "an unchanged file is carried as nothing" grep -qE ' +66  same +plugins\\pdfwatch\\version\.dll$' "$work/plist.txt"
check "what the installer reads itself stays whole" grep -qE ' lzma\+x86 +random64k\.bin$' "$work/plist.txt"
check "a changed library is a difference" grep -qE ' diff +plugins\\pdfwatch\\winhttp\.dll$' "$work/plist.txt"
check "a new file is whole" grep -qE ' lzma\+x86 +plugins\\added\.txt$' "$work/plist.txt"
check "a removed file is not carried" bash -c "! grep -q 'one\.bin' '$work/plist.txt'"
"$mkpak" create "$later" "$work/later-full.pak"
check "the patch is under a tenth of the full archive" \
  test $(($(stat -c %s "$work/p.pak") * 10)) -lt "$(stat -c %s "$work/later-full.pak")"
check "verify without the earlier files says what it skipped" \
  bash -c "'$mkpak' verify '$work/p.pak' | grep -q '3 files OK, 6 made from the earlier version not checked'"
check "verify builds every file from the earlier version" "$mkpak" verify "$work/p.pak" --base "$src"
check "extract makes the later version" "$mkpak" extract "$work/p.pak" "$work/pout" --base "$src"
check "extracted files equal the later version" diff -r "$later" "$work/pout"
cp -r "$src" "$work/moved"; echo tampered >>"$work/moved/plugins/pdfwatch/version.dll"
check "an earlier file that changed is named" fails_with "'plugins\\pdfwatch\\version.dll' the earlier file is not the one it was made from" \
  verify "$work/p.pak" --base "$work/moved"
check "extract without the earlier files says what it needs" fails_with "made from the earlier version's file" \
  extract "$work/p.pak" "$work/pout2"
# The unchanged library's block: the archive's end less the blocks from it on; its body's
# kind byte follows the two digests.
from_it=$(awk '/version\.dll$/ {on=1} on && $4 != "files" {n += $2} END {print n}' "$work/plist.txt")
cp "$work/p.pak" "$work/newer.pak"
printf '\x7E' | dd of="$work/newer.pak" bs=1 seek=$(($(stat -c %s "$work/p.pak") - from_it + 65)) conv=notrunc status=none
check "a kind this reader does not know is refused by name" \
  fails_with "'plugins\\pdfwatch\\version.dll' is of a kind this reader does not know (unknown 0x7E)" verify "$work/newer.pak" --base "$src"
check "and listed as unknown" bash -c "'$mkpak' list '$work/newer.pak' | grep -qE 'unknown 0x7E +plugins.pdfwatch.version\.dll$'"
check "--base needs --base-version" fails_with "go together" create "$later" "$work/keep.pak" --base "$src"
check "a base version must be digits and dots" fails_with "digits and single dots" \
  create "$later" "$work/keep.pak" --base "$src" --base-version 3.7-beta

[ $failures -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
