#!/usr/bin/env bash
# Installs the Debian packages that building, playing and testing Orvanta
# need. Packages already installed are skipped, so a set-up machine pays only
# for the check. Runs apt-get through sudo when not root.
set -euo pipefail

packages=(
  # toolchain
  cmake ninja-build g++ make pkg-config clang libclang-rt-14-dev
  # the program
  freeglut3-dev libglew-dev libglm-dev libstb-dev libgl-dev libegl-dev libegl-mesa0 libgl1-mesa-dri
  libvorbis-dev libsdl2-dev fonts-dejavu-core libfreetype-dev
  # the live player's interface: Dear ImGui with its GLUT and OpenGL 3 back ends
  libimgui-dev
  # a demo folder's manifest (demo.toml)
  libtomlplusplus-dev
  # the manual pages, made from each program's --help
  help2man
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev libx11-dev
  xvfb xauth xdotool glslang-tools ffmpeg patchelf python3
  # reading the live player's panel back as text
  tesseract-ocr tesseract-ocr-eng
  # split captures: GNU parallel runs the parts in the tests and the recipes
  parallel
  # the web build: its compiler (whose JavaScript steps need Debian's acorn),
  # its shaders translated to GLSL ES 3.00, and the browser its tests drive
  spirv-cross emscripten node-acorn nodejs chromium
  # the studio page: Dear ImGui's, libogg's and libvorbis's source packages
  # fetched through apt and unpacked with Debian's patches (dpkg-source; the
  # tarballs are xz), GoogleTest's sources for the editor's tests in the page
  xz-utils dpkg-dev googletest
)
# npm installs the browser tests' driver; a Node.js from elsewhere brings its own.
command -v npm > /dev/null || packages+=(npm)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
