#!/usr/bin/env bash
# Packs a release that plays on a stock Linux desktop: one folder laid out as
# `make install` lays out its prefix (data/install.cmake): in bin/ a launcher
# for each of the three executables, which start them from any current
# directory; the executables in libexec/orvanta/; everything the run folder
# holds in share/orvanta/; their manual pages in share/man/man1/. Beside
# them a README for viewers, and in lib/ the shared libraries a stock
# desktop lacks, found through an $ORIGIN run path.
# The system's graphics, desktop and sound stack is never shipped: it must be
# the machine's own.
#
#   scripts/release.sh [BUILD_DIR [OUT_DIR [DEMO]]]    (default: build build)
#
# With DEMO, a demo folder, the release is that demo's: NAME-VERSION-... after
# its manifest's name and version (without a version: the folder's own git
# description where it is a repository of its own, else the date), with one
# executable, orvanta-play, and the folder laid
# out by orvanta-stage as its data. The launchers come from the build
# (build/launch), the pages from build/man.
#
# Writes orvanta-VERSION-linux-x86_64.tar.gz and, beside it, the executables'
# debug information as orvanta-VERSION-linux-x86_64-debug.tar.gz; where the
# build holds the web folder (make web), also orvanta-VERSION-web.zip, the
# folder any static web server can serve ($ORVANTA_WEB, where make web put
# it elsewhere). VERSION is $ORVANTA_VERSION where it is set, else Orvanta's
# own as git describe says it (a demo folder's as above); a '/' in it
# becomes '-'.
# The executables are stripped, every mode is set whatever the umask, and the
# shipped libraries are found before any of LD_LIBRARY_PATH's.
#
# Fails, writing nothing under the final name, when an executable or library
# needs a symbol version newer than glibc 2.35 or the libstdc++ of GCC 12.
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
out=$(mkdir -p "${2:-$build}" && cd "${2:-$build}" && pwd)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
executables=(orvanta orvanta-screen orvanta-screen-reduced)
demo=${3:-}
web_folder=${ORVANTA_WEB:-$build/web}
product=orvanta
if [ -n "$demo" ]; then
  demo=$(cd "$demo" && pwd)
  executables=(orvanta-play)
  # The name and version as the manifest reader reads them.
  named=$("$build/bin/orvanta-stage" --name "$demo") || exit 1
  product=$(printf '%s\n' "$named" | sed -n 1p)
  version=$(printf '%s\n' "$named" | sed -n 2p)
  # Without one: the folder's own git description, never the engine's, else
  # the day it was packed.
  if [ -z "$version" ]; then
    top=$(git -C "$demo" rev-parse --show-toplevel 2>/dev/null || true)
    if [ -n "$top" ] && [ "$(cd "$top" && pwd -P)" != "$(cd "$source_dir" && pwd -P)" ]; then
      version=$(git -C "$demo" describe --tags --always --dirty 2>/dev/null || true)
    fi
  fi
  [ -n "$version" ] || version=$(date -u +%Y%m%d)
  version=${ORVANTA_VERSION:-$version}
fi

