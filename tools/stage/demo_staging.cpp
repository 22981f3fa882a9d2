#include "demo_staging.h"

#include "files.h"
#include "score.h"
#include "platform/audio/decode.h"
#include "subprocess.h"
#include "track_text.h"
#include "tune_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

bool linkInto(const std::string& staging, const std::string& name, const std::string& target, std::string& error,
              bool copy = false)
{
    const std::string link = staging + "/" + name;
    if (copy) {
        std::string bytes;
        return readWholeFile(target, bytes, error, dataFileLimit) && writeFileAtomically(link, bytes, error);
    }
    if (symlink(target.c_str(), link.c_str()) != 0) {
        error = "cannot link " + link + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool run(const std::vector<std::string>& argv, const std::string& what, std::string& error)
{
    SubprocessOptions options;
    options.argv = argv;
    options.output = SubprocessStream::Null;
    Subprocess child;
    if (!child.start(options) || child.wait() != 0) {
        error = what;
        return false;
    }
    return true;
}

// tunegen's render of `score` into `out`, its "progress N%" lines passed on
// as they come, a tenth at a time.
bool render(const std::string& score, const std::string& out, const StagingProgress& progress, std::string& error)
{
    SubprocessOptions options;
    options.argv = {besideThisProgram("tunegen"), score, "-o", out, "--progress"};
    options.output = SubprocessStream::Pipe;
    Subprocess child;
    if (!child.start(options)) {
        error = score + ": tunegen could not be started";
        return false;
    }
    std::string pending;
    int told = -10;
    char chunk[512];
    for (;;) {
        const ssize_t n = read(child.output(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        pending.append(chunk, static_cast<size_t>(n));
        for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
            int percent = 0;
            if (std::sscanf(pending.c_str(), "progress %d%%", &percent) == 1 && percent >= told + 10 && progress) {
                told = percent;
                progress(score + ": rendering the tune, " + std::to_string(percent) + "%");
            }
        }
        if (pending.size() > 4096) pending.clear();
    }
    if (child.wait() != 0) {
        error = score + ": tunegen could not render it";
        return false;
    }
    return true;
}

bool endsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

FileReader textFileReader()
{
    return [](const std::string& path, std::string& bytes, std::string& why) {
        return readWholeFile(path, bytes, why, textFileLimit);
    };
}

bool musicCoversDemo(const DemoFolder& demo, std::string& error)
{
    const DemoManifest& m = demo.manifest;
    const std::string manifest = demo.folder + "/demo.toml", music = demo.folder + "/" + m.music;
    double rows = 0;
    if (endsWith(m.music, ".ogg")) {
        DecodedAudio audio;
        if (!decodeOggVorbis(music, audio) || audio.rate == 0 || audio.channels == 0) {
            error = music + ": not Ogg Vorbis audio that can be played";
            return false;
        }
        rows = static_cast<double>(audio.samples.size() / audio.channels) / audio.rate * demo.description.rowRate;
    } else {
        std::string text;
        if (!readWholeFile(music, text, error, textFileLimit)) return false;
        Song song;
        ScoreError scoreError;
        if (!parseScore(text, music, song, scoreError)) {
            error = scoreError.describe();
            return false;
        }
        if (song.tempo != m.bpm || song.rowsPerBeat != m.rowsPerBeat) {
            char line[160];
            std::snprintf(line, sizeof line, ": the score plays %g BPM at %d rows a beat, the manifest says %g at %d",
                          song.tempo, song.rowsPerBeat, m.bpm, m.rowsPerBeat);
            error = manifest + line;
            return false;
        }
        rows = song.rows;
    }
    if (m.endRow > rows + 1e-9) {
        char line[160];
        std::snprintf(line, sizeof line, ": end_row %g is past the music, which covers rows 0 to %.1f", m.endRow, rows);
        error = manifest + line;
        return false;
    }
    return true;
}

bool stageDemoFolder(const std::string& folderGiven, const std::string& staging, StagedDemo& staged, std::string& error,
                     bool copies, const StagingProgress& progress)
{
    const std::string folder = fs::absolute(folderGiven).lexically_normal().string();
    if (!readDemoFolder(folder, textFileReader(), staged.demo, error) || !musicCoversDemo(staged.demo, error)) return false;
    const DemoDescription& d = staged.demo.description;
    const DemoManifest& m = staged.demo.manifest;
    staged.inputs = {folder + "/demo.toml", folder + "/" + m.tracks, folder + "/" + m.music};
    if (copies) {
        std::error_code made;
        fs::create_directories(staging + "/demo", made);
        if (!linkInto(staging, "demo/demo.toml", folder + "/demo.toml", error, true)) return false;
    }
    std::vector<std::string> shaders;
    if (!shadersBesideManifest(staged.demo, shaders, error)) return false;
    for (const std::string& file : shaders) {
        if (!linkInto(staging, file, folder + "/" + file, error, copies)) return false;
        if (copies && !linkInto(staging, "demo/" + file, folder + "/" + file, error, true)) return false;
        staged.inputs.push_back(folder + "/" + file);
    }

    std::string text;
    if (!readWholeFile(folder + "/" + m.tracks, text, error, textFileLimit)) return false;
    std::vector<TextTrack> tracks;
    TextError parseError;
    if (!parseTrackText(text, folder + "/" + m.tracks, tracks, parseError)) {
        error = parseError.describe();
        return false;
    }
    std::vector<std::pair<std::string, std::string>> files;
    for (size_t t = 0; t < d.tracks.size(); ++t) {
        std::vector<TrackKey> keys;
        for (const TextTrack& track : tracks) {
            if (track.name == d.tracks[t].name) keys = track.keys;
        }
        const UniformRange& range = staged.demo.ranges[t];
        if (keys.empty() && range.given) keys.push_back({0, range.initial[0], 0});
        files.emplace_back(staging + "/sync_" + d.tracks[t].name + ".track", encodeTrackFile(keys));
    }
    if (!writeFilesAtomically(files, error)) return false;

    const std::string music = folder + "/" + m.music;
    if (endsWith(m.music, ".ogg")) {
        if (!linkInto(staging, "tune.ogg", music, error, copies)) return false;
    } else {
        // The folder's tune where it is the render of the score as it is now,
        // by this synthesizer; its date says nothing of that.
        const std::string tune = folder + "/tune.ogg";
        std::string score;
        if (!readWholeFile(music, score, error, textFileLimit)) return false;
        if (tuneRendersScore(tune, score)) {
            if (!linkInto(staging, "tune.ogg", tune, error, copies)) return false;
        } else if (!render(music, staging + "/tune.ogg", progress, error)) {
            return false;
        }
    }
    if (!m.logo.empty()) {
        staged.inputs.push_back(folder + "/" + m.logo);
        return linkInto(staging, "logo.png", folder + "/" + m.logo, error, copies);
    }
    const std::string word = m.logoText.empty() ? m.name : m.logoText;
    return run({besideThisProgram("logogen"), ORVANTA_LOGO_FONT, "-o", staging + "/logo.png", "--text", word},
               folder + "/demo.toml: logogen could not draw '" + word + "'", error);
}
