// gpu/shader_program: reading shader sources and building GPU programs.
//
// The gpu folder owns every GPU resource the demo creates: shader programs
// (here), textures, the screen mesh and its camera.
//
// Usage, with a current GL context:
//
//     ShaderProgram* p = new ShaderProgram("test.vsh", "AA.fsh");
//     glUseProgram(p->program);
//
// Every call writes its own log to standard output: a banner naming the file,
// then the compile outcome (" COMPILATION SUCCESSFULL " or the driver's log).
// Nothing is deleted once built: programs live until the process ends.
#pragma once

#include <GL/glew.h>

#include <memory>
#include <string>

// Whether `path` names a regular file (following links). The demo reads only
// those: a FIFO or a device in place of a data file would hold start-up on
// its read, so it is taken as missing.
bool isRegularFile(const char* path);

// Reads a shader source file line by line into a NUL-terminated text in which
// every line is followed by exactly one line feed (so a last line without one
// gets one). Writes the file banner and three line feeds to standard output.
// Failure: a file that cannot be opened gives an empty text, never null, and is
// not reported beyond the banner. A NUL byte in the file ends the text there.
std::unique_ptr<char[]> readShaderFile(const char* fileName);

// Compile a NUL-terminated source as a vertex or fragment shader and return
// its name. Failure: returns 0 after writing the driver's info log to standard
// output as-is and deleting the shader; the fragment variant then waits for
// one character on standard input (end of input does not block).
GLuint compileVertexShader(const char* source);
GLuint compileFragmentShader(const char* source);

// A linked program and the two shaders it was built from. Construction reads
// and compiles the vertex file first, then the fragment file, attaches the
// fragment shader before the vertex shader and links. A shader that failed
// leaves its field 0; the program is built and linked all the same, and its
// link status is not looked at.
struct ShaderProgram {
    GLuint fragmentShader = 0;
    GLuint vertexShader = 0;
    GLuint program = 0;

    ShaderProgram(const char* vertexFile, const char* fragmentFile);
    ShaderProgram(const ShaderProgram&) = delete;
    ShaderProgram& operator=(const ShaderProgram&) = delete;
};

// The names of a program built by buildProgramQuietly.
struct ProgramNames {
    GLuint fragmentShader = 0;
    GLuint vertexShader = 0;
    GLuint program = 0;
};

// Builds a program from two sources as ShaderProgram does, but quietly, for
// tools that rebuild shaders while the demo runs: nothing is printed, nothing
// waits on standard input, and the link status is checked. Failure: false
// with `log` holding the driver's log of the stage that failed and
// `failedStage` saying which (GL_VERTEX_SHADER, GL_FRAGMENT_SHADER, or 0 for
// the link); every name it made is deleted again and `names` is left alone.
bool buildProgramQuietly(const char* vertexSource, const char* fragmentSource, ProgramNames& names,
                         std::string& log, GLenum& failedStage);
