#!/usr/bin/env bash
# Sets up a Debian 12 machine for Quillon, builds it, and then starts it or runs the tests.
#   bash build.sh run     install packages, build, start Quillon
#   bash build.sh test    install packages, build, run every test
#   bash build.sh format  install packages, fail on any C++ file that clang-format would change
# Run as root or as a user who may use sudo (for apt-get only).
set -euo pipefail
cd "$(dirname "$0")"

packages=(build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev libpugixml-dev
          libgtest-dev libbenchmark-dev libjpeg62-turbo-dev fonts-liberation fonts-wine clang-format git
          poppler-utils fonts-wqy-zenhei)

install_packages() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}

build() {
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    cmake --build build --parallel
}

case "${1:-}" in
run)
    install_packages
    build
    exec ./build/src/quillon
    ;;
test)
    install_packages
    build
    QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure
    ;;
format)
    install_packages
    # Every C++ file of the tree, as .clang-format at the root says.
    git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
    ;;
*)
    echo "usage: bash build.sh run|test|format" >&2
    exit 2
    ;;
esac
