#include "encoder.h"

#include "encoding.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

bool Encoder::start(const CapturePlan& plan, const std::string& path, double startSeconds, long frames,
                    const std::string& tag)
{
    const std::string size = std::to_string(plan.width) + "x" + std::to_string(plan.height);
    const std::string tune = (fs::path(plan.dataDir) / "tune.ogg").string();
    char seconds[64], duration[64];
    std::snprintf(seconds, sizeof seconds, "%.6f", startSeconds);
    std::snprintf(duration, sizeof duration, "%.6f", static_cast<double>(frames) / plan.fps);
    std::vector<std::string> all = {
        "ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y",
        "-f", "rawvideo", "-pix_fmt", "rgba", "-s", size, "-r", std::to_string(plan.fps), "-i", "pipe:0"};
    if (tag.empty()) {
        all.insert(all.end(), {"-ss", seconds, "-t", duration, "-i", tune, "-map", "0:v", "-map", "1:a"});
        for (const std::string& option : encoderOptions(plan)) all.push_back(option);
    } else {
        for (const std::string& option : videoEncoderOptions(plan)) all.push_back(option);
        all.insert(all.end(), {"-an", "-metadata", "comment=" + tag, "-movflags", "+faststart"});
    }
    all.insert(all.end(), {"-f", "mp4", path});
    SubprocessOptions options;
    options.argv = all;
    options.input = SubprocessStream::Pipe;
    options.endSignal = SIGKILL; // a video cut short is thrown away
    return ffmpeg_.start(options);
}

bool Encoder::write(const std::vector<unsigned char>& frame)
{
    size_t done = 0;
    while (done < frame.size()) {
        const ssize_t n = ::write(ffmpeg_.input(), frame.data() + done, frame.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool Encoder::finish()
{
    ffmpeg_.closeInput();
    return ffmpeg_.pid() > 0 && ffmpeg_.wait() == 0;
}
