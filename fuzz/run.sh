#!/usr/bin/env bash
# Runs every fuzz target from its own seeds for a number of seconds each; fails on any
# finding. Each target's corpus grows in <build>/corpus/<target> from run to run; findings
# go to <build>/artifacts/<target>/.
#   fuzz/run.sh <fuzz build dir> <seconds per target>
set -u
build=$1; seconds=$2
src=$(cd "$(dirname "$0")/.." && pwd)

# Argument lists as the system's split hands them over, one argument per NUL-ended piece:
# the installer's own runs, an elevated copy's command line, and reader options of every
# kind of value.
flags_seeds() {
  local d=$1 i=0 line
  while IFS= read -r line; do
    i=$((i + 1))
    # shellcheck disable=SC2086 # the words of a seed are its arguments
    printf '%s\0' setup.exe $line >"$d/args-$i"
  done <<'SEEDS'
-s -d C:\Apps\vlpdf -start-app -with-filter -with-preview -no-desktop-shortcut
-x
-x -d out -log
-h
-run-install-now -all-users -with-filter -with-preview -no-office-plugin -silent -fast-install -log -install-dir C:\Apps\
-S -ALL-USERS -default-pdf -default-comics -default-markdown -no-filter -no-preview -with-office-plugin
-print-to-default -exit-when-done doc.pdf
-page 12 -zoom fit -view continuous -bgcolor #fff -fwdsearch-offset 3 a.pdf
-forward-search file.tex 42 -set-color-range #000 #fff -stress-test dir *.pdf 3x
-plugin 1234 -test-plugin -s
-log-to-file C:\log.txt %2 %3 shortcut.lnk -engine-dump -sleep-ms -9999999999999999999999
SEEDS
}

# The product's own translations, and small files with escapes, the entry that changes the
# language and texts without translations. The first byte picks the language.
translations_seeds() {
  local d=$1
  { printf '\001'; cat "$src/product/translations.txt"; } >"$d/payload"
  printf '\002VorUvevizudur: VeloraPDF\n0123456789012345678901234567890123456789\n:&Close\ncn:&Guanbi\nde:&Schliessen\n:Tab\\there\\n\\\\\ncn:T\\tx\\r\\q\n' >"$d/escapes"
  printf '\003h\nf\n:Change Language\ncn:Yuyan\n:Untranslated\n:Empty\ncn:\n' >"$d/change-language"
}

run_target() {  # run_target <name> <max input length> <seed writer>
  local name=$1 maxlen=$2 runs
  local seeds=$build/seeds/$name log=$build/$name.log
  mkdir -p "$seeds" "$build/corpus/$name" "$build/artifacts/$name"
  "$3" "$seeds" || return 1
  if "$build/fuzz/$name" -max_total_time="$seconds" -max_len="$maxlen" -rss_limit_mb=2048 -timeout=20 \
      -print_final_stats=1 -artifact_prefix="$build/artifacts/$name/" "$build/corpus/$name" "$seeds" >"$log" 2>&1; then
    runs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$')
    echo "$name: clean, ${runs:-?} inputs in ${seconds} s"
  else
    cat "$log"
    echo "$name: FAILED (input in $build/artifacts/$name/)"
    return 1
  fi
}

archive_seeds() { "$build/fuzz/archive_fuzz_seeds" "$1"; }

# A feed with a release, its patch and members this program does not know.
feed_seeds() {
  local digest
  digest=$(printf '%064d' 0)
  printf '{"base": "https://www.velorapdf.com/download/", "releases": [{"version": "3.7.1", "notes": [1, true, null, "\u00e9"], "full": {"url": "VeloraPDF-3.7.1-install.exe", "size": 1581568, "sha256": "%s"}, "patches": [{"from": "3.7", "url": "u.exe", "size": 808448, "sha256": "%s"}]}]}' \
    "$digest" "$digest" >"$1/feed.json"
}

failed=0
run_target archive_fuzz 65536 archive_seeds || failed=1
run_target flags_fuzz 4096 flags_seeds || failed=1
run_target translations_fuzz 262144 translations_seeds || failed=1
run_target feed_fuzz 65536 feed_seeds || failed=1
exit $failed
