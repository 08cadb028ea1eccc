#!/usr/bin/env bash
# One-time machine set-up for building and testing the installer on Debian 12.
# Safe to run again: every step checks first and says what it skipped.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
deps="$top/.deps"

packages=(
  g++ cmake ninja-build make googletest libbenchmark-dev liblzma-dev zlib1g-dev
  clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools libz-mingw-w64-dev
  wine wine64 xvfb xauth xdotool imagemagick fonts-wqy-microhei fonts-dejavu-core
  dpkg-dev python3
  osslsigncode openssl python3-yaml  # make release: signing, the throwaway test certificate, the manifest
  wixl msitools  # make release: the Windows Installer package around the installer, and its tests
  nsis  # make bench's peer installer, never a part of the product
  bsdiff libbz2-dev  # mkpak: the differences that patch archives carry
  zstd  # make bench-patch: a candidate for those differences, measured against bsdiff
  mingw-w64-common libstdc++-12-dev libpython3.11-stdlib  # make bench: the many-file payload's headers and modules
)

say() { printf 'setup: %s\n' "$*"; }

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

apt_updated=0
apt_update_once() {
  [ "$apt_updated" = 1 ] && return 0
  as_root apt-get update -qq
  apt_updated=1
}

missing_packages() {
  # One dpkg-query for all packages keeps a second run fast.
  local installed p
  installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null |
    awk '$NF=="installed" {sub(/:.*/, "", $1); print $1}')
  for p in "${packages[@]}"; do
    grep -qx -- "$p" <<<"$installed" || echo "$p"
  done
}

install_packages() {
  local missing
  missing=$(missing_packages)
  if [ -z "$missing" ]; then
    say "packages: all present, skipped"
    return
  fi
  say "packages: installing" $missing
  apt_update_once
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends $missing >/dev/null
}

# Source entries are derived from the machine's own binary entries so that no
# mirror host name is ever written into this repository.
enable_source_entries() {
  local out=/etc/apt/sources.list.d/vlpdf-deb-src.sources
  local outlist=/etc/apt/sources.list.d/vlpdf-deb-src.list
  if [ -f "$out" ] || [ -f "$outlist" ]; then return; fi
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    case "$f" in *vlpdf-deb-src*) continue ;; esac
    sed -e 's/^Types:.*\bdeb\b.*$/Types: deb-src/' "$f" | as_root tee -a "$out" >/dev/null
    echo | as_root tee -a "$out" >/dev/null
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    case "$f" in *vlpdf-deb-src*) continue ;; esac
    grep -E '^deb[[:space:]]' "$f" | sed -e 's/^deb\([[:space:]]\)/deb-src\1/' | as_root tee -a "$outlist" >/dev/null || true
  done
  apt_updated=0
}

# The library is keyed by the version of the source package it was built from;
# .deps/liblzma-mingw points at the one in use, so a second run needs no apt call.
build_mingw_liblzma() {
  if [ -f "$deps/liblzma-mingw/lib/liblzma.a" ]; then
    say "liblzma for MinGW $(readlink "$deps/liblzma-mingw" | sed 's/^liblzma-mingw-//'): present in .deps/, skipped"
    return
  fi
  say "liblzma for MinGW: building from Debian's xz-utils source package"
  enable_source_entries
  apt_update_once
  local work="$deps/src"
  rm -rf "$work" && mkdir -p "$work"
  (cd "$work" && apt-get source -qq xz-utils >/dev/null 2>&1)
  local dsc version srcdir prefix
  dsc=$(find "$work" -maxdepth 1 -name 'xz-utils_*.dsc' | head -n 1)
  srcdir=$(find "$work" -maxdepth 1 -mindepth 1 -type d -name 'xz-utils-*' | head -n 1)
  if [ -z "$dsc" ] || [ -z "$srcdir" ]; then
    say "could not fetch the xz-utils source package (are deb-src entries reachable?)"
    exit 1
  fi
  version=$(basename "$dsc" .dsc | sed 's/^xz-utils_//')
  prefix="$deps/liblzma-mingw-$version"
  cmake -S "$srcdir" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF >/dev/null
  cmake --build "$work/build" --target liblzma >/dev/null
  rm -rf "$prefix" && mkdir -p "$prefix/lib" "$prefix/include"
  cp "$work/build/liblzma.a" "$prefix/lib/"
  cp -r "$srcdir/src/liblzma/api/." "$prefix/include/"
  rm -rf "$work"
  ln -sfn "liblzma-mingw-$version" "$deps/liblzma-mingw"
  say "liblzma for MinGW $version: built into .deps/"
}

install_packages
build_mingw_liblzma
