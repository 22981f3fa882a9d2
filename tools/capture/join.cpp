#include "join.h"

#include "cleanup.h"
#include "encoding.h"
#include "files.h"
#include "schedule.h"
#include "subprocess.h"

#include "demo/timeline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// ffprobe's listing of a part: a line a frame, so a long part stays well
// inside this.
constexpr size_t probeOutputLimit = size_t(64) << 20;

// Runs a program and waits for it; with `out`, keeps its standard output
// and standard error together, up to `limit` bytes. True when it exits 0.
// Its work is thrown away when the join ends early: SIGKILL ends it.
bool runProgram(const std::vector<std::string>& args, std::string* out = nullptr, size_t limit = 0)
{
    SubprocessOptions options;
    options.argv = args;
    options.input = SubprocessStream::Null;
    if (out) {
        options.output = SubprocessStream::Pipe;
        options.errorsToOutput = true;
    }
    options.endSignal = SIGKILL;
    Subprocess program;
    if (!program.start(options)) return false;
    const bool whole = !out || program.readOutput(*out, limit);
    return program.wait() == 0 && whole;
}

// What decoding a video finds in it: every frame of its picture counted,
// and what the decoder said of damage on the way.
struct Decoded {
    long frames = -1;
    int width = 0, height = 0;
    std::string rate;           // the picture's frame rate, "60/1"
    double audioSeconds = -1.0; // -1: no sound
    std::string comment;
    std::string damage;         // the decoder's first complaint, if any
};

bool decodeVideo(const std::string& path, Decoded& found)
{
    std::string listing;
    if (!runProgram({"ffprobe", "-v", "error", "-count_frames", "-show_entries",
                     "stream=codec_type,nb_read_frames,width,height,r_frame_rate,duration:format_tags=comment", "-of",
                     "default=noprint_wrappers=1", path},
                    &listing, probeOutputLimit)) {
        return false;
    }
    std::string type;
    for (size_t at = 0; at < listing.size();) {
        size_t eol = listing.find('\n', at);
        if (eol == std::string::npos) eol = listing.size();
        const std::string line = listing.substr(at, eol - at);
        at = eol + 1;
        const size_t equals = line.find('=');
        const std::string key = equals == std::string::npos ? "" : line.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : line.substr(equals + 1);
        if (key == "codec_type") {
            type = value;
        } else if (key == "TAG:comment") {
            found.comment = value;
        } else if (type == "video" && key == "nb_read_frames" && found.frames < 0) {
            found.frames = std::strtol(value.c_str(), nullptr, 10);
        } else if (type == "video" && key == "width") {
            found.width = std::atoi(value.c_str());
        } else if (type == "video" && key == "height") {
            found.height = std::atoi(value.c_str());
        } else if (type == "video" && key == "r_frame_rate") {
            found.rate = value;
        } else if (type == "audio" && key == "duration") {
            found.audioSeconds = std::strtod(value.c_str(), nullptr);
        } else if (type == "audio" || type == "video" || key == "duration" || key == "nb_read_frames" ||
                   key == "width" || key == "height" || key == "r_frame_rate") {
            continue;
        } else if (!line.empty() && found.damage.empty()) {
            found.damage = line;
        }
    }
    return true;
}

// The base name a part's siblings are named from: FILE.part2of3.mp4 -> FILE.mp4.
std::string renderName(const std::string& part)
{
    const size_t at = part.rfind(".part");
    return at == std::string::npos ? part : part.substr(0, at) + ".mp4";
}

// A path written into ffmpeg's concat list, quoted as that list quotes.
std::string listed(const std::string& path)
{
    std::string quoted = "file '";
    for (char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'\n";
}

} // namespace

bool readPart(const std::string& path, PartTag& tag, std::string& error)
{
    std::error_code code;
    if (!fs::is_regular_file(path, code)) {
        error = path + " is not a file";
        return false;
    }
    Decoded found;
    if (!decodeVideo(path, found)) {
        error = path + " cannot be read as a video (ffprobe)";
        return false;
    }
    if (!parsePartTag(found.comment, tag)) {
        error = path + " is not a part of a capture (no part tag in it)";
        return false;
    }
    if (!found.damage.empty()) {
        error = path + " is damaged: " + found.damage;
        return false;
    }
    // The tag is believed only as far as the picture bears it out.
    if (found.frames != tag.last - tag.first + 1) {
        error = path + " holds " + std::to_string(std::max(found.frames, 0L)) + " frames of its " +
                std::to_string(tag.last - tag.first + 1);
        return false;
    }
    if (found.rate != std::to_string(tag.plan.fps) + "/1") {
        error = path + " plays at " + found.rate + " frames a second, its tag says " + std::to_string(tag.plan.fps);
        return false;
    }
    if (found.width != tag.plan.width || found.height != tag.plan.height) {
        error = path + " is " + std::to_string(found.width) + "x" + std::to_string(found.height) + ", its tag says " +
                std::to_string(tag.plan.width) + "x" + std::to_string(tag.plan.height);
        return false;
    }
    return true;
}

bool partIsComplete(const CapturePlan& plan, const std::string& path, long first, long last, std::string& why)
{
    why.clear();
    std::error_code missing;
    if (!fs::exists(path, missing)) return false;
    PartTag tag, wanted;
    if (!readPart(path, tag, why)) return false;
    if (!parsePartTag(partTag(plan, plan.part, plan.parts, first, last), wanted)) {
        why = path + ": this render's tag does not read back";
        return false;
    }
    if (tag.text == wanted.text) return true;
    const std::string difference = partDifference(tag, wanted);
    why = path + " is of " + (difference.empty() ? "other frames" : difference);
    return false;
}

