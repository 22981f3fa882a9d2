#!/bin/sh
# Every shader of data/ translates to GLSL ES 3.00, each into a file of its
# own name that WebGL2 takes; a shader that does not translate fails the
# run, naming it, and leaves nothing of itself behind.
#
#   tests/web_shaders_test.sh SCRIPT DATA_DIR
set -u
script=$1
data=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
fail() {
  echo "FAILED: $*"
  exit 1
}

"$script" "$data" "$work/out" > "$work/log" 2>&1 || fail "the demo's shaders: $(cat "$work/log")"
expected=$(ls "$data"/*.fsh "$data"/*.vsh | wc -l)
[ "$expected" -gt 0 ] || fail "no shaders in $data"
for shader in "$data"/*.fsh "$data"/*.vsh; do
  name=$(basename "$shader")
  [ "$(head -n 1 "$work/out/$name" 2>/dev/null)" = "#version 300 es" ] || fail "$name is not GLSL ES 3.00"
  ! grep -q "precision mediump float" "$work/out/$name" || fail "$name defaults to mediump floats"
  # The program looks its uniforms up by name: they keep them.
  for uniform in $(sed -n 's/^uniform [a-zA-Z0-9]* \([a-zA-Z_0-9]*\);.*/\1/p' "$shader"); do
    grep -q "uniform .* $uniform;" "$work/out/$name" || fail "$name lost the uniform $uniform"
  done
done

mkdir "$work/broken"
printf '#version 430 core\nout vec4 c;\nvoid main() { c = vec4(undeclared); }\n' > "$work/broken/bad.fsh"
if "$script" "$work/broken" "$work/broken-out" > "$work/log" 2>&1; then
  fail "a broken shader translated"
fi
grep -q "bad.fsh" "$work/log" || fail "the failure does not name the shader: $(cat "$work/log")"
[ ! -e "$work/broken-out/bad.fsh" ] || fail "a broken shader left output"
echo "$expected shaders translate; a broken one fails, named"
