// Frame cost of the demo as it is: the time from start to the first
// presented frame, then each scene's frame time (four passes and the final
// pass), mean and 95th percentile, at 320x180 (or --size) in the full-scale
// screen configuration, on whatever GL driver is there (llvmpipe on a
// machine without a GPU). Each scene is timed where the demo shows it: the
// music is paused in the middle of the scene's first stretch of rows, so
// camera, light and blur are the scene's own. Runs its own X server, or
// with --egl none (EGL: a GPU's device where there is one), and a scratch
// copy of the run folder.
//
//   frame_bench [FRAMES] [--frames N] [--size WxH] [--egl] [--against DIR]
//
// --against DIR sets each scene's pass 1 against DIR's file of the same name
// (an earlier version, say), in the same run: rounds that alternate the two,
// each costed by substitution, and the median of each. One run on a busy
// or two-core machine moves by a third; alternating rounds do not.
//
// Each pass's cost is measured twice: with the timer queries the live
// player's overlay shows, and by substitution: the frame's time less its
// time with that pass's program swapped for a plain one (a copy of its
// input; a flat colour for pass 1). Drivers that render late, as llvmpipe
// does, blur the queries; substitution holds on any driver. The floor is
// the frame with all five passes plain: what the chain costs before any
// shader does work.
//
// Each scene is also set against a yardstick measured in the same run: a
// frame that draws only reference.fsh (a plain sphere tracer with a soft
// shadow) over the whole window through the same quad. A scene that costs
// at most twice the yardstick here holds 60 frames a second at 1920x1080 on
// a mid-range desktop GPU.
#include "app/startup.h"
#include "demo/clock.h"
#include "gpu/camera.h"
#include "gpu/mesh.h"
#include "gpu/shader_program.h"
#include "render/programs.h"
#include "render/render_screen.h"
#include "render/scene_index.h"
#include "cleanup.h"
#include "xvfb.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// Mean and 95th percentile of `frames` timed calls of `draw`, each waited
// for, after three untimed ones.
constexpr const char* plainPassSource = R"(#version 430 core
uniform sampler2D iChannel0;
in vec2 uv;
out vec4 fragColor;
void main() { fragColor = texelFetch(iChannel0, ivec2(gl_FragCoord.xy), 0); }
)";

constexpr const char* plainScenePassSource = R"(#version 430 core
uniform vec2 iResolution;
in vec2 uv;
out vec4 fragColor;
void main() { fragColor = vec4(gl_FragCoord.xy / iResolution, 0.5, 0.5); }
)";

template <typename Draw> std::pair<double, double> timeFrames(int frames, Draw draw)
{
    for (int i = 0; i < 3; ++i) draw(); // warm up, fill the history
    glFinish();
    std::vector<double> times;
    for (int i = 0; i < frames; ++i) {
        const auto begin = Clock::now();
        draw();
        glFinish();
        times.push_back(milliseconds(Clock::now() - begin));
    }
    std::sort(times.begin(), times.end());
    double mean = 0;
    for (double t : times) mean += t;
    return {mean / times.size(), times[std::min(times.size() - 1, times.size() * 95 / 100)]};
}

} // namespace

