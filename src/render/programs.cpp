#include "render/programs.h"

#include <fstream>
#include <iostream>
#include <iterator>

#define DEMO_VERTEX_SHADER(file) const char* const programVertexFile = file;
#define DEMO_PROGRAM(file)
#include "render/program_table.def"
#undef DEMO_PROGRAM
#undef DEMO_VERTEX_SHADER

const char* const programFragmentFiles[shaderProgramCount] = {
#define DEMO_VERTEX_SHADER(file)
#define DEMO_PROGRAM(file) file,
#include "render/program_table.def"
#undef DEMO_PROGRAM
#undef DEMO_VERTEX_SHADER
};

ShaderProgram* shaderPrograms[shaderProgramCount] = {};

void buildShaderPrograms()
{
    for (int i = 0; i < shaderProgramCount; ++i) {
        shaderPrograms[i] = new ShaderProgram(programVertexFile, programFragmentFiles[i]);
    }
}

Mesh* meshes[meshCount] = {};
Texture* logoTexture = nullptr;

void buildDemoResources()
{
    std::cout << "----------------\n";
    logoTexture = new Texture("logo.png");
    buildShaderPrograms();
    for (int i = 0; i < meshCount; ++i) {
        meshes[i] = new Mesh();
        meshes[i]->bindAttributes(shaderPrograms[i]);
    }
}

namespace {

std::string quietRead(const char* file)
{
    std::ifstream in;
    if (isRegularFile(file)) in.open(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

std::vector<ProgramProblem> brokenPrograms()
{
    std::vector<ProgramProblem> problems;
    for (int i = 0; i < shaderProgramCount; ++i) {
        // A program whose fragment shader failed still links, without it.
        GLint linked = 0;
        glGetProgramiv(shaderPrograms[i]->program, GL_LINK_STATUS, &linked);
        if (linked && shaderPrograms[i]->vertexShader && shaderPrograms[i]->fragmentShader) continue;
        const char* fragmentFile = programFragmentFiles[i];
        const std::string vertex = quietRead(programVertexFile), fragment = quietRead(fragmentFile);
        ProgramNames names;
        std::string log;
        GLenum stage = 0;
        if (buildProgramQuietly(vertex.c_str(), fragment.c_str(), names, log, stage)) {
            // It builds now: the file changed since start-up.
            glDeleteProgram(names.program);
            glDeleteShader(names.vertexShader);
            glDeleteShader(names.fragmentShader);
            continue;
        }
        const std::string file = stage == GL_VERTEX_SHADER ? programVertexFile : fragmentFile;
        bool named = false;
        for (const ProgramProblem& problem : problems) named = named || problem.file == file;
        if (!named) problems.push_back({file, log});
    }
    return problems;
}
