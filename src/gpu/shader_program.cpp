#include "gpu/shader_program.h"

#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

std::unique_ptr<char[]> readShaderFile(const char* fileName)
{
    std::ifstream file(fileName);
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
