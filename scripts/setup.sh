#!/usr/bin/env bash
# Installs what the build, the tests and the benchmarks need from Debian's
# packages. Idempotent: installs only what is missing.
set -euo pipefail

packages=(
  cmake make python3
  g++-mingw-w64-x86-64 wine wine64
  xvfb xdotool x11-apps x11-utils imagemagick unzip
  googletest librust-lua52-sys-dev
  g++ clang-14 libclang-rt-14-dev
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
