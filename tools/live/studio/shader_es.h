// live/studio/shader_es: a demo folder's shaders as WebGL2 compiles them,
// and the driver's log read back as lines of the maker's source.
//
// A folder's shader is written for desktop GL ("#version 430 core", or 330
// to 460) or already for GL ES ("#version 300 es", which desktop GL 4.3
// compiles too). The page compiles GLSL ES 3.00 alone, so a desktop version
// line is replaced by the ES one with default precisions after it, and a
// #line directive keeps every line's number the maker's: an error on line
// 12 is reported on line 12. What GLSL ES 3.00 does not have (implicit int
// to float conversions, double) is the driver's error, on its line.
//
//     std::string es;
//     if (!shaderForPage(source, es, why)) report(why);
//     for (const ShaderError& e : shaderErrors(log)) mark(e.line, e.message);
#pragma once

#include <string>
#include <vector>

// Failure: false with `why` where the first directive is a version this
// cannot take (below 300 es, or GLSL 1.x); the text is not changed.
bool shaderForPage(const std::string& source, std::string& es, std::string& why);

struct ShaderError {
    int line = 0; // 0: the log names none
    std::string message;
};

// The driver's log, a line an entry: Mesa's "0:12(5): error: ...",
// NVIDIA's "0(12) : error C0000: ...", ANGLE's "ERROR: 0:12: ...". Lines of
// no such form keep line 0; an empty log gives nothing.
std::vector<ShaderError> shaderErrors(const std::string& log);

// "NAME:LINE: message" (a manifest's or a folder's error) read back, where
// it names `file`; line 0 where it gives none.
ShaderError fileError(const std::string& file, const std::string& error);