version=${version:-${ORVANTA_VERSION:-$(git -C "$source_dir" describe --tags --always --dirty 2>/dev/null || echo 0.1.0)}}
# A tag such as release/1.0 names a file, not a folder.
version=${version//\//-}
# One line of printable characters: it names files and heads the README.
if [ -z "$version" ] || [[ $version == .* ]] || [[ $version =~ [^[:print:]] ]]; then
  echo "release: '$version' is not a version to name files by" >&2
  exit 2
fi
name=$product-$version-linux-x86_64
work=$(mktemp -d "$out/.release-XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'rm -rf "$work"; trap - INT; kill -INT $$' INT
trap 'rm -rf "$work"; trap - TERM; kill -TERM $$' TERM
stage=$work/$name
programs=$stage/libexec/orvanta
data=$stage/share/orvanta
mkdir -p "$stage/bin" "$stage/lib" "$programs" "$work/debug"

# Libraries every desktop has, or must have from its own vendor: never
# shipped, and what they need is theirs.
stock='^(linux-vdso|ld-linux[^ ]*|libc|libm|libdl|libpthread|librt|libresolv|libstdc\+\+|libgcc_s|libGL|libGLX|libGLdispatch|libOpenGL|libEGL|libGLES[^ ]*|libgbm|libdrm|libX[^ ]*|libxcb[^ ]*|libxkbcommon[^ ]*|libwayland-[^ ]*|libdbus-1|libsystemd|libudev|libasound|libpulse[^ ]*|libexpat|libffi|libz)\.so'

needed() { readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'; }

for exe in "${executables[@]}"; do
  cp "$build/bin/$exe" "$programs/"
  cp "$build/launch/$exe" "$stage/bin/"
  if [ -f "$build/man/man1/$exe.1" ]; then
    mkdir -p "$stage/share/man/man1"
    cp "$build/man/man1/$exe.1" "$stage/share/man/man1/"
  fi
done
# The run folder's files, a link as the file it points to (an absolute link
# would point nowhere on the viewer's machine); anything that is not a
# folder or a regular file (a FIFO, a device, a socket, a dangling link) is
# refused rather than packed.
if [ -n "$demo" ]; then
  mkdir -p "$stage/share"
  "$build/bin/orvanta-stage" "$demo" "$data" > /dev/null
else
  odd=$(find -L "$build/run" -mindepth 1 ! -type f ! -type d 2>&1 || true)
  if [ -n "$odd" ]; then
    echo "release: the run folder holds what is neither a file nor a folder:" >&2
    echo "$odd" >&2
    exit 1
  fi
  mkdir -p "$data"
  cp -rL "$build/run/." "$data/"
fi

# The libraries to ship: what the executables need, and what those need in
# turn, short of the stock ones. ldd of the executables says where each is.
declare -A where=()
for exe in "${executables[@]}"; do
  while read -r lib _ path _; do
    [ -n "${path:-}" ] && [ -f "$path" ] && where[$lib]=$path
  done < <(ldd "$build/bin/$exe" | grep '=>')
done
queue=()
for exe in "${executables[@]}"; do mapfile -t -O "${#queue[@]}" queue < <(needed "$programs/$exe"); done
declare -A shipped=()
while [ ${#queue[@]} -gt 0 ]; do
  lib=${queue[0]}
  queue=("${queue[@]:1}")
  [[ $lib =~ $stock ]] && continue
  [ -n "${shipped[$lib]:-}" ] && continue
  path=${where[$lib]:-}
  if [ -z "$path" ]; then
    echo "release: cannot find $lib" >&2
    exit 1
  fi
  cp -L "$path" "$stage/lib/$lib"
  shipped[$lib]=1
  mapfile -t -O "${#queue[@]}" queue < <(needed "$stage/lib/$lib")
done
# DT_RPATH, not DT_RUNPATH: it is searched before LD_LIBRARY_PATH, so a
# user's path holding other versions of the shipped libraries cannot take
# their place, while libraries the release does not ship (the GL driver) are
# still found there.
for exe in "${executables[@]}"; do patchelf --force-rpath --set-rpath '$ORIGIN/../../lib' "$programs/$exe"; done
for lib in "$stage"/lib/*; do [ -e "$lib" ] && patchelf --force-rpath --set-rpath '$ORIGIN' "$lib"; done

# Debug information goes to its own archive, linked back by name and CRC.
for exe in "${executables[@]}"; do
  objcopy --only-keep-debug "$programs/$exe" "$work/debug/$exe.debug"
  strip --strip-unneeded "$programs/$exe"
  objcopy --add-gnu-debuglink="$work/debug/$exe.debug" "$programs/$exe"
done

# The newest symbol versions a stock machine of 2022 has.
too_new=$(for file in "$programs"/* "$stage"/lib/*; do
  [ -e "$file" ] || continue
  readelf -V --wide "$file" | grep -o 'Name: \(GLIBC_2\.[0-9]*\|GLIBCXX_3\.4\.[0-9]*\|CXXABI_1\.3\.[0-9]*\)' |
    sed 's/Name: //' | while read -r symbol_version; do
      case $symbol_version in
        GLIBC_2.*) [ "${symbol_version#GLIBC_2.}" -le 35 ] || echo "$(basename "$file"): $symbol_version" ;;
        GLIBCXX_3.4.*) [ "${symbol_version#GLIBCXX_3.4.}" -le 30 ] || echo "$(basename "$file"): $symbol_version" ;;
        CXXABI_1.3.*) [ "${symbol_version#CXXABI_1.3.}" -le 13 ] || echo "$(basename "$file"): $symbol_version" ;;
      esac
    done
done | sort -u)
if [ -n "$too_new" ]; then
  echo "release: these need a newer system than glibc 2.35 and GCC 12's libstdc++:" >&2
  echo "$too_new" >&2
  exit 1
fi

if [ -n "$demo" ]; then
  cat > "$stage/README.txt" <<EOF
$product $version
$(printf '%s' "$product $version" | sed 's/./=/g')

A real-time demo made with Orvanta. Start it from this folder (or from
anywhere, by its path):

  bin/orvanta-play   a 1280x720 window switched to full screen

Keys: Escape quits, space pauses and resumes, A and D seek back and forth.
The demo ends by itself at the end of the music.
EOF
else
  cat > "$stage/README.txt" <<EOF
Orvanta $version
================

A real-time audiovisual demo: about 141 seconds of music and six ray-marched
scenes drawn in time with it.

Start one of these from this folder (or from anywhere, by its path):

  bin/orvanta-screen           full screen, at full quality
  bin/orvanta-screen-reduced   full screen, the scenes at 68% resolution (slower GPUs)
  bin/orvanta                  a 1280x720 window switched to full screen, 68% resolution

(man -l share/man/man1/orvanta.1 tells more.)

Keys: Escape quits, space pauses and resumes, A and D seek back and forth.
The demo ends by itself at the end of the music.
EOF
fi
cat >> "$stage/README.txt" <<EOF


Needs: Linux on x86-64 with glibc 2.35 or newer, and an OpenGL 4.3 driver
(any current NVIDIA, AMD or Intel driver, or Mesa). Without a sound card it
plays silently on a clock of its own. The libraries in lib/ are the ones a
stock desktop lacks; everything else is the system's own.
EOF

# Modes as a release has them, whatever the umask of whoever packs it.
find "$stage" "$work/debug" -type d -exec chmod 0755 {} +
find "$stage" "$work/debug" -type f -exec chmod 0644 {} +
chmod 0755 "$stage"/bin/* "$programs"/*

pack() { tar -C "$1" --owner=0 --group=0 --numeric-owner --sort=name -czf "$2" "$3"; }
pack "$work" "$work/$name.tar.gz" "$name"
pack "$work" "$work/$name-debug.tar.gz" debug
# A folder's release takes the page only where it is that folder's.
if [ -f "$web_folder/index.html" ] && { [ -z "$demo" ] || cmp -s "$web_folder/demo/demo.toml" "$demo/demo.toml"; }; then
  web=$product-$version-web
  # Stored in name order with fixed times and modes: the same folder packs
  # to the same bytes.
  python3 - "$web_folder" "$work/$web.zip" "$web" <<'EOF'
import os, sys, zipfile
folder, archive, top = sys.argv[1:]
# The page's files, and a demo folder's manifest and sources in demo/.
# The build's marker (.orvanta-web) is not the page's.
names = sorted(name for name in os.listdir(folder) if name != '.orvanta-web')
if os.path.isdir(os.path.join(folder, 'demo')) and not os.path.islink(os.path.join(folder, 'demo')):
    names += ['demo/' + name for name in sorted(os.listdir(os.path.join(folder, 'demo')))]
with zipfile.ZipFile(archive, 'w') as z:
    for name in sorted(names):
        path = os.path.join(folder, name)
        if os.path.islink(path) or not os.path.isfile(path):
            continue
        entry = zipfile.ZipInfo(top + '/' + name, (1980, 1, 1, 0, 0, 0))
        entry.external_attr = 0o100644 << 16
        entry.compress_type = zipfile.ZIP_DEFLATED
        with open(path, 'rb') as f:
            z.writestr(entry, f.read())
EOF
  mv "$work/$web.zip" "$out/$web.zip"
fi
mv "$work/$name-debug.tar.gz" "$out/$name-debug.tar.gz"
mv "$work/$name.tar.gz" "$out/$name.tar.gz"
echo "$out/$name.tar.gz"
