#!/usr/bin/env bash
# Makes the release folder from a Windows build: the installer (signed when a certificate
# is given), its SHA-256 and the winget manifest.
#   release.sh <win64-build-dir> <out-dir>
# Signing: SIGN_CERT (PEM certificate, with its chain), SIGN_KEY (PEM key), optional
# SIGN_PASS (the key's passphrase), SIGN_CA (what verification trusts; default SIGN_CERT)
# and SIGN_TIMESTAMP_URL (an RFC 3161 time-stamping service). RELEASE_URL: where the
# installer will be downloaded from, for the manifest.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$1; out=$2
say() { printf 'release: %s\n' "$*"; }
fail() { say "$*" >&2; exit 1; }

[ -f "$build/release.env" ] || fail "$build/release.env is missing: configure and build the win64 preset first"
. "$build/release.env"
[ -f "$VLPDF_INSTALLER" ] || fail "$VLPDF_INSTALLER is missing: build the installer_exe target first"
name=$(basename "$VLPDF_INSTALLER")
url=${RELEASE_URL:-https://www.velorapdf.com/download/$name}

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

rm -rf "$out"
mkdir -p "$out"
if [ -n "${SIGN_CERT:-}${SIGN_KEY:-}" ]; then
  [ -n "${SIGN_CERT:-}" ] && [ -n "${SIGN_KEY:-}" ] || fail "signing needs both SIGN_CERT and SIGN_KEY"
  command -v osslsigncode >/dev/null || fail "osslsigncode is not installed (make setup)"
  sign "$VLPDF_INSTALLER" "$out/$name"
  osslsigncode verify -CAfile "${SIGN_CA:-$SIGN_CERT}" -in "$out/$name" >"$out/verify.log" 2>&1 ||
    { cat "$out/verify.log" >&2; fail "the signed installer does not verify"; }
  rm -f "$out/verify.log"
  say "signed and verified: $out/$name"
else
  cp "$VLPDF_INSTALLER" "$out/$name"
  say "UNSIGNED: no SIGN_CERT and SIGN_KEY given; $out/$name is the build's file as it is"
fi
# Signing adds to the file: the archive inside must still be whole.
"$VLPDF_MKPAK" verify "$out/$name" >/dev/null || fail "the embedded archive of $out/$name does not verify"

(cd "$out" && sha256sum "$name" >"$name.sha256")
python3 "$top/scripts/winget-manifest.py" "$out/$name" "$VLPDF_VERSION" "$url" "$out/manifest"
say "$(cut -d' ' -f1 "$out/$name.sha256")  $name"
say "winget manifest: $out/manifest/"
# What administrators deploy with: the policy templates and the default-apps file, written from
# the program's own tables by the host build's deploy-files (make release builds the host preset).
deploy_files=${VLPDF_DEPLOY_FILES:-$top/build/host/tools/deploy-files/deploy-files}
[ -x "$deploy_files" ] || fail "$deploy_files is missing: build the host preset first"
"$deploy_files" "$top/payload/translations.txt" "$out" || fail "deploy-files could not write the policy templates"
say "policy templates: $out/policies/; default apps: $out/DefaultAssociations.xml"
