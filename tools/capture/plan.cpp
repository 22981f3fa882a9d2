#include "plan.h"
#include "parts.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

const char* const captureUsage =
    "usage: orvanta-capture --out FILE.mp4 [--size WxH] [--fps N] [--from-row A] [--to-row B]\n"
    "                       [--frames A:B] [--scene-scale S] [--data DIR] [--preset compo]\n"
    "                       [--crf N | --bitrate RATE] [--preset-x264 NAME] [--audio-bitrate R]\n"
    "                       [--gl xvfb|egl]\n"
    "       orvanta-capture --out FILE.mp4 --part K/N [--resume] [same options]\n"
    "       orvanta-capture --join PART... --out FILE.mp4 [--data DIR]\n"
    "       orvanta-capture --out DIR/ [same options]            numbered PNG frames\n"
    "       orvanta-capture --stills ROW[,ROW...] --out DIR/     one PNG per row\n"
    "       orvanta-capture --contact-sheet FILE.png [--every ROWS] [--size WxH]\n"
    "Renders the demo offline at a fixed frame rate, in an X server of its own.\n"
    "  --out FILE.mp4      H.264 video with the music (through ffmpeg), converted and\n"
    "                      tagged BT.709\n"
    "  --out DIR/          numbered PNG frames (frame_000000.png, ...) in DIR\n"
    "  --size WxH          picture size, even, 16x16 to 8192x8192 (default 1920x1080;\n"
    "                      320x180 for a contact sheet's cells)\n"
    "  --fps N             frames a second, 1 to 240 (default 60)\n"
    "  --from-row A        the first row (default 0); rows run from 0 to 1147.5, the last\n"
    "                      row of the music\n"
    "  --to-row B          the last row (default: the end, with the first frame past it,\n"
    "                      as the demo shows it)\n"
    "  --frames A:B        only frames A to B of the whole capture, to render it in parts\n"
    "  --part K/N          part K of N of the frames, split on keyframes (one every 2 s),\n"
    "                      video alone, into FILE.partKofN.mp4 (K padded to N's width),\n"
    "                      with its own run-up; N is at most 1000 and at most the count\n"
    "                      of 2 s spans in the frames\n"
    "  --resume            with --part: a part file that is complete, of the same\n"
    "                      settings, is kept instead of rendered again\n"
    "  --join PART...      all the parts of one render, in any order, joined into --out\n"
    "                      with the music (the video copied, not encoded again)\n"
    "  --stills ROWS       one PNG a row, named row_ROW.png, at most 1000 rows\n"
    "  --contact-sheet F   small labelled stills on a grid, at most 256 MiB of pixels\n"
    "  --every ROWS        a contact sheet's cell every this many rows (default 16, at least 1)\n"
    "  --scene-scale S     scale of the first scene pass, 0.1 to 1 (default 1)\n"
    "  --preset compo      video for a competition: 1920x1080 at 60 fps, H.264 High at\n"
    "                      level 4.2, CRF 16 capped at 24 Mbit/s, AAC 256 kbit/s at 48 kHz;\n"
    "                      a larger size or rate takes the level it needs, up to 6.2\n"
    "  --crf N             constant quality, 0 to 51 (default 18; compo 16)\n"
    "  --bitrate RATE      an average video rate, 100k to 1000M, such as 12M, instead of\n"
    "                      constant quality (not with --crf)\n"
    "  --preset-x264 NAME  x264's speed preset, ultrafast to placebo (default medium;\n"
    "                      compo slow)\n"
    "  --audio-bitrate R   AAC rate, 32k to 512k (default 192k)\n"
    "  --data DIR          the run folder to read (default: the current directory)\n"
    "  --gl xvfb|egl       render in an X server of its own (Xvfb, the default where it is\n"
    "                      installed) or through EGL without X: on a GPU where there is one,\n"
    "                      else on Mesa's surfaceless platform\n"
    "  --help              this text\n";

namespace {

constexpr size_t maxStills = 1000;
// Raw RGBA of a contact sheet, before PNG compression.
constexpr double maxSheetBytes = 256.0 * 1024 * 1024;

std::string lastRowText()
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", endRow);
    return text;
}

} // namespace

