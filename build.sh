#!/usr/bin/env bash
# Sets up a Debian 12 machine for Quillon, builds it, and then starts it or runs the tests.
#   bash build.sh run       install packages, build, start Quillon (needs a display)
#   bash build.sh test      install packages, build, run every test
#   bash build.sh format    install packages, fail on any C++ file that clang-format would change
#   bash build.sh package   install packages, build, make the Debian package build/package/quillon_*.deb
#                           and check it with lintian
#   bash build.sh fuzz [SECONDS]
#                           install clang and the libFuzzer runtime, build the fuzz targets in
#                           build-fuzz/ and run each for SECONDS seconds (60 unless given)
# Run as root or as a user who may use sudo (for apt-get only).
set -euo pipefail
cd "$(dirname "$0")"

packages=(build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev libpugixml-dev
          libgtest-dev libbenchmark-dev libjpeg62-turbo-dev fonts-liberation fonts-wine clang-format git
          poppler-utils fonts-wqy-zenhei)
# The tests start the programs in a virtual X server and check the desktop files with the desktop's
# own validators.
test_packages=(xvfb xauth xdotool desktop-file-utils appstream libxml2-utils shared-mime-info xdg-utils
               libfile-mimeinfo-perl man-db groff-base)
# Making and checking the package.
package_packages=(dpkg-dev lintian)
fuzz_packages=(clang libclang-rt-14-dev llvm-14)

install_packages() {
    local missing=()
    for p in "$@"; do
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
    # A window needs a display: say so before a long build rather than after it.
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
        echo "build.sh run: there is no display to show Quillon's window on." >&2
        echo "Run it from a terminal of a desktop session, or in a virtual X server:" >&2
        echo "    xvfb-run -a bash build.sh run     (Debian's xvfb package)" >&2
        exit 1
    fi
    install_packages "${packages[@]}"
    build
    exec ./build/src/quillon
    ;;
test)
    install_packages "${packages[@]}" "${test_packages[@]}"
    build
    QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure
    ;;
format)
    install_packages "${packages[@]}"
    # Every C++ file of the tree, as .clang-format at the root says.
    git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
    ;;
package)
    install_packages "${packages[@]}" "${package_packages[@]}"
    build
    rm -rf build/package
    (cd build && cpack --config CPackConfig.cmake)
    deb=$(ls build/package/quillon_*.deb)
    dpkg-deb --info "$deb"
    # Errors fail the package; warnings and notes (I:) are printed, as the README lists them.
    lintian --fail-on error --display-info "$deb"
    echo "Package: $deb"
    ;;
fuzz)
    install_packages "${packages[@]}" "${fuzz_packages[@]}"
    cmake -S . -B build-fuzz -G Ninja -DQUILLON_FUZZ=ON -DQUILLON_TESTS=OFF -DQUILLON_BENCH=OFF \
        -DCMAKE_CXX_COMPILER=clang++
    cmake --build build-fuzz --parallel --target reader_fuzz filter_fuzz
    sh fuzz/run-fuzzers.sh build-fuzz "${2:-60}"
    ;;
*)
    echo "usage: bash build.sh run|test|format|package|fuzz [SECONDS]" >&2
    exit 2
    ;;
esac
