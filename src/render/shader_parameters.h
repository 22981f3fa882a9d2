// render/shader_parameters: the parameters a fragment shader declares, read
// from its text: each `uniform` with its type, and the range a comment on
// the same line may give it.
//
//     uniform float glow;        // slider[0, 0.5, 2]     min, default, max
//     uniform vec3 tint;         // colour[1, 0.6, 0.2]   a colour (0 to 1), its default
//     uniform vec2 drift;        //! slider[-1, 0, 1]     Synthclipse's "//!" too
//
// A vector's range holds for each component. `color` is `colour`. Anything
// else after `//` is a plain comment.
//
//     std::vector<std::string> notes;
//     for (const ShaderUniform& u : shaderUniforms(source, notes)) ...
//
// Never fails: text that is not a declaration is passed over, and a
// declaration it cannot make sense of is left out with a note.
#pragma once

#include <string>
#include <vector>

enum class UniformKind {
    Float,
    Vector, // vec2, vec3 or vec4: `components` of them
    Other,  // a sampler, matrix, integer, boolean or array: never a track
};

// Each component from `low` to `high`, starting at its `initial`.
struct UniformRange {
    bool given = false;
    float low = 0, high = 0;
    float initial[4] = {0, 0, 0, 0};
    bool colour = false; // a component of a colour[...] (the editor shows a colour picker)
};

struct ShaderUniform {
    std::string name;
    std::string type;  // as written: "vec3", "sampler2D", "float[4]"
    UniformKind kind = UniformKind::Other;
    int components = 1;
    int line = 0;      // 1-based
    bool colour = false;
    UniformRange range;
};

// The uniforms of a shader's text, in the order declared. A malformed
// annotation ("slider[1, 0]", a low above the high) is a note, and the
// uniform keeps no range.
std::vector<ShaderUniform> shaderUniforms(const std::string& source, std::vector<std::string>& notes);
