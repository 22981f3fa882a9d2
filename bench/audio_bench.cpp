// Jitter of the music position as the demo sees it: the position is read
// every 16.7 ms (one 60 Hz frame) and each step between reads is compared to
// 16.7 ms of music. Reported for SDL's dummy output (real callbacks on SDL's
// thread) and for the silent clock.
#include "platform/audio/audio.h"

#include "vorbis_writer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

void measure(const char* driver, const std::string& tune)
{
    setenv("SDL_AUDIODRIVER", driver, 1);
    BASS_Start();
    BASS_Init(-1, 44100, 0, nullptr, nullptr);
    const uint32_t music = BASS_StreamCreateFile(false, tune.c_str(), 0, 0, 0);
    BASS_ChannelPlay(music, false);

    const int reads = 300;
    std::vector<double> steps;
    const auto start = std::chrono::steady_clock::now();
    auto previousTime = start;
    double previous = BASS_ChannelBytes2Seconds(music, BASS_ChannelGetPosition(music, 0));
    for (int i = 1; i <= reads; ++i) {
        std::this_thread::sleep_until(start + std::chrono::microseconds(16667 * i));
        const auto now = std::chrono::steady_clock::now();
        const double seconds = BASS_ChannelBytes2Seconds(music, BASS_ChannelGetPosition(music, 0));
        // Music advanced against wall time advanced, in milliseconds.
        const double wall = std::chrono::duration<double>(now - previousTime).count();
        if (i > 10) steps.push_back((seconds - previous - wall) * 1000.0);
        previous = seconds;
        previousTime = now;
    }
    BASS_StreamFree(music);
    BASS_Free();

    std::sort(steps.begin(), steps.end());
    double mean = 0;
    for (double s : steps) mean += s;
    mean /= steps.size();
    double variance = 0;
    for (double s : steps) variance += (s - mean) * (s - mean);
    std::printf("%-8s reads %zu  step error ms: stddev %.3f  p5 %.3f  p95 %.3f  min %.3f  max %.3f\n", driver,
                steps.size(), std::sqrt(variance / steps.size()), steps[steps.size() / 20],
                steps[steps.size() * 19 / 20], steps.front(), steps.back());
}

} // namespace

int main()
{
    const std::string tune = "/tmp/orvanta-audio-bench.ogg";
    if (!writeSilentOgg(tune, 44100, 2, 10.0)) return 1;
    std::printf("Music position jitter: row-step error between reads 16.7 ms apart, in ms of music\n");
    measure("dummy", tune);
    measure("none", tune); // no such driver: the silent clock
    std::remove(tune.c_str());
    return 0;
}
