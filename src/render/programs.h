// render/programs: the GPU resources made at start-up and kept for the run:
// the table of the demo's 25 shader programs, the five meshes and the logo.
//
// Entry 0 is the final pass ("AA.fsh"); entry 4*s + p is pass p (1..4) of
// scene s (0..5). Every entry pairs "test.vsh" with its own fragment file and
// owns its own shader objects, even where two entries share their files.
// The table's files are listed in program_table.def.
#pragma once

#include "gpu/mesh.h"
#include "gpu/shader_program.h"
#include "gpu/texture.h"

#include <string>
#include <vector>

constexpr int sceneCount = 6;
constexpr int scenePassCount = 4;
constexpr int shaderProgramCount = 0
#define DEMO_VERTEX_SHADER(file)
#define DEMO_PROGRAM(file) +1
#include "render/program_table.def"
#undef DEMO_PROGRAM
#undef DEMO_VERTEX_SHADER
    ;
static_assert(shaderProgramCount == 1 + sceneCount * scenePassCount, "the final pass and four passes a scene");

// The vertex shader of every entry.
extern const char* const programVertexFile;

// The fragment file of each entry, in index order.
extern const char* const programFragmentFiles[shaderProgramCount];

// Filled by buildShaderPrograms(); null before. Entries are never freed.
extern ShaderProgram* shaderPrograms[shaderProgramCount];

// Builds entries 0 to 24 in index order, each completely before the next.
// Needs a current GL context. Never fails: a broken shader leaves its entry
// with a 0 shader field and an unlinked program (see ShaderProgram).
void buildShaderPrograms();

constexpr int meshCount = 5;

// Mesh 0 draws the final pass, mesh p pass p of the scene shown.
extern Mesh* meshes[meshCount];

// The logo, from "logo.png".
extern Texture* logoTexture;

// The largest logo replaceLogo() takes: its file and its picture's sides.
constexpr long long logoFileLimit = 64ll << 20;
constexpr int logoSideLimit = 8192;

// Replaces the logo with the picture in `path`: a regular file of at most
// logoFileLimit bytes whose picture is at most logoSideLimit a side and
// decodes whole. Failure: false with `error` saying why; the logo stays as
// it was. Needs the GL context current.
bool replaceLogo(const char* path, std::string& error);

// Rebuilds entry `index` quietly from the two sources (as buildProgramQuietly
// does) and, when it builds, puts it in place of the entry's program, whose
// names are deleted; entry 0's mesh is bound to it again. Failure: false
// with the driver's log and the stage that failed; the entry keeps its
// program. Needs the GL context current.
bool rebuildProgram(int index, const char* vertexSource, const char* fragmentSource, std::string& log,
                    GLenum& failedStage);

// A file of the table whose programs did not build, with the driver's log.
struct ProgramProblem {
    std::string file;
    std::string log;
};

// Looks at every entry's shaders and link status; for each file behind a
// failure (the
// vertex shader when it failed, else the entry's fragment file), builds it
// again quietly from the working directory to get the driver's log. Each
// file is named once, in table order. Needs the table built.
std::vector<ProgramProblem> brokenPrograms();

// The start-up's GPU resources, in this order: the separator line, the logo,
// the 25 programs and the five meshes, each bound to the program of its index.
void buildDemoResources();
