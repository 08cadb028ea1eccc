#!/usr/bin/env bash
# Builds the Windows Installer package around the installer: VeloraPDF-<version>-x64.msi.
#   build-msi.sh <installer.exe> <version> <out.msi>
# The same installer and version give the same bytes, wherever and whenever it is built: the
# ProductCode and the package code are name-based UUIDs, the summary's times are the source
# date (SOURCE_DATE_EPOCH, by default the time the version was set: 2026-01-01).
# The rows of the installer's options come from the program's choice table through the host
# build's deploy-files (VLPDF_DEPLOY_FILES, by default the one of build/host).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exe=$1; version=$2; out=$3
fail() { printf 'build-msi: %s\n' "$*" >&2; exit 1; }
[ -f "$exe" ] || fail "$exe is missing"
command -v wixl >/dev/null && command -v msibuild >/dev/null || fail "wixl and msibuild are needed (make setup)"
deploy_files=${VLPDF_DEPLOY_FILES:-$here/../../build/host/tools/deploy-files/deploy-files}
[ -x "$deploy_files" ] || fail "$deploy_files is missing: build the host preset first"

# Fixed for the product's life: every version of the package shares it.
upgrade_code=4A4292ED-ACBB-4914-A534-EC788B9C573E
read -r product_code package_code < <(python3 - "$upgrade_code" "$version" "$exe" <<'PY'
import hashlib, sys, uuid
ns = uuid.UUID(sys.argv[1])
# The product is the version; the package is this version around these installer bytes.
digest = hashlib.sha256(open(sys.argv[3], "rb").read()).hexdigest()
print("{%s}" % str(uuid.uuid5(ns, "product " + sys.argv[2])).upper(),
      "{%s}" % str(uuid.uuid5(ns, "package " + sys.argv[2] + " " + digest)).upper())
PY
)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# wixl names the Binary's source in no table, but takes it relative to the current folder.
cp "$exe" "$work/installer.exe"
(cd "$work" && wixl -a x64 -D Version="$version" -D ProductCode="$product_code" -D Installer=installer.exe \
  -o package.msi "$here/package.wxs") || fail "wixl failed"

# What wixl 0.101 cannot write: a component's condition, the custom actions (it has no
# executable-from-Binary type), and their places in the execute sequence: rows.sql's, then the
# options' from the choice table.
"$deploy_files" --msi-rows >"$work/options.sql" || fail "$deploy_files could not print the options' rows"
grep -q . "$work/options.sql" || fail "$deploy_files printed no rows for the options"
sql=()
for rows in "$here/rows.sql" "$work/options.sql"; do
  while IFS= read -r line || [ -n "$line" ]; do
    case "$line" in ''|'#'*) continue ;; esac
    sql+=(-q "$line")
  done <"$rows"
done
msibuild "$work/package.msi" "${sql[@]}" || fail "adding the custom actions failed"

# The summary: this package's own code (msibuild -s), then the times of the source date.
msibuild "$work/package.msi" -s "VeloraPDF $version (x64)" "Quenmoor Network Technology Co., Ltd." "x64;1033" \
  "$package_code" || fail "writing the summary failed"
python3 "$here/summary_times.py" "$work/package.msi" "${SOURCE_DATE_EPOCH:-1767225600}" || fail "fixing the summary's times failed"
mkdir -p "$(dirname "$out")"
mv "$work/package.msi" "$out"