int main(int argc, char** argv)
{
    int frames = 40, width = 320, height = 180;
    bool egl = false;
    std::string against;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help") {
            std::printf("usage: frame_bench [FRAMES] [--frames N] [--size WxH] [--egl] [--against DIR]\n");
            return 0;
        } else if (arg == "--against" && i + 1 < argc) {
            against = std::filesystem::absolute(argv[++i]).string();
        } else if (arg == "--egl") {
            egl = true;
        } else if (arg == "--size" && i + 1 < argc &&
                   std::sscanf(argv[i + 1], "%dx%d", &width, &height) == 2 && width >= 16 && height >= 16 &&
                   width <= 7680 && height <= 4320) {
            ++i;
        } else if ((arg == "--frames" && i + 1 < argc) || std::isdigit(static_cast<unsigned char>(arg[0]))) {
            frames = std::max(5, std::atoi(arg == "--frames" ? argv[++i] : arg.c_str()));
        } else {
            std::fprintf(stderr, "frame_bench: bad argument %s (--size WxH from 16x16 to 7680x4320)\n", arg.c_str());
            return 2;
        }
    }
    // A signal (the GPU check's time limit, Ctrl-C) takes the X server and
    // the scratch folder with it.
    endOnSignals();
    if (!against.empty() && !std::filesystem::is_directory(against)) {
        std::fprintf(stderr, "frame_bench: %s is not a folder\n", against.c_str());
        return 1;
    }
    std::unique_ptr<XServer> server;
    if (!egl) {
        server = std::make_unique<XServer>(width, height);
        setenv("DISPLAY", server->display().c_str(), 1);
    }
    setenv("SDL_AUDIODRIVER", "none", 1);
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("orvanta-bench-" + std::to_string(getpid()));
    fs::create_directory(folder);
    const int scratch = holdFolder(folder.string());
    fs::copy(ORVANTA_RUN_DIR, folder, fs::copy_options::recursive);

    // The start-up log is not part of the report.
    std::streambuf* console = std::cout.rdbuf(nullptr);
    const auto start = Clock::now();
    DemoStartup startup;
    startup.window = egl ? WindowMode::Offscreen : WindowMode::Screen;
    startup.width = width;
    startup.height = height;
    startup.sceneScale = 1.0f;
    startup.dataFolder = folder.string();
    std::string error;
    if (!startDemo(argc, argv, startup, error)) {
        std::fprintf(stderr, "frame_bench: %s\n", error.c_str());
        cleanUpNow();
        return 1;
    }
    renderScreen();
    glFinish();
    const double firstFrame = milliseconds(Clock::now() - start);

    std::vector<std::pair<double, double>> scenes;
    std::vector<double> rows;
    // Each pass's GPU time, from the timer queries the live player's overlay
    // shows, after the timed frames (with the queries on, untimed).
    std::vector<std::vector<double>> passes;
    for (int scene = 0; scene < sceneCount; ++scene) {
        rows.push_back(sceneMiddleRow(scene));
        holdMusicAt(std::max(rows.back(), 0.0));
        scenes.push_back(timeFrames(frames, renderScreen));
        setPassTiming(true);
        std::vector<double> sum(passCount + 1, 0.0);
        int measured = 0;
        for (int i = 0; i < frames + 4; ++i) {
            renderScreen();
            double ms[passCount + 1];
            if (!passMilliseconds(ms)) continue;
            for (int pass = 0; pass <= passCount; ++pass) sum[static_cast<size_t>(pass)] += ms[pass];
            ++measured;
        }
        setPassTiming(false);
        for (double& total : sum) total /= std::max(measured, 1);
        passes.push_back(sum);
    }

    // Each pass's cost by substitution, and the floor with all five plain.
    std::ofstream(folder / "bench_plain.fsh") << plainPassSource;
    std::ofstream(folder / "bench_plain_scene.fsh") << plainScenePassSource;
    ShaderProgram plain("test.vsh", "bench_plain.fsh");
    ShaderProgram plainScene("test.vsh", "bench_plain_scene.fsh");
    std::vector<std::vector<double>> substituted; // pass 1-4, final, floor
    for (int scene = 0; scene < sceneCount; ++scene) {
        holdMusicAt(std::max(rows[static_cast<size_t>(scene)], 0.0));
        const int entries[passCount + 1] = {0, scenePassCount * scene + 1, scenePassCount * scene + 2,
                                            scenePassCount * scene + 3, scenePassCount * scene + 4};
        std::vector<double> costs;
        const double whole = scenes[static_cast<size_t>(scene)].first;
        for (int pass : {1, 2, 3, 4, 0}) {
            ShaderProgram* const own = swapProgram(entries[pass], pass == 1 ? &plainScene : &plain);
            costs.push_back(whole - timeFrames(frames, renderScreen).first);
            swapProgram(entries[pass], own);
        }
        ShaderProgram* kept[passCount + 1];
        for (int pass = 0; pass <= passCount; ++pass) {
            kept[pass] = swapProgram(entries[pass], pass == 1 ? &plainScene : &plain);
        }
        costs.push_back(timeFrames(frames, renderScreen).first);
        for (int pass = 0; pass <= passCount; ++pass) swapProgram(entries[pass], kept[pass]);
        substituted.push_back(costs);
    }

    // Pass 1 against another version of it, in alternating rounds.
    struct Against {
        int scene;
        double now, other;
    };
    std::vector<Against> againstCosts;
    for (int scene = 0; scene < sceneCount && !against.empty(); ++scene) {
        const int entry = scenePassCount * scene + 1;
        const fs::path other = fs::path(against) / programFragmentFiles[entry];
        std::error_code missing;
        if (!fs::is_regular_file(other, missing)) continue;
        fs::copy_file(other, folder / "bench_against.fsh", fs::copy_options::overwrite_existing);
        ShaderProgram otherProgram("test.vsh", "bench_against.fsh");
        if (!otherProgram.fragmentShader) {
            std::fprintf(stderr, "frame_bench: %s does not compile\n", other.c_str());
            continue;
        }
        holdMusicAt(std::max(rows[static_cast<size_t>(scene)], 0.0));
        ShaderProgram* const table = swapProgram(entry, &plainScene);
        std::vector<double> now, others;
        for (int round = 0; round < 7; ++round) {
            swapProgram(entry, &plainScene);
            const double floor = timeFrames(frames, renderScreen).first;
            swapProgram(entry, table);
            now.push_back(timeFrames(frames, renderScreen).first - floor);
            swapProgram(entry, &otherProgram);
            others.push_back(timeFrames(frames, renderScreen).first - floor);
        }
        swapProgram(entry, table);
        std::sort(now.begin(), now.end());
        std::sort(others.begin(), others.end());
        againstCosts.push_back({scene, now[now.size() / 2], others[others.size() / 2]});
    }

    fs::copy_file(ORVANTA_BENCH_DIR "/reference.fsh", folder / "reference.fsh");
    ShaderProgram reference("test.vsh", "reference.fsh");
    Mesh quad;
    quad.bindAttributes(&reference);
    float referenceTime = 0.0f;
    // Without a window, into a target of the window's size.
    GLuint target = 0, colour = 0, depth = 0;
    if (egl) {
        glGenTextures(1, &colour);
        glBindTexture(GL_TEXTURE_2D, colour);
        glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA8, width, height);
        glGenRenderbuffers(1, &depth);
        glBindRenderbuffer(GL_RENDERBUFFER, depth);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
        glGenFramebuffers(1, &target);
        glBindFramebuffer(GL_FRAMEBUFFER, target);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour, 0);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    }
    const float frameWidth = static_cast<float>(frameDimensions().width);
    const float frameHeight = static_cast<float>(frameDimensions().height);
    const std::pair<double, double> yardstick = timeFrames(frames, [&] {
        glBindFramebuffer(GL_FRAMEBUFFER, target);
        glViewport(0, 0, static_cast<GLsizei>(frameWidth), static_cast<GLsizei>(frameHeight));
        glEnable(GL_DEPTH_TEST);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glUseProgram(reference.program);
        glUniform2f(glGetUniformLocation(reference.program, "iResolution"), frameWidth, frameHeight);
        glUniform1f(glGetUniformLocation(reference.program, "iGlobalTime"), referenceTime += 0.1f);
        Camera camera(45.0f, frameWidth / frameHeight, 0.01f, 100.0f);
        camera.eye = glm::vec3(0.0f, 0.0f, -0.1f);
        quad.position = glm::vec3(0.0f);
        quad.rotation = glm::vec4(0.0f, 0.0f, 0.0f, 1.0f);
        quad.draw(camera);
        if (!egl) glutSwapBuffers();
    });
    std::cout.rdbuf(console);

    static const char* const names[sceneCount] = {"hall", "whirligig", "ball_scene", "flyby", "tunnel", "ribbon"};
    std::printf("Start to first presented frame: %.0f ms (%s %dx%d, scene scale 1.0, %s)\n", firstFrame,
                egl ? "offscreen frame" : "window", width, height, reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    std::printf("%-12s %10s %10s %14s   (%d frames each)\n", "scene", "mean ms", "p95 ms", "x reference", frames);
    std::printf("%-12s %10.2f %10.2f %14s\n", "reference", yardstick.first, yardstick.second, "1.00");
    for (int scene = 0; scene < sceneCount; ++scene) {
        const auto [mean, p95] = scenes[static_cast<size_t>(scene)];
        std::printf("%-12s %10.2f %10.2f %14.2f   row %g%s\n", names[scene], mean, p95, mean / yardstick.first,
                    rows[static_cast<size_t>(scene)], mean > 2.0 * yardstick.first ? ", over the 2.0 budget" : "");
    }
    std::printf("\nGPU time of each pass, mean ms (timer queries%s):\n",
                passTimesMeasurable() ? ""
                                      : "; not the passes' own on this software renderer, which draws late and\n"
                                        "counts a pass's work where the next pass waits for it");
    std::printf("%-12s %8s %8s %8s %8s %8s\n", "scene", "pass 1", "pass 2", "pass 3", "pass 4", "final");
    for (int scene = 0; scene < sceneCount; ++scene) {
        const std::vector<double>& ms = passes[static_cast<size_t>(scene)];
        std::printf("%-12s %8.2f %8.2f %8.2f %8.2f %8.2f\n", names[scene], ms[1], ms[2], ms[3], ms[4], ms[0]);
    }
    std::printf("\nCost of each pass by substitution, mean ms (the frame less the frame with that\n"
                "pass plain), and the floor (all five passes plain):\n");
    std::printf("%-12s %8s %8s %8s %8s %8s %8s\n", "scene", "pass 1", "pass 2", "pass 3", "pass 4", "final", "floor");
    for (int scene = 0; scene < sceneCount; ++scene) {
        const std::vector<double>& ms = substituted[static_cast<size_t>(scene)];
        std::printf("%-12s %8.2f %8.2f %8.2f %8.2f %8.2f %8.2f\n", names[scene], ms[0], ms[1], ms[2], ms[3], ms[4],
                    ms[5]);
    }
    if (!against.empty()) {
        std::printf("\nPass 1 by substitution against %s, median ms of 7 alternating rounds:\n", against.c_str());
        std::printf("%-12s %8s %8s %8s\n", "scene", "this", "that", "this/that");
        for (const Against& a : againstCosts) {
            std::printf("%-12s %8.2f %8.2f %8.2f\n", names[a.scene], a.now, a.other, a.now / a.other);
        }
    }
    releaseFolder(scratch);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    std::fflush(stdout);
    if (server) server->stop(); // _Exit runs no destructors
    std::_Exit(0); // the window system's own exit path is not part of the measurement
}
