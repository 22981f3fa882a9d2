#!/bin/sh
# Fetches Dear ImGui's sources for the studio page's build: Debian's source
# package of the version the desktop links (libimgui-dev), through apt with
# a sources list of the project's own under BUILD_DIR/apt. The machine's own
# apt sources and state are never touched. apt checks the index's signature
# and each file's checksum; the upstream tarball is unpacked once, into
# BUILD_DIR/imgui-VERSION, whose path is printed.
#
#   scripts/imgui-source.sh BUILD_DIR
set -eu
if [ "${1:-}" = "--help" ]; then
  echo "usage: scripts/imgui-source.sh BUILD_DIR"
  exit 0
fi
if [ $# -ne 1 ]; then
  echo "usage: scripts/imgui-source.sh BUILD_DIR" >&2
  exit 2
fi
build=$(mkdir -p "$1" && cd "$1" && pwd)
version=$(dpkg-query -W -f='${source:Version}' libimgui-dev 2>/dev/null) || {
  echo "scripts/imgui-source.sh: libimgui-dev is not installed (make deps installs it)" >&2
  exit 1
}
upstream=${version%-*}
upstream=${upstream#*:}
plain=${upstream%%+*}
out=$build/imgui-$plain
if [ -f "$out/.version" ] && [ "$(cat "$out/.version")" = "$version" ]; then
  echo "$out"
  exit 0
fi
apt=$build/apt
suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/download"
echo "deb-src http://deb.debian.org/debian $suite main" > "$apt/sources.list"
set -- -o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts=/dev/null \
       -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache" -o Debug::NoLocking=1 \
       -o APT::Sandbox::User=root -q
apt-get "$@" update > "$apt/update.log" 2>&1 || { cat "$apt/update.log" >&2; exit 1; }
(cd "$apt/download" && apt-get "$@" --download-only source "imgui=$version") > "$apt/source.log" 2>&1 ||
  { cat "$apt/source.log" >&2; exit 1; }
tarball=$(ls "$apt/download"/imgui_"$upstream".orig.tar.* | head -n 1)
work=$(mktemp -d "$build/imgui-unpack-XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'rm -rf "$work"; trap - INT; kill -INT $$' INT
trap 'rm -rf "$work"; trap - TERM; kill -TERM $$' TERM
tar -xf "$tarball" -C "$work"
[ -f "$work/imgui-$plain/imgui.h" ] || { echo "scripts/imgui-source.sh: $tarball holds no imgui.h" >&2; exit 1; }
echo "$version" > "$work/imgui-$plain/.version"
rm -rf "$out"
mv "$work/imgui-$plain" "$out"
echo "$out"