bool readNumber(const std::string& text, double& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && errno == 0 && std::isfinite(value);
}

bool readRate(const std::string& text, double low, double high)
{
    size_t digits = 0, points = 0;
    for (; digits < text.size(); ++digits) {
        const char c = text[digits];
        if (c == '.') ++points;
        else if (!std::isdigit(static_cast<unsigned char>(c))) break;
    }
    const std::string suffix = text.substr(digits);
    if (digits == 0 || digits > 12 || points > 1 || text[0] == '.' || text[digits - 1] == '.') return false;
    double value = std::strtod(text.substr(0, digits).c_str(), nullptr);
    if (suffix == "k" || suffix == "K") value *= 1e3;
    else if (suffix == "M") value *= 1e6;
    else if (!suffix.empty()) return false;
    return value >= low && value <= high;
}

bool readInteger(const std::string& text, long low, long high, long& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && errno == 0 && value >= low && value <= high;
}

bool parseCapturePlan(int argc, char** argv, CapturePlan& plan, std::string& error)
{
    bool outGiven = false, stillsGiven = false, sheetGiven = false, framesGiven = false, fpsGiven = false;
    bool crfGiven = false, bitrateGiven = false, audioGiven = false, x264Given = false;
    bool joinGiven = false, anyOtherGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg != "--out" && arg != "--data" && arg != "--join") anyOtherGiven = true;
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            into = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "--out") {
            if (!value(plan.out)) return false;
            outGiven = true;
        } else if (arg == "--size") {
            if (!value(v)) return false;
            int w = 0, h = 0;
            char tail = 0;
            if (std::sscanf(v.c_str(), "%dx%d%c", &w, &h, &tail) != 2 || w < 16 || h < 16 || w > 8192 || h > 8192 ||
                w % 2 || h % 2) {
                error = "--size is WxH, even, 16 to 8192";
                return false;
            }
            plan.width = w;
            plan.height = h;
            plan.sizeGiven = true;
        } else if (arg == "--fps") {
            long fps = 0;
            if (!value(v) || !readInteger(v, 1, 240, fps)) {
                error = "--fps is a whole number from 1 to 240";
                return false;
            }
            plan.fps = static_cast<int>(fps);
            fpsGiven = true;
        } else if (arg == "--from-row" || arg == "--to-row" || arg == "--every") {
            double row = 0;
            if (!value(v) || !readNumber(v, row) || row < 0 || row > endRow) {
                error = arg + " is a row from 0 to " + lastRowText();
                return false;
            }
            if (arg == "--from-row") plan.fromRow = row;
            else if (arg == "--to-row") {
                plan.toRow = row;
                plan.toRowGiven = true;
            } else if (row < 1) {
                error = "--every is at least 1 row";
                return false;
            } else {
                plan.every = row;
            }
        } else if (arg == "--frames") {
            if (!value(v)) return false;
            const size_t colon = v.find(':');
            if (colon == std::string::npos || !readInteger(v.substr(0, colon), 0, 100000000, plan.firstFrame) ||
                !readInteger(v.substr(colon + 1), 0, 100000000, plan.lastFrame) || plan.lastFrame < plan.firstFrame) {
                error = "--frames is A:B with 0 <= A <= B";
                return false;
            }
            framesGiven = true;
        } else if (arg == "--stills") {
            if (!value(v)) return false;
            size_t start = 0;
            while (start <= v.size()) {
                const size_t comma = v.find(',', start);
                const std::string row = v.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
                double parsed = 0;
                if (!readNumber(row, parsed) || parsed < 0 || parsed > endRow) {
                    error = "--stills takes rows from 0 to " + lastRowText() + ", separated by commas";
                    return false;
                }
                if (plan.stills.size() == maxStills) {
                    error = "--stills takes at most " + std::to_string(maxStills) + " rows";
                    return false;
                }
                plan.stills.push_back(row);
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
            stillsGiven = true;
        } else if (arg == "--part") {
            if (!value(v)) return false;
            const size_t slash = v.find('/');
            long part = 0, parts = 0;
            if (slash == std::string::npos || !readInteger(v.substr(slash + 1), 1, maxCaptureParts, parts) ||
                !readInteger(v.substr(0, slash), 1, parts, part)) {
                error = "--part is K/N with 1 <= K <= N <= " + std::to_string(maxCaptureParts);
                return false;
            }
            plan.part = static_cast<int>(part);
            plan.parts = static_cast<int>(parts);
        } else if (arg == "--resume") {
            plan.resume = true;
        } else if (arg == "--join") {
            while (i + 1 < argc && std::string(argv[i + 1]).rfind("--", 0) != 0) {
                if (plan.joined.size() == static_cast<size_t>(maxCaptureParts)) {
                    error = "--join takes at most " + std::to_string(maxCaptureParts) + " parts";
                    return false;
                }
                plan.joined.push_back(argv[++i]);
            }
            if (plan.joined.empty()) {
                error = "--join needs the parts";
                return false;
            }
            joinGiven = true;
        } else if (arg == "--contact-sheet") {
            if (!value(plan.out)) return false;
            sheetGiven = true;
        } else if (arg == "--scene-scale") {
            double scale = 0;
            if (!value(v) || !readNumber(v, scale) || scale < 0.1 || scale > 1.0) {
                error = "--scene-scale runs from 0.1 to 1";
                return false;
            }
            plan.sceneScale = static_cast<float>(scale);
        } else if (arg == "--data") {
            if (!value(plan.dataDir)) return false;
        } else if (arg == "--gl") {
            if (!value(v) || (v != "xvfb" && v != "egl")) {
                error = "--gl is xvfb or egl";
                return false;
            }
            plan.gl = v == "egl" ? CaptureGl::Egl : CaptureGl::Xvfb;
        } else if (arg == "--preset") {
            if (!value(v)) return false;
            if (v != "compo") {
                error = "--preset is compo";
                return false;
            }
            plan.compo = true;
        } else if (arg == "--crf") {
            long crf = 0;
            if (!value(v) || !readInteger(v, 0, 51, crf)) {
                error = "--crf is a whole number from 0 to 51";
                return false;
            }
            plan.crf = static_cast<int>(crf);
            crfGiven = true;
        } else if (arg == "--bitrate" || arg == "--audio-bitrate") {
            const bool video = arg == "--bitrate";
            if (!value(v) || !(video ? readRate(v, 100e3, 1000e6) : readRate(v, 32e3, 512e3))) {
                error = video ? "--bitrate is a rate from 100k to 1000M, such as 12M"
                              : "--audio-bitrate is a rate from 32k to 512k, such as 256k";
                return false;
            }
            (video ? plan.bitrate : plan.audioBitrate) = v;
            (video ? bitrateGiven : audioGiven) = true;
        } else if (arg == "--preset-x264") {
            static const char* const presets[] = {"ultrafast", "superfast", "veryfast", "faster", "fast",
                                                  "medium", "slow", "slower", "veryslow", "placebo"};
            if (!value(v) || std::find(std::begin(presets), std::end(presets), v) == std::end(presets)) {
                error = "--preset-x264 is one of ultrafast, superfast, veryfast, faster, fast, medium, slow, "
                        "slower, veryslow, placebo";
                return false;
            }
            plan.x264Preset = v;
            x264Given = true;
        } else {
            error = "unknown argument '" + arg + "'";
            return false;
        }
    }
    if (joinGiven) {
        if (anyOtherGiven) {
            error = "--join takes only --out and --data: the parts carry the settings";
            return false;
        }
        if (!outGiven || plan.out.empty() || plan.out.back() == '/') {
            error = "--join writes a video: --out FILE.mp4";
            return false;
        }
        plan.output = CaptureOutput::Join;
        return true;
    }
    if (crfGiven && bitrateGiven) {
        error = "--crf and --bitrate are two ways to set the video's rate: give one";
        return false;
    }
    if (sheetGiven) {
        if (outGiven || stillsGiven || framesGiven) {
            error = "--contact-sheet takes no --out, --stills or --frames";
            return false;
        }
        plan.output = CaptureOutput::ContactSheet;
        if (!plan.sizeGiven) {
            plan.width = 320;
            plan.height = 180;
        }
    } else if (!outGiven || plan.out.empty()) {
        error = "--out is needed";
        return false;
    } else if (stillsGiven) {
        if (plan.out.back() != '/') {
            error = "stills go to a folder: --out DIR/";
            return false;
        }
        plan.output = CaptureOutput::Stills;
    } else {
        plan.output = plan.out.back() == '/' ? CaptureOutput::Frames : CaptureOutput::Video;
    }
    if (plan.compo) {
        if (plan.output != CaptureOutput::Video) {
            error = "--preset compo is for video: --out FILE.mp4";
            return false;
        }
        // 1080p60 unless told otherwise; --size stays free for quick checks.
        if (!fpsGiven) plan.fps = 60;
        if (!crfGiven) plan.crf = 16;
        if (!audioGiven) plan.audioBitrate = "256k";
        if (!x264Given) plan.x264Preset = "slow";
        plan.level = h264Level(plan.width, plan.height, plan.fps);
        if (plan.level.empty()) {
            error = "--preset compo: " + std::to_string(plan.width) + "x" + std::to_string(plan.height) + " at " +
                    std::to_string(plan.fps) + " fps is beyond H.264's highest level, 6.2";
            return false;
        }
    }
    if (!plan.toRowGiven) plan.toRow = endRow;
    if (plan.toRow < plan.fromRow) {
        error = "--to-row comes before --from-row";
        return false;
    }
    if (plan.resume && plan.parts == 0) {
        error = "--resume goes with --part";
        return false;
    }
    if (plan.parts > 0) {
        long first = 0, last = 0;
        if (plan.output != CaptureOutput::Video) {
            error = "--part is for video: --out FILE.mp4";
            return false;
        }
        if (!partFrames(plan, plan.part, plan.parts, first, last)) {
            writtenFrames(plan, first, last);
            const long spans = last < first ? 0 : (last - first) / keyframeInterval(plan) + 1;
            error = "--part: " + std::to_string(spans) + " span" + (spans == 1 ? "" : "s") +
                    " of 2 s in these frames, so at most " + std::to_string(spans) + " parts";
            return false;
        }
    }
    if (plan.output == CaptureOutput::ContactSheet) {
        const double cells = std::floor((plan.toRow - plan.fromRow) / plan.every) + 1;
        const double columns = std::min(6.0, cells), rows = std::ceil(cells / columns);
        const double bytes = columns * plan.width * rows * (plan.height + 14.0) * 4;
        if (bytes > maxSheetBytes) {
            error = "a sheet of " + std::to_string(static_cast<long>(cells)) + " cells of " + std::to_string(plan.width) +
                    "x" + std::to_string(plan.height) + " is over 256 MiB: raise --every or lower --size";
            return false;
        }
    }
    return true;
}

