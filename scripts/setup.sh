#!/usr/bin/env bash
# Installs what a make target needs from Debian's packages, and only what is
# missing: `setup.sh package` what builds the program and its data, `setup.sh
# run` that and what drives and captures its window, `setup.sh test` (the
# default) that and what the tests, the fuzz targets and the benchmarks build
# with, and what configures the MSVC build files with clang-cl.
set -euo pipefail

build=(cmake make python3 g++-mingw-w64-x86-64 wine wine64 librust-lua52-sys-dev)
display=(xvfb xdotool x11-apps x11-utils imagemagick)
testing=(googletest unzip g++ clang-14 libclang-rt-14-dev clang-tools-14 lld-14 llvm-14 ninja-build)
case "${1:-test}" in
  package) packages=("${build[@]}") ;;
  run) packages=("${build[@]}" "${display[@]}") ;;
  test) packages=("${build[@]}" "${display[@]}" "${testing[@]}") ;;
  *) echo "usage: $0 [package|run|test]" >&2; exit 2 ;;
esac

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