int joinParts(const CapturePlan& plan)
{
    auto fail = [](const std::string& message) {
        std::fprintf(stderr, "orvanta-capture: %s\n", message.c_str());
        return 1;
    };
    std::map<int, std::pair<std::string, PartTag>> parts;
    PartTag model;
    std::string modelPath;
    for (const std::string& path : plan.joined) {
        PartTag tag;
        std::string error;
        if (!readPart(path, tag, error)) return fail(error);
        if (modelPath.empty()) {
            model = tag;
            modelPath = path;
        } else if (tag.parts != model.parts) {
            return fail(path + " is part " + std::to_string(tag.part) + " of " + std::to_string(tag.parts) + ", " +
                        modelPath + " of " + std::to_string(model.parts));
        } else if (tag.job != model.job) {
            return fail(path + " is of " + partDifference(tag, model) + " than " + modelPath);
        }
        if (!parts.emplace(tag.part, std::make_pair(path, tag)).second) {
            return fail("part " + std::to_string(tag.part) + " is given twice: " + parts[tag.part].first + " and " + path);
        }
    }
    for (int k = 1; k <= model.parts; ++k) {
        if (!parts.count(k)) {
            return fail("part " + std::to_string(k) + " of " + std::to_string(model.parts) + " is missing (" +
                        partPath(renderName(modelPath), k, model.parts) + ")");
        }
    }
    long next = model.plan.firstFrame;
    for (const auto& [k, part] : parts) {
        if (part.second.first != next) {
            return fail(part.first + " holds frames " + std::to_string(part.second.first) + "-" +
                        std::to_string(part.second.last) + ", not from frame " + std::to_string(next));
        }
        next = part.second.last + 1;
    }
    if (next != model.plan.lastFrame + 1) return fail("the parts end at frame " + std::to_string(next - 1));
    // The music joined to them is the demo's as it is now: the parts must
    // show that state of it.
    PartTag now = model;
    now.plan.shown = plan.shown;
    const std::string difference = partDifference(model, now);
    if (!difference.empty()) {
        const std::string demo = plan.demoFolder.empty() ? plan.dataDir : plan.demoFolder;
        return fail("the parts show " + difference + " than " + demo + " holds now; render them again, or join "
                    "them where the demo is as they show it");
    }

    const std::string tune = (fs::path(plan.dataDir) / "tune.ogg").string();
    std::vector<std::string> inputs = plan.joined;
    inputs.push_back(tune);
    const std::string input = inputWrittenBy(plan.out, inputs);
    if (!input.empty()) return fail("the output " + plan.out + " is the input " + input);

    std::string list;
    for (const auto& [k, part] : parts) list += listed(fs::absolute(part.first).string());
    // ffmpeg reads the list and writes the video under names this run made
    // exclusively beside the output, where a join killed outright may have
    // left its own.
    for (const char* suffix : {".txt", ".mp4"}) sweepStaleTemporaries(plan.out, suffix);
    TemporaryFile listFile, video;
    std::string error;
    if (!createTemporary(plan.out, ".txt", listFile, error) || !createTemporary(plan.out, ".mp4", video, error)) {
        discardTemporary(listFile);
        return fail(error);
    }
    // The video's descriptor stays open, holding its lock, until it is
    // renamed or removed.
    const bool listWritten = write(listFile.fd, list.data(), list.size()) == static_cast<ssize_t>(list.size());
    const long frames = model.plan.lastFrame - model.plan.firstFrame + 1;
    char seconds[64], duration[64];
    std::snprintf(seconds, sizeof seconds, "%.6f", frameSeconds(model.plan, model.plan.firstFrame));
    std::snprintf(duration, sizeof duration, "%.6f", static_cast<double>(frames) / model.plan.fps);
    std::vector<std::string> args = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y",
                                     "-f", "concat", "-safe", "0", "-i", listFile.path,
                                     "-ss", seconds, "-t", duration, "-i", tune,
                                     "-map", "0:v", "-map", "1:a", "-c:v", "copy"};
    for (const std::string& option : audioEncoderOptions(model.plan)) args.push_back(option);
    args.insert(args.end(), {"-movflags", "+faststart", "-f", "mp4", video.path});
    const bool joined = listWritten && runProgram(args);
    discardTemporary(listFile);
    if (!joined) {
        discardTemporary(video);
        return fail("ffmpeg could not join the parts into " + plan.out);
    }
    // What was written is counted before it takes the output's name.
    Decoded written;
    std::string problem;
    if (!decodeVideo(video.path, written)) {
        problem = "cannot be read back";
    } else if (!written.damage.empty()) {
        problem = "is damaged: " + written.damage;
    } else if (written.frames != frames) {
        problem = "holds " + std::to_string(std::max(written.frames, 0L)) + " frames of " + std::to_string(frames);
    } else if (std::fabs(written.audioSeconds - static_cast<double>(frames) / model.plan.fps) >
               1.0 / model.plan.fps + 1e-6) {
        char text[128];
        std::snprintf(text, sizeof text, "has %.3f s of sound for %.3f s of video", written.audioSeconds,
                      static_cast<double>(frames) / model.plan.fps);
        problem = text;
    }
    if (!problem.empty()) {
        discardTemporary(video);
        return fail("the joined video " + problem + "; " + plan.out + " is not written");
    }
    if (!commitTemporary(video, plan.out, error)) return fail(error);
    std::fprintf(stderr, "orvanta-capture: joined %d parts, frames %ld-%ld (%ld frames, %.2f s at %d fps), into %s\n",
                 model.parts, model.plan.firstFrame, model.plan.lastFrame, frames,
                 static_cast<double>(frames) / model.plan.fps, model.plan.fps, plan.out.c_str());
    return 0;
}
