#include "options.h"

#include "track_text.h"

#include "render/demo_manifest.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

const char* const liveUsage =
    "Usage: orvanta-live [DEMO] [OPTION]...\n"
    "Plays a demo in a window and reloads every file of it as it is saved; edits its tracks.\n"
    "  DEMO                a demo folder (demo.toml, with its shaders beside it): plays it\n"
    "                      and edits its tracks text, its music rendered from its score;\n"
    "                      without it, Orvanta from the data folders\n"
    "  --data DIR          where shaders, logo.png, tune.ogg and .track files come from\n"
    "                      (default: the installed demo's data where this program is\n"
    "                      installed, else .); given more than once, each file comes\n"
    "                      from the first folder that has it. Every folder is watched.\n"
    "  --tracks FILE       track text that replaces the .track files; reloaded on save\n"
    "  --score FILE        score rendered by tunegen into tune.ogg whenever it is saved\n"
    "  --window WxH        window size, 16x16 to 16384x16384 (default 1280x720)\n"
    "  --fullscreen        the whole screen instead of a window\n"
    "  --resolution WxH    draws the frame at this size, 16x16 to 16384x16384, scaled to\n"
    "                      the window. Without it the size follows the frame rate: it\n"
    "                      drops until 15 frames a second or more hold (to 180 lines\n"
    "                      at the least) and rises again when there is room\n"
    "  --scene-scale S     scale of the first scene pass against the frame, 0.1 to 1;\n"
    "                      without it the scale follows the frame rate (1 to 0.5)\n"
    "  --from POS          where to start (positions: rows, or bar:beat:row as in the\n"
    "                      track text)\n"
    "  --loop A:B          plays A to B over and over\n"
    "  --vsync on|off      waits for the display's refresh at each frame (default on)\n"
    "  --help              this text\n"
    "Shaders, track texts and scores are read up to 8 MiB, logos up to 64 MiB and 8192\n"
    "pixels a side; a larger file keeps the last good version.\n"
    "\nThe keys, the mouse and the commands follow, from the tables the window's help\n"
    "(h) and the command line use.\n";

namespace {

bool sizeValue(const std::string& text, int& width, int& height)
{
    char tail = 0;
    return std::sscanf(text.c_str(), "%dx%d%c", &width, &height, &tail) == 2 && width >= 16 && height >= 16 &&
           width <= 16384 && height <= 16384;
}

} // namespace

bool parseLivePosition(const std::string& word, double& row, std::string& error, double lastRow)
{
    int32_t whole = 0;
    std::string message;
    if (!parseTrackPosition(word, whole, message)) {
        error = message;
        return false;
    }
    if (whole < 0 || whole > lastRow) {
        error = "position '" + word + "' lies outside the run, rows 0 to " + std::to_string(static_cast<int>(lastRow));
        return false;
    }
    row = whole;
    return true;
}

bool parseLiveSpan(const std::string& word, double& from, double& to, std::string& error, double lastRow)
{
    std::vector<size_t> colons;
    for (size_t at = word.find(':'); at != std::string::npos; at = word.find(':', at + 1)) colons.push_back(at);
    size_t split = std::string::npos;
    if (colons.size() == 1) split = colons[0];
    if (colons.size() == 5) split = colons[2];
    if (split == std::string::npos) {
        error = "--loop is A:B, both rows (384:640) or both bar:beat:row (24:0:0:40:0:0)";
        return false;
    }
    if (!parseLivePosition(word.substr(0, split), from, error, lastRow) ||
        !parseLivePosition(word.substr(split + 1), to, error, lastRow)) {
        return false;
    }
    if (!(from < to)) {
        error = "--loop needs A before B";
        return false;
    }
    return true;
}

bool parseLiveOptions(int argc, char** argv, LiveOptions& options, std::string& error)
{
    bool windowGiven = false;
    std::string fromText, loopText; // read once the run's length is known
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            return true;
        }
        if (arg == "--fullscreen") {
            options.fullScreen = true;
            continue;
        }
        if (!arg.empty() && arg[0] != '-') {
            if (!options.demoFolder.empty()) return error = "one demo folder at a time ('" + arg + "' is a second)", false;
            options.demoFolder = arg;
            continue;
        }
        const bool takesValue = arg == "--data" || arg == "--tracks" || arg == "--score" || arg == "--window" ||
                                arg == "--resolution" || arg == "--scene-scale" || arg == "--from" || arg == "--loop" || arg == "--vsync";
        if (!takesValue) {
            error = "unknown argument '" + arg + "'";
            return false;
        }
        if (i + 1 >= argc) {
            error = arg + " needs a value";
            return false;
        }
        const std::string value = argv[++i];
        if (arg == "--data") {
            options.dataFolders.push_back(value);
        } else if (arg == "--tracks") {
            options.tracks = value;
        } else if (arg == "--score") {
            options.score = value;
        } else if (arg == "--window") {
            if (!sizeValue(value, options.width, options.height)) {
                error = "--window is WxH, 16x16 to 16384x16384";
                return false;
            }
            windowGiven = true;
        } else if (arg == "--resolution") {
            if (!sizeValue(value, options.frameWidth, options.frameHeight)) {
                error = "--resolution is WxH, 16x16 to 16384x16384";
                return false;
            }
        } else if (arg == "--scene-scale") {
            char* end = nullptr;
            errno = 0;
            const double scale = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0' || errno != 0 || !(scale >= 0.1 && scale <= 1.0)) {
                error = "--scene-scale runs from 0.1 to 1";
                return false;
            }
            options.sceneScale = static_cast<float>(scale);
            options.sceneScaleGiven = true;
        } else if (arg == "--from") {
            fromText = value;
        } else if (arg == "--loop") {
            loopText = value;
        } else if (value == "on" || value == "off") {
            options.vsync = value == "on";
        } else {
            error = "--vsync is on or off";
            return false;
        }
    }
    const double lastRow = options.demoFolder.empty() ? endRow : manifestMostEndRow;
    if (!fromText.empty() && !parseLivePosition(fromText, options.fromRow, error, lastRow)) {
        error = "--from: " + error;
        return false;
    }
    if (!loopText.empty()) {
        if (!parseLiveSpan(loopText, options.loopFrom, options.loopTo, error, lastRow)) return false;
        options.loop = true;
    }
    if (windowGiven && options.fullScreen) {
        error = "--window and --fullscreen exclude each other";
        return false;
    }
    if (options.dataFolders.empty() && options.demoFolder.empty()) options.dataFolders.push_back(options.defaultDataFolder);
    if (options.loop && (options.fromRow < options.loopFrom || options.fromRow > options.loopTo)) {
        options.fromRow = options.loopFrom;
    }
    return true;
}

bool checkLivePositions(const LiveOptions& options, double lastRow, std::string& error)
{
    for (const double row : {options.fromRow, options.loop ? options.loopTo : 0.0}) {
        if (row > lastRow) {
            error = "--from and --loop lie inside the run, rows 0 to " + std::to_string(static_cast<int>(lastRow));
            return false;
        }
    }
    return true;
}
