// Start-up costs: reading a shader source, and compiling and linking one
// program of the table on the current driver.
#include "gpu/shader_program.h"

#include <GL/freeglut.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <unistd.h>

namespace {

// Keeps the start-up log out of the benchmark's report.
struct QuietStdout {
    QuietStdout() : saved(std::cout.rdbuf(nullptr)) {}
    ~QuietStdout() { std::cout.rdbuf(saved); }
    std::streambuf* saved;
};

void BM_ReadShaderFile(benchmark::State& state)
{
    QuietStdout quiet;
    for (auto _ : state) {
        auto text = readShaderFile("hall_c.fsh");
        benchmark::DoNotOptimize(text.get());
    }
}
BENCHMARK(BM_ReadShaderFile);

void BM_BuildProgram(benchmark::State& state)
{
    QuietStdout quiet;
    for (auto _ : state) {
        ShaderProgram program("test.vsh", "hall_d.fsh");
        glFinish();
        state.PauseTiming();
        glDeleteProgram(program.program);
        glDeleteShader(program.vertexShader);
        glDeleteShader(program.fragmentShader);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BuildProgram)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (chdir(ORVANTA_RUN_DIR) != 0) return 1;
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA | GLUT_DEPTH);
    glutInitContextVersion(4, 3);
    glutInitContextProfile(GLUT_CORE_PROFILE);
    glutCreateWindow("orvanta bench");
    glewExperimental = GL_TRUE;
    if (glewInit() != GLEW_OK) return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
