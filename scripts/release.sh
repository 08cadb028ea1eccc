#!/usr/bin/env bash
# Makes the release folder from a Windows build: the installer and the Windows Installer
# package around it (both signed when a certificate is given), their SHA-256 and the winget
# manifest.
#   release.sh <win64-build-dir> <out-dir>
# Signing: SIGN_CERT (PEM certificate, with its chain), SIGN_KEY (PEM key), optional
# SIGN_PASS (the key's passphrase), SIGN_CA (what verification trusts; default SIGN_CERT)
# and SIGN_TIMESTAMP_URL (an RFC 3161 time-stamping service). RELEASE_URL: where the
# installer will be downloaded from, for the manifest (the package's URL is the same folder's).
# SOURCE_DATE_EPOCH: the package's summary times; by default the time of the last commit.
# UPDATE_FROM: earlier release folders (space-separated); for the installer in each, an update
# installer VeloraPDF-<version>-update-from-<earlier>.exe that patches its installations.
# update-feed.json lists the installer and those updates, with addresses relative to
# UPDATE_BASE_URL (by default the folder of RELEASE_URL), for any web server to serve.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$1; out=$2
say() { printf 'release: %s\n' "$*"; }
fail() { say "$*" >&2; exit 1; }

[ -f "$build/release.env" ] || fail "$build/release.env is missing: configure and build the win64 preset first"
. "$build/release.env"
[ -f "$VLPDF_INSTALLER" ] || fail "$VLPDF_INSTALLER is missing: build the installer_exe target first"
# What administrators deploy with (the policy templates, the default-apps file) and the
# package's rows for the installer's options are written from the program's own tables by the
# host build's deploy-files (make release builds the host preset).
deploy_files=${VLPDF_DEPLOY_FILES:-$top/build/host/tools/deploy-files/deploy-files}
[ -x "$deploy_files" ] || fail "$deploy_files is missing: build the host preset first"
name=$(basename "$VLPDF_INSTALLER")
url=${RELEASE_URL:-https://www.velorapdf.com/download/$name}
msi_name=VeloraPDF-$VLPDF_VERSION-x64.msi
msi_url=${url%/*}/$msi_name
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$top" log -1 --format=%ct 2>/dev/null) ||
    fail "no source date: not a git checkout, and SOURCE_DATE_EPOCH is not set"
fi
export SOURCE_DATE_EPOCH

sign() {  # sign <in> <out>
  local passfile=
  local args=(-certs "$SIGN_CERT" -key "$SIGN_KEY" -h sha256 -n "VeloraPDF Setup" -i "https://www.velorapdf.com")
  [ -n "${SIGN_TIMESTAMP_URL:-}" ] && args+=(-ts "$SIGN_TIMESTAMP_URL")
  if [ -n "${SIGN_PASS:-}" ]; then
    # From a private file, not the command line, which other users can read.
    passfile=$(umask 077 && mktemp)
    printf '%s' "$SIGN_PASS" >"$passfile"
    args+=(-readpass "$passfile")
  fi
  local rc=0
  osslsigncode sign "${args[@]}" -in "$1" -out "$2" >"$out/sign.log" 2>&1 || rc=$?
  [ -n "$passfile" ] && rm -f "$passfile"
  [ $rc -eq 0 ] || { cat "$out/sign.log" >&2; fail "signing failed"; }
  rm -f "$out/sign.log"
}

verify() {  # verify <file>
  osslsigncode verify -CAfile "${SIGN_CA:-$SIGN_CERT}" -in "$1" >"$out/verify.log" 2>&1 ||
    { cat "$out/verify.log" >&2; fail "the signed $(basename "$1") does not verify"; }
  rm -f "$out/verify.log"
  say "signed and verified: $1"
}

# A file made for the release: signed into its final name when signing, else renamed.
finish_file() {  # finish_file <unsigned file> <final file>
  if [ -n "$signing" ]; then
    sign "$1" "$2"
    rm "$1"
    verify "$2"
  else
    mv "$1" "$2"
    say "UNSIGNED: $2"
  fi
}

rm -rf "$out"
mkdir -p "$out"
signing=
if [ -n "${SIGN_CERT:-}${SIGN_KEY:-}" ]; then
  [ -n "${SIGN_CERT:-}" ] && [ -n "${SIGN_KEY:-}" ] || fail "signing needs both SIGN_CERT and SIGN_KEY"
  command -v osslsigncode >/dev/null || fail "osslsigncode is not installed (make setup)"
  signing=1
  sign "$VLPDF_INSTALLER" "$out/$name"
  verify "$out/$name"
else
  cp "$VLPDF_INSTALLER" "$out/$name"
  say "UNSIGNED: no SIGN_CERT and SIGN_KEY given; $out/$name is the build's file as it is"
fi
# Signing adds to the file: the archive inside must still be whole.
"$VLPDF_MKPAK" verify "$out/$name" >/dev/null || fail "the embedded archive of $out/$name does not verify"

# The package carries the installer as released (signed), and is signed the same way.
VLPDF_DEPLOY_FILES=$deploy_files "$top/scripts/msi/build-msi.sh" "$out/$name" "$VLPDF_VERSION" "$out/unsigned-$msi_name" ||
  fail "building the package failed"
finish_file "$out/unsigned-$msi_name" "$out/$msi_name"

(cd "$out" && sha256sum "$name" >"$name.sha256" && sha256sum "$msi_name" >"$msi_name.sha256")
python3 "$top/scripts/winget-manifest.py" "$out/$name" "$VLPDF_VERSION" "$url" "$out/manifest" "$out/$msi_name" "$msi_url"
say "$(cut -d' ' -f1 "$out/$name.sha256")  $name"
say "$(cut -d' ' -f1 "$out/$msi_name.sha256")  $msi_name"
say "winget manifest: $out/manifest/"
updates=()
for earlier_dir in ${UPDATE_FROM:-}; do
  earlier=$(find "$earlier_dir" -maxdepth 1 -name 'VeloraPDF-*-install.exe' | head -1)
  [ -n "$earlier" ] || fail "$earlier_dir: no VeloraPDF-<version>-install.exe in it"
  earlier_version=$(basename "$earlier" | sed 's/^VeloraPDF-\(.*\)-install\.exe$/\1/')
  update_name=VeloraPDF-$VLPDF_VERSION-update-from-$earlier_version.exe
  "$top/scripts/update-installer.sh" "$build" "$earlier" "$out/unsigned-$update_name" ||
    fail "the update from $earlier_version could not be made"
  finish_file "$out/unsigned-$update_name" "$out/$update_name"
  (cd "$out" && sha256sum "$update_name" >"$update_name.sha256")
  say "$(cut -d' ' -f1 "$out/$update_name.sha256")  $update_name"
  updates+=("$earlier_version" "$update_name")
done
python3 - "$out" "${UPDATE_BASE_URL:-${url%/*}/}" "$VLPDF_VERSION" "$name" "${updates[@]}" <<'PY' ||
import hashlib, json, os, sys
out, base, version, full = sys.argv[1:5]
def package(name, **more):
    with open(os.path.join(out, name), "rb") as f:
        data = f.read()
    return dict(more, url=name, size=len(data), sha256=hashlib.sha256(data).hexdigest())
rest = sys.argv[5:]
patches = [package(rest[i + 1], **{"from": rest[i]}) for i in range(0, len(rest), 2)]
feed = {"base": base, "releases": [{"version": version, "full": package(full), "patches": patches}]}
with open(os.path.join(out, "update-feed.json"), "w") as f:
    json.dump(feed, f, indent=1, sort_keys=True)
    f.write("\n")
PY
  fail "could not write the update feed"
say "update feed: $out/update-feed.json"
"$deploy_files" "$top/product/translations.txt" "$out" || fail "deploy-files could not write the policy templates"
say "policy templates: $out/policies/; default apps: $out/DefaultAssociations.xml"
