#include "gpu/shader_program.h"

#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

bool isRegularFile(const char* path)
{
    struct stat info;
    return stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

std::unique_ptr<char[]> readShaderFile(const char* fileName)
{
    // A FIFO or a device would hold start-up on its read: only a regular
    // file is read, anything else is as good as missing.
    std::ifstream file;
    if (isRegularFile(fileName)) file.open(fileName);
    std::cout << "---------------------\n"
              << "Opening shader file: " << fileName << "\n"
              << "---------------------\n"
              << "\n";

    std::string text;
    std::string line;
    while (std::getline(file, line)) {
        text += line;
        text += '\n';
    }
    std::cout << "\n\n\n";

    // The copy stops at the first NUL, as a C string would: a NUL byte inside
    // the file ends the source there.
    auto source = std::make_unique<char[]>(text.size() + 1);
    std::strcpy(source.get(), text.c_str());
    return source;
}

namespace {

GLuint compileShader(GLenum stage, const char* source)
{
    GLuint shader = glCreateShader(stage);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);

    GLint status = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status != 0) {
        std::cout << "\n COMPILATION SUCCESSFULL \n";
        return shader;
    }

    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    std::vector<char> log(length > 0 ? static_cast<size_t>(length) : 0u, '\0');
    glGetShaderInfoLog(shader, length, &length, log.data());
    for (GLint i = 0; i < length && i < static_cast<GLint>(log.size()); ++i) {
        std::cout.put(log[static_cast<size_t>(i)]);
    }
    glDeleteShader(shader);
    if (stage == GL_FRAGMENT_SHADER) {
        // Hold start-up so the log can be read on the console. std::cin is
        // tied to std::cout, so the log is flushed before the wait; at end of
        // input get() returns at once.
        std::cin.get();
    }
    return 0;
}

} // namespace

GLuint compileVertexShader(const char* source)
{
    return compileShader(GL_VERTEX_SHADER, source);
}

GLuint compileFragmentShader(const char* source)
{
    return compileShader(GL_FRAGMENT_SHADER, source);
}

ShaderProgram::ShaderProgram(const char* vertexFile, const char* fragmentFile)
{
    const GLuint vertex = compileVertexShader(readShaderFile(vertexFile).get());
    const GLuint fragment = compileFragmentShader(readShaderFile(fragmentFile).get());
    fragmentShader = fragment;
    vertexShader = vertex;
    program = glCreateProgram();
    glAttachShader(program, fragmentShader);
    glAttachShader(program, vertexShader);
    glLinkProgram(program);
}

namespace {

std::string shaderLog(GLuint shader)
{
    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    std::string log(length > 0 ? static_cast<size_t>(length) : 0u, '\0');
    glGetShaderInfoLog(shader, length, nullptr, log.data());
    return std::string(log.c_str());
}

GLuint compileQuietly(GLenum stage, const char* source, std::string& log)
{
    GLuint shader = glCreateShader(stage);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint status = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status != 0) return shader;
    log = shaderLog(shader);
    glDeleteShader(shader);
    return 0;
}

} // namespace

bool buildProgramQuietly(const char* vertexSource, const char* fragmentSource, ProgramNames& names, std::string& log,
                         GLenum& failedStage)
{
    failedStage = GL_VERTEX_SHADER;
    const GLuint vertex = compileQuietly(GL_VERTEX_SHADER, vertexSource, log);
    if (!vertex) return false;
    failedStage = GL_FRAGMENT_SHADER;
    const GLuint fragment = compileQuietly(GL_FRAGMENT_SHADER, fragmentSource, log);
    if (!fragment) {
        glDeleteShader(vertex);
        return false;
    }
    failedStage = 0;
    const GLuint program = glCreateProgram();
    glAttachShader(program, fragment);
    glAttachShader(program, vertex);
    glLinkProgram(program);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) {
        GLint length = 0;
        glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
        std::string text(length > 0 ? static_cast<size_t>(length) : 0u, '\0');
        glGetProgramInfoLog(program, length, nullptr, text.data());
        log = text.c_str();
        glDeleteProgram(program);
        glDeleteShader(fragment);
        glDeleteShader(vertex);
        return false;
    }
    names = {fragment, vertex, program};
    return true;
}
