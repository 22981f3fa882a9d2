#!/bin/sh
# Lays out build/studio, Orvanta Studio's page: any static server serves it
# (no special headers), and it fetches nothing from elsewhere as it runs.
#   index.html, studio.css     the page
#   studio.js                  its script with CodeMirror 6 and fflate,
#                              bundled by esbuild from web/studio (npm)
#   orvanta-studio.js, .wasm   the editor's core and the frame code, built
#                              with Emscripten, Dear ImGui from Debian's
#                              source package (scripts/imgui-source.sh)
#   files/                     the interface's font; Orvanta's final pass
#                              and vertex shader, as written and as GLSL ES
#   template/                  the folder a new demo starts from, as
#                              orvanta-new makes it, with the tune its score
#                              renders to (orvanta-stage)
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
imgui=$("$root/scripts/imgui-source.sh" "$tree/studio-deps")
if [ ! -f "$tree/build.ninja" ] || ! grep -q "^IMGUI_SOURCE:PATH=$imgui\$" "$tree/CMakeCache.txt" 2>/dev/null; then
  mkdir -p "$tree"
  emcmake cmake -S "$root/web" -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release -DIMGUI_SOURCE:PATH="$imgui" \
    > "$tree/configure.log" 2>&1 || { cat "$tree/configure.log" >&2; exit 1; }
fi
cmake --build "$tree" --target orvanta-studio editor_core_tests

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
cp "$page/index.html" "$page/studio.css" "$tree/orvanta-studio.js" "$tree/orvanta-studio.wasm" "$staging/"

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
rm -rf "$staging/template-run"
(cd "$staging/template" && ls) | python3 -c 'import json, sys; print(json.dumps([l.strip() for l in sys.stdin if l.strip()]))' \
  > "$staging/template.json"

"$root/scripts/web-folder.py" finish "$staging"
chmod -R a+rX "$staging"
"$root/scripts/web-folder.py" check "$out"
rm -rf "$out"
mv "$staging" "$out"
trap - EXIT INT TERM
echo "$out: $(du -sh "$out" | cut -f1) (orvanta-studio.wasm $(du -h "$out/orvanta-studio.wasm" | cut -f1), studio.js $(du -h "$out/studio.js" | cut -f1))"