double frameSeconds(const CapturePlan& plan, long frame)
{
    return plan.fromRow / rowRate + static_cast<double>(frame) / plan.fps;
}

double frameRow(const CapturePlan& plan, long frame)
{
    return frameSeconds(plan, frame) * rowRate;
}

long frameCount(const CapturePlan& plan)
{
    long count = static_cast<long>(std::floor((plan.toRow - plan.fromRow) / rowRate * plan.fps)) + 1;
    // Guard the floor against rounding at the boundary.
    while (count > 1 && frameRow(plan, count - 1) > plan.toRow) --count;
    while (frameRow(plan, count) <= plan.toRow) ++count;
    // As the program does, the first frame past the last row is still shown.
    if (!plan.toRowGiven && plan.toRow >= endRow) ++count;
    return count;
}

void writtenFrames(const CapturePlan& plan, long& first, long& last)
{
    const long count = frameCount(plan);
    first = plan.firstFrame;
    last = plan.lastFrame < 0 ? count - 1 : std::min(plan.lastFrame, count - 1);
}

std::vector<double> contactRows(const CapturePlan& plan)
{
    std::vector<double> rows;
    for (long k = 0; plan.fromRow + k * plan.every <= plan.toRow; ++k) rows.push_back(plan.fromRow + k * plan.every);
    return rows;
}

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
