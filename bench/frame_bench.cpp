// Frame cost of the demo as it is: the time from start to the first
// presented frame, then each scene's frame time (four passes and the final
// pass), mean and 95th percentile, at 320x180 in the full-scale screen
// configuration, on whatever GL driver is there (llvmpipe on a machine
// without a GPU). Runs its own X server and a scratch copy of the run folder.
#include "app/demo.h"
#include "app/programs.h"
#include "app/window.h"
#include "demo/tracks.h"
#include "render/render_screen.h"
#include "track_text.h"
#include "xvfb.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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

void setScene(int scene)
{
    const std::string bytes = encodeTrackFile({TrackKey{0, static_cast<float>(scene), Step}});
    std::ofstream("sync_scene.track", std::ios::binary | std::ios::trunc) << bytes;
    closeDemoTracks();
    openDemoTracks();
}

} // namespace

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::max(5, std::atoi(argv[1])) : 40;
    XServer server(320, 180);
    setenv("DISPLAY", server.display().c_str(), 1);
    setenv("SDL_AUDIODRIVER", "none", 1);
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("orvanta-bench-" + std::to_string(getpid()));
    fs::copy(ORVANTA_RUN_DIR, folder, fs::copy_options::recursive);
    if (chdir(folder.c_str()) != 0) return 1;

    // The start-up log is not part of the report.
    std::streambuf* console = std::cout.rdbuf(nullptr);
    const auto start = Clock::now();
    glutInit(&argc, argv);
    initWindow();
    initDemo();
    buildDemoResources();
    renderScreen();
    glFinish();
    const double firstFrame = milliseconds(Clock::now() - start);

    std::vector<std::pair<double, double>> scenes;
    for (int scene = 0; scene < sceneCount; ++scene) {
        setScene(scene);
        for (int i = 0; i < 3; ++i) renderScreen(); // warm up, fill the history
        glFinish();
        std::vector<double> times;
        for (int i = 0; i < frames; ++i) {
            const auto begin = Clock::now();
            renderScreen();
            glFinish();
            times.push_back(milliseconds(Clock::now() - begin));
        }
        std::sort(times.begin(), times.end());
        double mean = 0;
        for (double t : times) mean += t;
        scenes.emplace_back(mean / times.size(), times[std::min(times.size() - 1, times.size() * 95 / 100)]);
    }
    std::cout.rdbuf(console);

    static const char* const names[sceneCount] = {"hall", "whirligig", "ball_scene", "flyby", "tunnel", "ribbon"};
    std::printf("Start to first presented frame: %.0f ms (window 320x180, scene scale 1.0, %s)\n", firstFrame,
                reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    std::printf("%-12s %10s %10s   (%d frames each)\n", "scene", "mean ms", "p95 ms", frames);
    for (int scene = 0; scene < sceneCount; ++scene) {
        std::printf("%-12s %10.2f %10.2f\n", names[scene], scenes[static_cast<size_t>(scene)].first,
                    scenes[static_cast<size_t>(scene)].second);
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    std::fflush(stdout);
    std::_Exit(0); // the window system's own exit path is not part of the measurement
}
