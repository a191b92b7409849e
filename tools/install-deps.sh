#!/usr/bin/env bash
# Installs, with apt-get, whatever a build of this project needs and the machine lacks.
#   tools/install-deps.sh test    everything `make test` needs (both builds, Wine, fuzz smoke runs)
#   tools/install-deps.sh bench   also the peer libraries that the benchmarks compare against
set -euo pipefail

what=${1:-test}
packages=(cmake make ninja-build g++ clang libclang-rt-14-dev
    g++-mingw-w64-x86-64-posix libz-mingw-w64 libz-mingw-w64-dev
    wine wine64 xvfb xauth imagemagick googletest libgtest-dev zlib1g-dev libpng-dev)
if [ "$what" = bench ]; then
    packages+=(libbenchmark-dev libdeflate-dev libpng-dev libspng-dev libgif-dev libpixman-1-dev
        libisal-dev libstb-dev pkg-config)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}" >&2
SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
