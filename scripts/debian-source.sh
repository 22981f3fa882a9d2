#!/bin/sh
# Fetches a library's sources for the studio page's build: Debian's source
# package of the version the desktop links (the version of the installed
# BINARY package, e.g. libimgui-dev or libvorbis-dev), through apt with a
# sources list of the project's own under BUILD_DIR/apt. The machine's own
# apt sources and state are never touched. apt checks the index's signature
# and each file's checksum; dpkg-source unpacks the package with Debian's
# patches applied, once, into BUILD_DIR/SOURCE-VERSION, whose path is
# printed. HEADER is a file the sources must hold, checked after unpacking.
#
#   scripts/debian-source.sh BUILD_DIR BINARY HEADER
set -eu
usage="usage: scripts/debian-source.sh BUILD_DIR BINARY HEADER"
if [ "${1:-}" = "--help" ]; then
  echo "$usage"
  exit 0
fi
if [ $# -ne 3 ]; then
  echo "$usage" >&2
  exit 2
fi
build=$(mkdir -p "$1" && cd "$1" && pwd)
binary=$2
header=$3
query=$(dpkg-query -W -f='${source:Package} ${source:Version}' "$binary" 2>/dev/null) || {
  echo "scripts/debian-source.sh: $binary is not installed (make deps installs it)" >&2
  exit 1
}
source=${query% *}
version=${query#* }
upstream=${version#*:}
out=$build/$source-$upstream
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
if [ ! -f "$apt/updated" ] || [ -n "$(find "$apt/updated" -mmin +1440)" ]; then
  apt-get "$@" update > "$apt/update.log" 2>&1 || { cat "$apt/update.log" >&2; exit 1; }
  touch "$apt/updated"
fi
(cd "$apt/download" && apt-get "$@" --download-only source "$source=$version") > "$apt/source-$source.log" 2>&1 ||
  { cat "$apt/source-$source.log" >&2; exit 1; }
dsc=$apt/download/${source}_${upstream}.dsc
[ -f "$dsc" ] || { echo "scripts/debian-source.sh: apt fetched no $dsc" >&2; exit 1; }
work=$(mktemp -d "$build/$source-unpack-XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'rm -rf "$work"; trap - INT; kill -INT $$' INT
trap 'rm -rf "$work"; trap - TERM; kill -TERM $$' TERM
dpkg-source --no-check -x "$dsc" "$work/tree" > "$work/unpack.log" 2>&1 || { cat "$work/unpack.log" >&2; exit 1; }
[ -f "$work/tree/$header" ] || { echo "scripts/debian-source.sh: $dsc holds no $header" >&2; exit 1; }
echo "$version" > "$work/tree/.version"
rm -rf "$out"
mv "$work/tree" "$out"
echo "$out"
