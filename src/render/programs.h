// render/programs: the GPU resources made at start-up and kept for the run:
// the demo's shader programs, the five meshes and the logo, kept here alone
// and read through the calls below.
//
// Entry 0 is the final pass; entry 4*s + p is pass p (1..4) of scene s, in
// the order of the demo's description (demo_description.h). Every entry
// pairs the vertex shader with its own fragment file and owns its own
// shader objects, even where two entries share their files. The
// executables' table is program_table.def: Orvanta's 25.
#pragma once

#include "gpu/mesh.h"
#include "gpu/shader_program.h"
#include "gpu/texture.h"
#include "render/demo_description.h"

#include <string>
#include <vector>

// The executables' scenes and programs.
constexpr int sceneCount = 6;
constexpr int shaderProgramCount = 0
#define DEMO_VERTEX_SHADER(file)
#define DEMO_PROGRAM(file) +1
#include "render/program_table.def"
#undef DEMO_PROGRAM
#undef DEMO_VERTEX_SHADER
    ;
static_assert(shaderProgramCount == 1 + sceneCount * scenePassCount, "the final pass and four passes a scene");

// The executables' table: the vertex shader of every entry, and the
// fragment file of each entry in index order.
extern const char* const programVertexFile;
extern const char* const programFragmentFiles[shaderProgramCount];

// The count of the demo's programs: 1 + 4 a scene; 0 before they are built.
int programCount();

// Entry `index`, null before buildDemoResources() or out of range. Entries
// are never freed.
const ShaderProgram* demoProgram(int index);
ShaderProgram* programAt(int index); // for the frame driver

// The fragment file of entry `index`, and the vertex shader of all.
const std::string& programFragmentFile(int index);
const std::string& programVertexShaderFile();

// Puts `program` in place of entry `index` and returns the one that was
// there: a tool compares a program with another by putting it in a scene's
// pass, drawing, and putting the first back. The caller owns what it puts in
// until it puts the entry's own back.
ShaderProgram* swapProgram(int index, ShaderProgram* program);

constexpr int meshCount = 5;

// Mesh 0 draws the final pass, mesh p pass p of the scene shown; null
// before buildDemoResources().
const Mesh* demoMesh(int index);
Mesh& meshAt(int index); // for the frame driver

// The logo, from "logo.png".
const Texture& logoImage();

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

// Builds the description's programs, entry 0 first, each completely before
// the next; they are the demo's programs from then on. Needs a current GL
// context. Never fails: a broken shader leaves its entry with a 0 shader
// field and an unlinked program (see ShaderProgram).
void buildShaderPrograms(const DemoDescription& description);

// The programs of another description in place of the ones built, as
// buildShaderPrograms makes them (each writes its log to standard output),
// the meshes bound to them and the old ones deleted. Once resources exist.
void replaceShaderPrograms(const DemoDescription& description);

// The start-up's GPU resources, in this order: the separator line, the logo,
// the description's programs (each built completely before the next) and
// the five meshes, each bound to the program of its index. Needs a current
// GL context. Never fails: a broken shader leaves its entry with a 0 shader
// field and an unlinked program (see ShaderProgram).
void buildDemoResources(const DemoDescription& description);
