#include "options.h"

#include "demo/timeline.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>

namespace {

constexpr size_t maxStills = 1000;

std::string lastRowText(const CapturePlan& plan)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", plan.endRow);
    return text;
}

std::string printed(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

bool fail(std::string& error, const std::string& message)
{
    error = message;
    return false;
}

// A row of --from-row, --to-row or --every.
bool readRow(const std::string& name, const std::string& text, const CapturePlan& plan, double& row, std::string& error)
{
    if (!readNumber(text, row) || row < 0 || row > plan.endRow) {
        return fail(error, name + " is a row from 0 to " + lastRowText(plan));
    }
    return true;
}

using Values = std::vector<std::string>;

const std::vector<CaptureOption> table = {
    {"--out", "FILE.mp4", OptionValues::One,
     "H.264 video with the music (through ffmpeg), converted and\ntagged BT.709",
     [](const Values& v, CapturePlan& plan, std::string&) {
         plan.out = v[0];
         return true;
     },
     nullptr, nullptr},
    {"--out", "DIR/", OptionValues::One, "numbered PNG frames (frame_000000.png, ...) in DIR", nullptr, nullptr, nullptr},
    {"--size", "WxH", OptionValues::One,
     "picture size, even, 16x16 to 8192x8192 (default 1920x1080;\n320x180 for a contact sheet's cells)",
     [](const Values& v, CapturePlan& plan, std::string& error) {
         int w = 0, h = 0;
         char tail = 0;
         if (std::sscanf(v[0].c_str(), "%dx%d%c", &w, &h, &tail) != 2 || w < 16 || h < 16 || w > 8192 || h > 8192 ||
             w % 2 || h % 2) {
             return fail(error, "--size is WxH, even, 16 to 8192");
         }
         plan.width = w;
         plan.height = h;
         plan.sizeGiven = true;
         return true;
     },
     "size", [](const CapturePlan& plan) { return std::to_string(plan.width) + "x" + std::to_string(plan.height); }},
    {"--fps", "N", OptionValues::One, "frames a second, 1 to 240 (default 60)",
     [](const Values& v, CapturePlan& plan, std::string& error) {
         long fps = 0;
         if (!readInteger(v[0], 1, 240, fps)) return fail(error, "--fps is a whole number from 1 to 240");
         plan.fps = static_cast<int>(fps);
         return true;
     },
     "fps", [](const CapturePlan& plan) { return std::to_string(plan.fps); }},
    {"--from-row", "A", OptionValues::One,
     "the first row (default 0); rows run from 0 to 1147.5, the last\nrow of the music",
     [](const Values& v, CapturePlan& plan, std::string& error) { return readRow("--from-row", v[0], plan, plan.fromRow, error); },
     "from-row", [](const CapturePlan& plan) { return printed("%.17g", plan.fromRow); }},
    {"--to-row", "B", OptionValues::One,
     "the last row (default: the end, with the first frame past it,\nas the demo shows it)",
     [](const Values& v, CapturePlan& plan, std::string& error) {
         plan.toRowGiven = true;
         return readRow("--to-row", v[0], plan, plan.toRow, error);
     },
     nullptr, nullptr},
    {"--frames", "A:B", OptionValues::One, "only frames A to B of the whole capture, to render it in parts",
     [](const Values& v, CapturePlan& plan, std::string& error) {
         const size_t colon = v[0].find(':');
         if (colon == std::string::npos || !readInteger(v[0].substr(0, colon), 0, 100000000, plan.firstFrame) ||
             !readInteger(v[0].substr(colon + 1), 0, 100000000, plan.lastFrame) || plan.lastFrame < plan.firstFrame) {
             return fail(error, "--frames is A:B with 0 <= A <= B");
         }
         return true;
     },
     nullptr, nullptr},
    {"--part", "K/N", OptionValues::One,
     "part K of N of the frames, split on keyframes (one every 2 s),\nvideo alone, into FILE.partKofN.mp4 (K padded "
     "to N's width),\nwith its own run-up; N is at most 1000 and at most the count\nof 2 s spans in the frames",
     [](const Values& v, CapturePlan& plan, std::string& error) {
         const size_t slash = v[0].find('/');
         long part = 0, parts = 0;
         if (slash == std::string::npos || !readInteger(v[0].substr(slash + 1), 1, maxCaptureParts, parts) ||
             !readInteger(v[0].substr(0, slash), 1, parts, part)) {
             return fail(error, "--part is K/N with 1 <= K <= N <= " + std::to_string(maxCaptureParts));
         }
         plan.part = static_cast<int>(part);
         plan.parts = static_cast<int>(parts);
         return true;
     },
     nullptr, nullptr},
    {"--resume", "", OptionValues::None,
     "with --part: a part file that is complete, of the same\nsettings, is kept instead of rendered again",
     [](const Values&, CapturePlan& plan, std::string&) {
         plan.resume = true;
         return true;
     },
     nullptr, nullptr},
    {"--join", "PART...", OptionValues::Many,
     "all the parts of one render, in any order, joined into --out\nwith the music (the video copied, not encoded again)",
     [](const Values& v, CapturePlan& plan, std::string& error) {
         if (v.size() > static_cast<size_t>(maxCaptureParts)) {
             return fail(error, "--join takes at most " + std::to_string(maxCaptureParts) + " parts");
         }
         if (v.empty()) return fail(error, "--join needs the parts");
         plan.joined = v;
         return true;
     },
     nullptr, nullptr},
    {"--stills", "ROWS", OptionValues::One, "one PNG a row, named row_ROW.png, at most 1000 rows",
     [](const Values& v, CapturePlan& plan, std::string& error) {
         const std::string& rows = v[0];
         for (size_t start = 0; start <= rows.size();) {
             const size_t comma = rows.find(',', start);
             const std::string row = rows.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
             double parsed = 0;
             if (!readNumber(row, parsed) || parsed < 0 || parsed > plan.endRow) {
                 return fail(error, "--stills takes rows from 0 to " + lastRowText(plan) + ", separated by commas");
             }
             if (plan.stills.size() == maxStills) {
                 return fail(error, "--stills takes at most " + std::to_string(maxStills) + " rows");
             }
             plan.stills.push_back(row);
             if (comma == std::string::npos) break;
             start = comma + 1;
         }
         return true;
     },
     nullptr, nullptr},
    {"--contact-sheet", "F", OptionValues::One, "small labelled stills on a grid, at most 256 MiB of pixels",
     [](const Values& v, CapturePlan& plan, std::string&) {
         plan.out = v[0];
         return true;
     },
     nullptr, nullptr},
    {"--every", "ROWS", OptionValues::One, "a contact sheet's cell every this many rows (default 16, at least 1)",
     [](const Values& v, CapturePlan& plan, std::string& error) {
         double row = 0;
         if (!readRow("--every", v[0], plan, row, error)) return false;
         if (row < 1) return fail(error, "--every is at least 1 row");
         plan.every = row;
         return true;
     },
     nullptr, nullptr},
    {"--scene-scale", "S", OptionValues::One, "scale of the first scene pass, 0.1 to 1 (default 1)",
     [](const Values& v, CapturePlan& plan, std::string& error) {
         double scale = 0;
         if (!readNumber(v[0], scale) || scale < 0.1 || scale > 1.0) return fail(error, "--scene-scale runs from 0.1 to 1");
         plan.sceneScale = static_cast<float>(scale);
         return true;
     },
     "scene-scale", [](const CapturePlan& plan) { return printed("%.9g", static_cast<double>(plan.sceneScale)); }},
    {"--preset", "compo", OptionValues::One,
     "video for a competition: 1920x1080 at 60 fps, H.264 High at\nlevel 4.2, CRF 16 capped at 24 Mbit/s, AAC 256 "
     "kbit/s at 48 kHz;\na larger size or rate takes the level it needs, up to 6.2",
     [](const Values& v, CapturePlan& plan, std::string& error) {
         if (v[0] != "compo") return fail(error, "--preset is compo");
         plan.compo = true;
         return true;
     },
     nullptr, nullptr},
    {"--crf", "N", OptionValues::One, "constant quality, 0 to 51 (default 18; compo 16)",
     [](const Values& v, CapturePlan& plan, std::string& error) {
         long crf = 0;
         if (!readInteger(v[0], 0, 51, crf)) return fail(error, "--crf is a whole number from 0 to 51");
         plan.crf = static_cast<int>(crf);
         return true;
     },
     "crf", [](const CapturePlan& plan) { return std::to_string(plan.crf); }},
    {"--bitrate", "RATE", OptionValues::One,
     "an average video rate, 100k to 1000M, such as 12M, instead of\nconstant quality (not with --crf)",
     [](const Values& v, CapturePlan& plan, std::string& error) {
         if (!readRate(v[0], 100e3, 1000e6)) return fail(error, "--bitrate is a rate from 100k to 1000M, such as 12M");
         plan.bitrate = v[0];
         return true;
     },
     "bitrate", [](const CapturePlan& plan) { return plan.bitrate.empty() ? std::string("-") : plan.bitrate; }},
    {"--preset-x264", "NAME", OptionValues::One,
     "x264's speed preset, ultrafast to placebo (default medium;\ncompo slow)",
     [](const Values& v, CapturePlan& plan, std::string& error) {
         static const char* const presets[] = {"ultrafast", "superfast", "veryfast", "faster", "fast",
                                               "medium", "slow", "slower", "veryslow", "placebo"};
         if (std::find(std::begin(presets), std::end(presets), v[0]) == std::end(presets)) {
             return fail(error, "--preset-x264 is one of ultrafast, superfast, veryfast, faster, fast, medium, slow, "
                                "slower, veryslow, placebo");
         }
         plan.x264Preset = v[0];
         return true;
     },
     "x264", [](const CapturePlan& plan) { return plan.x264Preset; }},
    {"--audio-bitrate", "R", OptionValues::One, "AAC rate, 32k to 512k (default 192k)",
     [](const Values& v, CapturePlan& plan, std::string& error) {
         if (!readRate(v[0], 32e3, 512e3)) return fail(error, "--audio-bitrate is a rate from 32k to 512k, such as 256k");
         plan.audioBitrate = v[0];
         return true;
     },
     "audio", [](const CapturePlan& plan) { return plan.audioBitrate; }},
    {"--data", "DIR", OptionValues::One, "the run folder to read (default: the installed demo's data where\nthis program is installed, else the current directory)",
     [](const Values& v, CapturePlan& plan, std::string&) {
         plan.dataDir = v[0];
         return true;
     },
     nullptr, nullptr},
    {"--gl", "xvfb|egl", OptionValues::One,
     "render in an X server of its own (Xvfb, the default where it is\ninstalled) or through EGL without X: on a GPU "
     "where there is one,\nelse on Mesa's surfaceless platform",
     [](const Values& v, CapturePlan& plan, std::string& error) {
         if (v[0] != "xvfb" && v[0] != "egl") return fail(error, "--gl is xvfb or egl");
         plan.gl = v[0] == "egl" ? CaptureGl::Egl : CaptureGl::Xvfb;
         return true;
     },
     nullptr, nullptr},
    {"--help", "", OptionValues::None, "this text", nullptr, nullptr, nullptr},
};

const char* const synopsis =
    "Usage: orvanta-capture [DEMO] --out FILE.mp4 [OPTION]...\n"
    "  or:  orvanta-capture [DEMO] --out FILE.mp4 --part K/N [--resume] [OPTION]...\n"
    "  or:  orvanta-capture [DEMO] --join PART... --out FILE.mp4 [--data DIR]\n"
    "  or:  orvanta-capture [DEMO] --out DIR/ [OPTION]...\n"
    "  or:  orvanta-capture [DEMO] --stills ROW[,ROW...] --out DIR/ [OPTION]...\n"
    "  or:  orvanta-capture [DEMO] --contact-sheet FILE.png [--every ROWS] [OPTION]...\n"
    "Renders the demo offline at a fixed frame rate, in an X server of its own.\n"
    "Any form takes a demo folder, DEMO (its demo.toml, with its shaders beside it), to\n"
    "render instead of Orvanta from --data: its score is rendered first where its\n"
    "tune.ogg is missing or older, and rows are read on its timeline.\n";

} // namespace

const std::vector<CaptureOption>& captureOptions()
{
    return table;
}

const CaptureOption* findCaptureOption(const std::string& name)
{
    for (const CaptureOption& option : table) {
        if (option.read && name == option.name) return &option;
    }
    return nullptr;
}

const std::string& captureUsageText()
{
    static const std::string text = [] {
        // Each option's name and value in a column of 20, its description
        // beside it, wrapped lines under the description.
        std::string out = synopsis;
        for (const CaptureOption& option : table) {
            std::string column = std::string(option.name) + (*option.value ? std::string(" ") + option.value : "");
            column.resize(std::max<size_t>(column.size() + 1, 20), ' ');
            std::string usage = option.usage;
            for (size_t at = 0; (at = usage.find('\n', at)) != std::string::npos; at += 23) usage.insert(at + 1, 22, ' ');
            out += "  " + column + usage + "\n";
        }
        return out;
    }();
    return text;
}

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

