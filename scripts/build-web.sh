#!/bin/sh
# Lays out build/web: the page (web/), the program built with Emscripten
# (orvanta.js, orvanta.wasm), the shaders translated to GLSL ES 3.00, and the
# logo, the tune and the track files from the desktop build's run folder,
# with files.json naming what the page loads. With DEMO, a demo folder's
# instead, laid out by the build's orvanta-stage, its manifest and shaders'
# sources in demo/ for the program to read the demo from.
#
# OUT_DIR is replaced whole, and only when it is absent, empty, or a page's
# folder that holds nothing else (scripts/web-folder.py): anything else in
# it is a maker's, and the run stops with a usage error, changing nothing.
#
#   scripts/build-web.sh DESKTOP_BUILD OUT_DIR [DEMO]
set -eu
if [ $# -lt 2 ] || [ $# -gt 3 ]; then
  echo "usage: scripts/build-web.sh DESKTOP_BUILD OUT_DIR [DEMO]" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
run=$1/run
out=$2
tree=$root/build-web
"$root/scripts/web-folder.py" check "$out"
# Debian's Emscripten runs its JavaScript steps with Node, which finds
# Debian's own modules (acorn) only when told where they are.
NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
export NODE_PATH
if [ ! -f "$tree/build.ninja" ]; then
  mkdir -p "$tree"
  emcmake cmake -S "$root/web" -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release > "$tree/configure.log" 2>&1 ||
    { cat "$tree/configure.log" >&2; exit 1; }
fi
cmake --build "$tree" --target orvanta

staging=$(mktemp -d "${out%/}.new-XXXXXX")
trap 'rm -rf "$staging"' EXIT
trap 'rm -rf "$staging"; trap - INT; kill -INT $$' INT
trap 'rm -rf "$staging"; trap - TERM; kill -TERM $$' TERM
cp "$root/web/index.html" "$root/web/page.js" "$tree/orvanta.js" "$tree/orvanta.wasm" "$staging/"
if [ $# -eq 3 ]; then
  # A demo folder, laid out as its run folder by orvanta-stage: its shaders
  # translated, its data as they are, its manifest and sources in demo/.
  "$1/bin/orvanta-stage" "$3" "$staging/demo-run" > /dev/null
  "$root/scripts/web-shaders.sh" "$staging/demo-run" "$staging" > /dev/null
  cp "$staging/demo-run/logo.png" "$staging/demo-run/tune.ogg" "$staging/demo-run"/sync_*.track "$staging/"
  mv "$staging/demo-run/demo" "$staging/demo"
  rm -rf "$staging/demo-run"
else
  "$root/scripts/web-shaders.sh" "$root/data" "$staging" > /dev/null
  cp "$run/logo.png" "$run/tune.ogg" "$run"/sync_*.track "$staging/"
  # Orvanta's manifest and the shaders' sources: the page reads the demo
  # from them, as from a folder's.
  mkdir "$staging/demo"
  cp "$run/demo.toml" "$run"/*.fsh "$run"/*.vsh "$staging/demo/"
fi
"$root/scripts/web-folder.py" finish "$staging"
chmod -R a+rX "$staging"
# Checked again at the swap: the folder may have changed during the build.
"$root/scripts/web-folder.py" check "$out"
rm -rf "$out"
mv "$staging" "$out"
trap - EXIT INT TERM
echo "$out: $(du -sh "$out" | cut -f1) (orvanta.wasm $(du -h "$out/orvanta.wasm" | cut -f1), orvanta.js $(du -h "$out/orvanta.js" | cut -f1))"
