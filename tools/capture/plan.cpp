#include "plan.h"

#include "encoding.h"
#include "options.h"
#include "schedule.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace {

// Raw RGBA of a contact sheet, before PNG compression.
constexpr double maxSheetBytes = 256.0 * 1024 * 1024;

} // namespace

std::string captureDemoFolder(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const CaptureOption* option = findCaptureOption(arg);
        if (!option) {
            if (!arg.empty() && arg[0] != '-') return arg;
            continue;
        }
        if (option->values == OptionValues::One) {
            ++i;
        } else if (option->values == OptionValues::Many) {
            while (i + 1 < argc && std::string(argv[i + 1]).rfind("--", 0) != 0) ++i;
        }
    }
    return "";
}

bool parseCapturePlan(int argc, char** argv, CapturePlan& plan, std::string& error)
{
    std::set<std::string> given;
    bool anyOtherGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const CaptureOption* option = findCaptureOption(arg);
        if (!option && !arg.empty() && arg[0] != '-') {
            if (!plan.demoFolder.empty()) {
                error = "one demo folder at a time ('" + arg + "' is a second)";
                return false;
            }
            plan.demoFolder = arg;
            continue;
        }
        if (!option) {
            error = "unknown argument '" + arg + "'";
            return false;
        }
        if (arg != "--out" && arg != "--data" && arg != "--join") anyOtherGiven = true;
        std::vector<std::string> values;
        if (option->values == OptionValues::One) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            values.push_back(argv[++i]);
        } else if (option->values == OptionValues::Many) {
            // Up to the next option, and one past the most it takes, so
            // that its reader can say so.
            while (i + 1 < argc && std::string(argv[i + 1]).rfind("--", 0) != 0 &&
                   values.size() <= static_cast<size_t>(maxCaptureParts)) {
                values.push_back(argv[++i]);
            }
        }
        if (!option->read(values, plan, error)) return false;
        given.insert(arg);
    }
    const bool outGiven = given.count("--out"), stillsGiven = given.count("--stills");
    const bool sheetGiven = given.count("--contact-sheet"), framesGiven = given.count("--frames");
    const bool fpsGiven = given.count("--fps"), crfGiven = given.count("--crf"), bitrateGiven = given.count("--bitrate");
    const bool audioGiven = given.count("--audio-bitrate"), x264Given = given.count("--preset-x264");
    const bool joinGiven = given.count("--join");
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
    if (!plan.toRowGiven) plan.toRow = plan.endRow;
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

