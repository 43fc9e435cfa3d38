#!/usr/bin/env bash
# install-deps.sh -- installs the Debian packages that a purpose needs, and nothing more.
#
#   scripts/install-deps.sh [GROUP...]      (no group: build)
#
#   build    build, run and test the programs (scripts/run.sh, scripts/test.sh, scripts/sanitize.sh:
#            GCC brings the sanitizers' runtime)
#   fuzz     build and run the libFuzzer targets with clang (scripts/fuzz.sh)
#   package  build the Debian package and check its files (scripts/package-check.sh)
#
# Runs apt-get as root, or through sudo for a user. Where there is no apt-get, it says what to
# install instead.
set -euo pipefail

groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(build)

packages=()
needs=()
for group in "${groups[@]}"; do
  case $group in
    build)
      # python3 draws the icons; xvfb and xauth give the desktop program a virtual display;
      # the tests under the offscreen platform need a font.
      packages+=(cmake g++ make zlib1g-dev qt6-base-dev python3 libgtest-dev libbenchmark-dev
                 xvfb xauth fonts-dejavu-core)
      # study's baselines are computed with libzstd and liblzma; the tests hold them against
      # the zstd and xz commands.
      packages+=(pkg-config libzstd-dev liblzma-dev zstd xz-utils)
      # The chart and study windows draw with Qt Charts (whose CMake files need Qt OpenGL's)
      # and save pictures as SVG.
      packages+=(qt6-charts-dev libqt6opengl6-dev qt6-svg-dev)
      # The window tests also run beside a monospaced family whose fixed-pitch flag is not set.
      packages+=(fonts-noto-mono)
      # The completion test asks zsh and fish what they offer.
      packages+=(zsh fish)
      # The Python module: pybind11 and Debian's Python; its tests run a dask cluster and draw.
      packages+=(pybind11-dev python3-dev python3-pytest python3-distributed python3-matplotlib)
      needs+=("a C++20 compiler (GCC 12 or newer), CMake 3.25 or newer, make, pkg-config,"
              "Python 3, the development files of zlib, libzstd, liblzma, Qt 6.4 or newer"
              "(Widgets, Charts, Svg, Test), GoogleTest and Google Benchmark; the zstd and xz"
              "commands; a font, Xvfb to show the window without a display, zsh and fish;"
              "pybind11, Python's development files, pytest, dask.distributed and matplotlib"
              "for the Python module")
      ;;
    fuzz)
      packages+=(cmake make zlib1g-dev pkg-config libzstd-dev liblzma-dev clang libclang-rt-14-dev)
      needs+=("clang with its libFuzzer and sanitizer runtime, CMake, make, pkg-config, the"
              "development files of zlib, libzstd and liblzma")
      ;;
    package)
      # cpack's DEB generator calls dpkg-shlibdeps (dpkg-dev) and file; the check runs lintian,
      # validates the installed desktop entry and metainfo, renders the manual pages, builds a C
      # program against the library with pkg-config; xdg-mime (with shared-mime-info's database
      # and the mimetype program) names the type of a rod file; zsh and fish load their
      # completions.
      packages+=(dpkg-dev file lintian desktop-file-utils appstream man-db pkg-config
                 shared-mime-info xdg-utils libfile-mimeinfo-perl zsh fish)
      needs+=("dpkg-dev and file (to make the packages), lintian, desktop-file-utils, appstream,"
              "man-db, pkg-config, shared-mime-info, xdg-utils with the mimetype program, zsh"
              "and fish (to check them)")
      ;;
    *)
      echo "install-deps.sh: unknown group '$group' (build, fuzz, package)" >&2
      exit 2
      ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if ! command -v apt-get >/dev/null 2>&1; then
  echo "install-deps.sh: this system has no apt-get. Install with its package manager:" >&2
  printf '  %s\n' "${needs[@]}" >&2
  echo "(on Debian these are: ${missing[*]})" >&2
  exit 1
fi
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "install-deps.sh: run as root, or install sudo; missing: ${missing[*]}" >&2
    exit 1
  fi
  as_root=(sudo)
fi
echo "install-deps.sh: installing ${missing[*]}"
"${as_root[@]}" apt-get update
# env carries the setting through sudo, which would drop it from the environment.
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y --no-install-recommends "${missing[@]}"
