#include "render/programs.h"

#include <stb/stb_image.h>

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sys/stat.h>

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

bool rebuildProgram(int index, const char* vertexSource, const char* fragmentSource, std::string& log,
                    GLenum& failedStage)
{
    assert(index >= 0 && index < shaderProgramCount && shaderPrograms[index]);
    ProgramNames names;
    if (!buildProgramQuietly(vertexSource, fragmentSource, names, log, failedStage)) return false;
    ShaderProgram* entry = shaderPrograms[index];
    glDeleteProgram(entry->program);
    glDeleteShader(entry->vertexShader);
    glDeleteShader(entry->fragmentShader);
    entry->fragmentShader = names.fragmentShader;
    entry->vertexShader = names.vertexShader;
    entry->program = names.program;
    // Mesh 0 is bound once; the others follow their program every frame.
    if (index == 0) meshes[0]->bindAttributes(shaderPrograms[0]);
    return true;
}

namespace {

// A PNG's size from its header, for sizes stb_image refuses without saying
// why once its other readers have had their try.
bool pngSize(const char* path, int& width, int& height)
{
    unsigned char head[24] = {};
    std::ifstream in(path, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(head), sizeof head)) return false;
    static const unsigned char signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (std::memcmp(head, signature, sizeof signature) != 0 || std::memcmp(head + 12, "IHDR", 4) != 0) return false;
    auto big = [&](int at) {
        return static_cast<uint32_t>(head[at]) << 24 | static_cast<uint32_t>(head[at + 1]) << 16 |
               static_cast<uint32_t>(head[at + 2]) << 8 | head[at + 3];
    };
    width = static_cast<int>(std::min<uint32_t>(big(16), 1u << 30));
    height = static_cast<int>(std::min<uint32_t>(big(20), 1u << 30));
    return true;
}

} // namespace

bool replaceLogo(const char* path, std::string& error)
{
    struct stat info = {};
    if (stat(path, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = std::string(path) + ": not a file";
        return false;
    }
    if (info.st_size > logoFileLimit) {
        error = std::string(path) + ": larger than 64 MiB";
        return false;
    }
    int width = 0, height = 0, channels = 0;
    if (!pngSize(path, width, height) && !stbi_info(path, &width, &height, &channels)) {
        error = std::string(path) + ": not an image stb_image can read (" + stbi_failure_reason() + ")";
        return false;
    }
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    const int side = std::min(logoSideLimit, static_cast<int>(largest));
    if (width > side || height > side) {
        error = std::string(path) + ": " + std::to_string(width) + "x" + std::to_string(height) + " is over " +
                std::to_string(side) + " pixels a side";
        return false;
    }
    unsigned char* pixels = stbi_load(path, &width, &height, &channels, 4);
    if (!pixels) {
        error = std::string(path) + ": cannot be decoded (" + stbi_failure_reason() + ")";
        return false;
    }
    Texture* replacement = new Texture(pixels, width, height);
    stbi_image_free(pixels);
    delete logoTexture;
    logoTexture = replacement;
    return true;
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
