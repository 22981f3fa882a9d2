#!/bin/sh
# Lays out build/studio, Orvanta Studio's page: any static server serves it
# (no special headers), and it fetches nothing from elsewhere as it runs.
#   index.html, studio.css     the page
#   studio.js                  its script with CodeMirror 6 and fflate,
#                              bundled by esbuild from web/studio (npm)
#   orvanta-studio.js, .wasm   the editor's core and the frame code, built
#                              with Emscripten, Dear ImGui from Debian's
#                              source package (scripts/debian-source.sh)
#   files/                     the interface's font; Orvanta's final pass
#                              and vertex shader, as written and as GLSL ES
#   template/                  the folder a new demo starts from, as
#                              orvanta-new makes it, with the tune its score
#                              renders to (orvanta-stage)
#   orvanta/                   Orvanta's own demo as a folder, to remix
#   music_worker.js,           tunegen's synthesizer and the Vorbis encoder
#   orvanta-music.js, .wasm    the desktop links, from Debian's source
#                              packages, for the page's Worker
#   player/                    the web page's player (make web), for Publish
#
# OUT_DIR is replaced whole, and only where it is absent, empty, or a page
# laid out before (scripts/web-folder.py's rules): anything else stops the
# run with a usage error, changing nothing.
#
#   scripts/build-studio.sh DESKTOP_BUILD OUT_DIR
set -eu
if [ "${1:-}" = "--help" ]; then
  echo "usage: scripts/build-studio.sh DESKTOP_BUILD OUT_DIR"
  exit 0
fi
if [ $# -ne 2 ]; then
  echo "usage: scripts/build-studio.sh DESKTOP_BUILD OUT_DIR" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
desktop=$1
out=$2
tree=$root/build-web
"$root/scripts/web-folder.py" check "$out"
NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
export NODE_PATH
deps=$tree/studio-deps
imgui=$("$root/scripts/debian-source.sh" "$deps" libimgui-dev imgui.h)
ogg=$("$root/scripts/debian-source.sh" "$deps" libogg-dev include/ogg/ogg.h)
vorbis=$("$root/scripts/debian-source.sh" "$deps" libvorbis-dev lib/vorbisenc.c)
configured() {
  grep -q "^$1:PATH=$2\$" "$tree/CMakeCache.txt" 2>/dev/null
}
if [ ! -f "$tree/build.ninja" ] || ! configured IMGUI_SOURCE "$imgui" || ! configured OGG_SOURCE "$ogg" ||
   ! configured VORBIS_SOURCE "$vorbis"; then
  mkdir -p "$tree"
  emcmake cmake -S "$root/web" -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release -DIMGUI_SOURCE:PATH="$imgui" \
    -DOGG_SOURCE:PATH="$ogg" -DVORBIS_SOURCE:PATH="$vorbis" \
    > "$tree/configure.log" 2>&1 || { cat "$tree/configure.log" >&2; exit 1; }
fi
cmake --build "$tree" --target orvanta-studio orvanta-music orvanta editor_core_tests

page=$root/web/studio
if [ ! -f "$page/node_modules/.package-lock.json" ] || [ "$page/package-lock.json" -nt "$page/node_modules/.package-lock.json" ]; then
  (cd "$page" && npm ci --no-audit --no-fund --ignore-scripts > /dev/null)
fi

staging=$(mktemp -d "${out%/}.new-XXXXXX")
trap 'rm -rf "$staging"' EXIT
trap 'rm -rf "$staging"; trap - INT; kill -INT $$' INT
trap 'rm -rf "$staging"; trap - TERM; kill -TERM $$' TERM
"$page/node_modules/.bin/esbuild" "$page/src/main.js" --bundle --minify --format=iife --target=es2020 \
  --log-level=warning --outfile="$staging/studio.js"
cp "$page/index.html" "$page/studio.css" "$page/music_worker.js" "$tree/orvanta-studio.js" "$tree/orvanta-studio.wasm" \
  "$tree/orvanta-music.js" "$tree/orvanta-music.wasm" "$staging/"
# The player page and its program, for Publish.
mkdir "$staging/player"
cp "$root/web/index.html" "$root/web/page.js" "$tree/orvanta.js" "$tree/orvanta.wasm" "$staging/player/"

mkdir -p "$staging/files/source" "$staging/files/es"
cp /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$staging/files/font.ttf"
cp "$root/data/AA.fsh" "$root/data/test.vsh" "$staging/files/source/"
"$root/scripts/web-shaders.sh" "$staging/files/source" "$staging/files/es" > /dev/null

# The template as orvanta-new makes a folder of it, with the tune its score
# renders to and the logo its text draws.
"$desktop/bin/orvanta-new" "$staging/mydemo" > /dev/null
"$desktop/bin/orvanta-stage" "$staging/mydemo" "$staging/template-run" > /dev/null
mv "$staging/mydemo" "$staging/template"
cp "$staging/template-run/tune.ogg" "$staging/template/tune.ogg"
cp "$staging/template-run/logo.png" "$staging/files/logo.png"
mkdir "$staging/files/logos"
cp "$staging/template-run/logo.png" "$staging/files/logos/MYDEMO.png"
cp "$desktop/run/logo.png" "$staging/files/logos/ORVANTA.png"
rm -rf "$staging/template-run"
list() {
  (cd "$1" && find . -type f | sed 's|^\./||' | sort) |
    python3 -c 'import json, sys; print(json.dumps([l.rstrip("\n") for l in sys.stdin if l.strip()]))'
}
list "$staging/template" > "$staging/template.json"

# Orvanta's own demo as a folder (Open Orvanta): its manifest, shaders, score
# and tracks as the repository holds them, and the tune the build rendered
# from that score.
mkdir -p "$staging/orvanta/music" "$staging/orvanta/tracks"
cp "$root/data/demo.toml" "$root/data"/*.fsh "$root/data"/*.vsh "$desktop/run/tune.ogg" "$staging/orvanta/"
cp "$root/data/music/orvanta.score" "$staging/orvanta/music/"
cp "$root/data/tracks/demo.tracks" "$staging/orvanta/tracks/"
list "$staging/orvanta" > "$staging/orvanta.json"

"$root/scripts/web-folder.py" finish "$staging"
chmod -R a+rX "$staging"
"$root/scripts/web-folder.py" check "$out"
rm -rf "$out"
mv "$staging" "$out"
trap - EXIT INT TERM
echo "$out: $(du -sh "$out" | cut -f1) (orvanta-studio.wasm $(du -h "$out/orvanta-studio.wasm" | cut -f1), studio.js $(du -h "$out/studio.js" | cut -f1))"
