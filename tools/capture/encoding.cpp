#include "encoding.h"

#include "schedule.h"

#include <cmath>

std::string h264Level(int width, int height, int fps)
{
    // H.264's table A-1 from level 4.2 up: macroblocks a second, a frame.
    static const struct {
        const char* name;
        double perSecond;
        double perFrame;
    } levels[] = {{"4.2", 522240, 8704},     {"5", 589824, 22080},     {"5.1", 983040, 36864},
                  {"5.2", 2073600, 36864},   {"6", 4177920, 139264},   {"6.1", 8355840, 139264},
                  {"6.2", 16711680, 139264}};
    const double across = std::ceil(width / 16.0), down = std::ceil(height / 16.0);
    for (const auto& level : levels) {
        // Neither side may pass the square root of 8 frames' worth.
        const double side = std::sqrt(8.0 * level.perFrame);
        if (across * down <= level.perFrame && across <= side && down <= side &&
            across * down * fps <= level.perSecond) {
            return level.name;
        }
    }
    return "";
}

std::vector<std::string> videoEncoderOptions(const CapturePlan& plan)
{
    // The frames arrive bottom row first as full-range RGBA; players assume
    // BT.709 on limited range for HD, so that is both the conversion and the tags.
    std::vector<std::string> options = {
        "-vf", "vflip,scale=out_color_matrix=bt709:out_range=tv:flags=accurate_rnd+full_chroma_int,format=yuv420p",
        "-c:v", "libx264", "-preset", plan.x264Preset,
        "-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc", "bt709", "-color_range", "tv",
        // Keyframes on a fixed beat and closed GOPs, no keyframe at a cut:
        // parts rendered apart then join on keyframes the whole video has too.
        "-g", std::to_string(keyframeInterval(plan)), "-sc_threshold", "0", "-flags", "+cgop"};
    if (plan.bitrate.empty()) {
        options.insert(options.end(), {"-crf", std::to_string(plan.crf)});
    } else {
        options.insert(options.end(), {"-b:v", plan.bitrate});
    }
    if (plan.compo) {
        // High profile at the level the size and rate need (4.2 for 1080p60),
        // a constant quality capped at a rate a compo machine plays without
        // a stutter.
        options.insert(options.end(), {"-profile:v", "high", "-level:v", plan.level});
        if (plan.bitrate.empty()) options.insert(options.end(), {"-maxrate", "24M", "-bufsize", "48M"});
    }
    return options;
}

std::vector<std::string> audioEncoderOptions(const CapturePlan& plan)
{
    std::vector<std::string> options = {"-c:a", "aac", "-b:a", plan.audioBitrate, "-ac", "2"};
    if (plan.compo) options.insert(options.end(), {"-ar", "48000"});
    return options;
}

std::vector<std::string> encoderOptions(const CapturePlan& plan)
{
    std::vector<std::string> options = videoEncoderOptions(plan);
    for (const std::string& option : audioEncoderOptions(plan)) options.push_back(option);
    options.insert(options.end(), {"-movflags", "+faststart"});
    return options;
}
