#include "render/programs.h"

#include <iostream>

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
