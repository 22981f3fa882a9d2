#!/bin/sh
# Translates the demo's shaders (GLSL 4.30 core, as the desktop compiles
# them) into GLSL ES 3.00 for WebGL2: glslang makes OpenGL SPIR-V of each,
# with locations and bindings assigned to the loose uniforms, and
# SPIRV-Cross writes it back as ES 3.00. Names stay, so the program's
# lookups by name work unchanged. A shader that does not translate fails the
# run, naming it.
#
#   scripts/web-shaders.sh SOURCE_DIR OUT_DIR
set -eu
if [ $# -ne 2 ]; then
  echo "usage: scripts/web-shaders.sh SOURCE_DIR OUT_DIR" >&2
  exit 2
fi
source=$1
out=$2
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
trap 'rm -rf "$work"; trap - INT; kill -INT $$' INT
trap 'rm -rf "$work"; trap - TERM; kill -TERM $$' TERM
count=0
for shader in "$source"/*.fsh "$source"/*.vsh; do
  [ -f "$shader" ] || continue
  name=$(basename "$shader")
  case $name in
    *.vsh) stage=vert ;;
    *) stage=frag ;;
  esac
  if ! glslangValidator -G -S "$stage" --auto-map-locations --auto-map-bindings \
       -o "$work/$name.spv" "$shader" > "$work/log" 2>&1; then
    echo "$name: does not translate to SPIR-V:" >&2
    grep -v "^$shader\$" "$work/log" >&2 || true
    exit 1
  fi
  if ! spirv-cross "$work/$name.spv" --es --version 300 --output "$work/$name" 2> "$work/log"; then
    echo "$name: does not translate to GLSL ES 3.00:" >&2
    cat "$work/log" >&2
    exit 1
  fi
  # SPIRV-Cross leaves the default float precision at mediump, which a
  # phone's GPU takes as 16 bits: the ray marchers need all 32.
  sed 's/^precision mediump float;$/precision highp float;/' "$work/$name" > "$out/$name"
  count=$((count + 1))
done
echo "$count shaders translated into $out"
