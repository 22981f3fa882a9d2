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

namespace {

// Made once and never destroyed: the programs live until the process ends,
// and the table that holds them must outlive every static destructor.
struct Resources {
    std::vector<ShaderProgram*> shaderPrograms;
    std::vector<std::string> fragmentFiles; // by entry
    std::string vertexFile;
    Mesh* meshes[meshCount] = {};
    Texture* logoTexture = nullptr;
};
Resources& RESOURCES = *new Resources;

} // namespace

int programCount()
{
    return static_cast<int>(RESOURCES.shaderPrograms.size());
}

ShaderProgram* programAt(int index)
{
    return index >= 0 && index < programCount() ? RESOURCES.shaderPrograms[static_cast<size_t>(index)] : nullptr;
}

const ShaderProgram* demoProgram(int index)
{
    return programAt(index);
}

const std::string& programFragmentFile(int index)
{
    return RESOURCES.fragmentFiles.at(static_cast<size_t>(index));
}

const std::string& programVertexShaderFile()
{
    return RESOURCES.vertexFile;
}

ShaderProgram* swapProgram(int index, ShaderProgram* program)
{
    assert(index >= 0 && index < programCount() && program);
    std::swap(RESOURCES.shaderPrograms[static_cast<size_t>(index)], program);
    return program;
}

const Mesh* demoMesh(int index)
{
    return index >= 0 && index < meshCount ? RESOURCES.meshes[index] : nullptr;
}

Mesh& meshAt(int index)
{
    return *RESOURCES.meshes[index];
}

const Texture& logoImage()
{
    return *RESOURCES.logoTexture;
}

void buildDemoResources(const DemoDescription& description)
{
    std::cout << "----------------\n";
    RESOURCES.logoTexture = new Texture("logo.png");
    buildShaderPrograms(description);
    for (int i = 0; i < meshCount; ++i) {
        RESOURCES.meshes[i] = new Mesh();
        RESOURCES.meshes[i]->bindAttributes(RESOURCES.shaderPrograms[static_cast<size_t>(i)]);
    }
}

void buildShaderPrograms(const DemoDescription& description)
{
    RESOURCES.vertexFile = description.vertexFile;
    RESOURCES.shaderPrograms.clear();
    RESOURCES.fragmentFiles = {description.finalPass};
    for (const SceneDescription& scene : description.scenes) {
        RESOURCES.fragmentFiles.insert(RESOURCES.fragmentFiles.end(), scene.passes.begin(), scene.passes.end());
    }
    for (const std::string& file : RESOURCES.fragmentFiles) {
        RESOURCES.shaderPrograms.push_back(new ShaderProgram(RESOURCES.vertexFile.c_str(), file.c_str()));
    }
}

void replaceShaderPrograms(const DemoDescription& description)
{
    const std::vector<ShaderProgram*> old = RESOURCES.shaderPrograms;
    buildShaderPrograms(description);
    for (int i = 0; i < meshCount; ++i) {
        RESOURCES.meshes[i]->bindAttributes(RESOURCES.shaderPrograms[static_cast<size_t>(std::min(i, programCount() - 1))]);
    }
    for (ShaderProgram* program : old) {
        glDeleteProgram(program->program);
        glDeleteShader(program->vertexShader);
        glDeleteShader(program->fragmentShader);
        delete program;
    }
}

bool rebuildProgram(int index, const char* vertexSource, const char* fragmentSource, std::string& log,
                    GLenum& failedStage)
{
    assert(index >= 0 && index < programCount());
    ProgramNames names;
    if (!buildProgramQuietly(vertexSource, fragmentSource, names, log, failedStage)) return false;
    ShaderProgram* entry = programAt(index);
    glDeleteProgram(entry->program);
    glDeleteShader(entry->vertexShader);
    glDeleteShader(entry->fragmentShader);
    entry->fragmentShader = names.fragmentShader;
    entry->vertexShader = names.vertexShader;
    entry->program = names.program;
    // Mesh 0 is bound once; the others follow their program every frame.
    if (index == 0) RESOURCES.meshes[0]->bindAttributes(entry);
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
    delete RESOURCES.logoTexture;
    RESOURCES.logoTexture = replacement;
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
    for (int i = 0; i < programCount(); ++i) {
        const ShaderProgram* program = programAt(i);
        // A program whose fragment shader failed still links, without it.
        GLint linked = 0;
        glGetProgramiv(program->program, GL_LINK_STATUS, &linked);
        if (linked && program->vertexShader && program->fragmentShader) continue;
        const std::string& fragmentFile = programFragmentFile(i);
        const std::string vertex = quietRead(RESOURCES.vertexFile.c_str()), fragment = quietRead(fragmentFile.c_str());
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
        const std::string file = stage == GL_VERTEX_SHADER ? RESOURCES.vertexFile : fragmentFile;
        bool named = false;
        for (const ProgramProblem& problem : problems) named = named || problem.file == file;
        if (!named) problems.push_back({file, log});
    }
    return problems;
}
