// The live player's tunegen: the score rendered in the background after a
// save, the bars under way first so that the change is heard within a
// second or two, a newer save ending an older render, the child ending with
// the player.
#include "live.h"

#include "cleanup.h"
#include "files.h"
#include "score.h"
#include "synth.h"

#include "demo/clock.h"
#include "demo/timeline.h"

#include <algorithm>
#include <cmath>
#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace live {

namespace {

constexpr int quickBars = 3; // the first stage's length

std::string scoreName()
{
    return fs::path(LIVE.files.score).filename().string();
}

double secondsSinceSave()
{
    return std::chrono::duration<double>(Clock::now() - LIVE.tunegen.savedAt).count();
}

std::string describeStage()
{
    const Tunegen& t = LIVE.tunegen;
    switch (t.stage) {
    case Tunegen::Stage::Bars:
        return "the bars under way, rows " + std::to_string(t.fromRow) + " to " + std::to_string(t.toRow);
    case Tunegen::Stage::Section:
        return "the rest of the section, rows " + std::to_string(t.fromRow) + " to " + std::to_string(t.toRow);
    case Tunegen::Stage::Tune:
        break;
    }
    return "the whole tune";
}

void showStatus()
{
    Tunegen& t = LIVE.tunegen;
    t.status = "rendering the tune: " + describeStage() + "  " + std::to_string(t.progress) + "%";
}

// Starts tunegen with `arguments` after the score; its output goes to
// `output`, through a temporary that tunegen makes and removes itself when
// it is ended (on SIGTERM, which it also gets when the player dies).
bool spawn(Tunegen::Stage stage, const std::vector<std::string>& arguments, const std::string& output)
{
    Tunegen& t = LIVE.tunegen;
    SubprocessOptions options;
    options.argv = {besideThisProgram("tunegen"), t.score, "-o", output, "--progress"};
    options.argv.insert(options.argv.end(), arguments.begin(), arguments.end());
    options.output = SubprocessStream::Pipe;
    options.errorsToOutput = true;
    // The whole tune is background work: the frames come first.
    if (stage == Tunegen::Stage::Tune) options.niceness = 10;
    // Ended with the player, and so its unfinished output removed, however
    // the player ends.
    options.endSignal = SIGTERM;
    if (!t.child.start(options)) return false;
    t.stage = stage;
    t.output = output;
    fcntl(t.child.output(), F_SETFL, O_NONBLOCK);
    t.out.clear();
    t.progress = 0;
    showStatus();
    return true;
}

void startWholeTune()
{
    if (spawn(Tunegen::Stage::Tune, {}, LIVE.files.tunePath)) {
        say(scoreName() + ": rendering the tune in the background");
    }
}

// A section of rows [from, to) of the song, mastered at the playing tune's
// levels, to be spliced in where it belongs.
void startSection(Tunegen::Stage stage, int from, int to)
{
    Tunegen& t = LIVE.tunegen;
    t.fromRow = from;
    t.toRow = to;
    t.fromFrame = rowSample(t.song, from);
    const std::string output = LIVE.files.staging + "/section.pcm";
    if (!spawn(stage, {"--section", std::to_string(from) + ":" + std::to_string(to), "--levels", LIVE.files.tunePath},
               output)) {
        startWholeTune();
    }
}

// The section's samples into the playing music. False when they cannot be
// read or put in place.
bool spliceSection()
{
    Tunegen& t = LIVE.tunegen;
    std::string bytes, error;
    // Rows of the song at 44.1 kHz stereo, 16-bit, with room for rounding.
    const double seconds = (t.toRow - t.fromRow) / LIVE.demo.description.rowRate + 4.0;
    const bool read = readWholeFile(t.output, bytes, error, static_cast<size_t>(seconds * 44100.0) * 4);
    unlink(t.output.c_str());
    if (!read) return false;
    std::vector<int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<int16_t>(static_cast<uint16_t>(static_cast<unsigned char>(bytes[2 * i])) |
                                          static_cast<uint16_t>(static_cast<unsigned char>(bytes[2 * i + 1])) << 8);
    }
    if (!spliceMusic(static_cast<uint64_t>(t.fromFrame), samples.data(), samples.size() / 2)) return false;
    spliceLoudness(LIVE.loudness, static_cast<uint64_t>(t.fromFrame), samples.data(), samples.size() / 2);
    return true;
}

// The next stage after one that ended well.
void nextStage()
{
    Tunegen& t = LIVE.tunegen;
    const std::string name = scoreName();
    if (t.stage == Tunegen::Stage::Tune) {
        char line[120];
        std::snprintf(line, sizeof line, "rendered, %.1f s after the save", secondsSinceSave());
        t.status = std::string("the tune is ") + line;
        t.doneAt = Clock::now();
        clearError(name);
        say(name + ": " + line);
        return;
    }
    if (!spliceSection()) {
        say(name + ": " + describeStage() + " could not be put in; the whole tune follows");
        startWholeTune();
        return;
    }
    char line[200];
    std::snprintf(line, sizeof line, "%s: %s heard %.2f s after the save", name.c_str(), describeStage().c_str(),
                  secondsSinceSave());
    say(line);
    if (t.stage == Tunegen::Stage::Bars && t.toRow < t.song.rows) {
        // On to the end of the section, three bars at the least.
        const int from = t.toRow;
        int to = t.song.rows;
        for (const auto& section : sections()) {
            if (section.first >= from + quickBars * rowsPerBar) {
                to = std::min(to, static_cast<int>(section.first));
                break;
            }
        }
        startSection(Tunegen::Stage::Section, from, to);
        return;
    }
    startWholeTune();
}

} // namespace

// Ends a render under way; its tune would be older than the score.
void endTunegen()
{
    Tunegen& t = LIVE.tunegen;
    if (t.child.pid() <= 0) return;
    t.child.end();
    t.status.clear();
}

void startTunegen()
{
    Tunegen& t = LIVE.tunegen;
    const std::string name = scoreName();
    if (t.child.pid() > 0) {
        endTunegen();
        say(name + ": the render of the older save ended");
    }
    // The score is read here first: a bad save is reported at once, and a
    // good one takes down the error of an older save before its render ends.
    std::string text, message;
    Song song;
    ScoreError scoreError;
    if (!readWholeFile(LIVE.files.score, text, message, textFileLimit)) {
        setError(name, {message});
        say(message + " (the tune stays as it was)");
        return;
    }
    if (!parseScore(text, name, song, scoreError)) {
        setError(name, {scoreError.describe()});
        say(scoreError.describe() + " (the tune stays as it was)");
        return;
    }
    clearError(name);
    t.score = LIVE.files.score;
    t.savedAt = Clock::now();
    t.song = std::move(song);
    // The quick path splices into the music as it plays: it needs a tune
    // to take the levels from and to play into, on the demo's grid.
    const int bar = static_cast<int>(LIVE.row) / rowsPerBar * rowsPerBar;
    std::error_code ignored;
    const bool quick = musicLoaded() && fs::is_regular_file(LIVE.files.tunePath, ignored) &&
                       std::fabs(t.song.rowRate() - LIVE.demo.description.rowRate) < 1e-9 && bar < t.song.rows;
    if (quick) {
        startSection(Tunegen::Stage::Bars, bar, std::min(bar + quickBars * rowsPerBar, t.song.rows));
    } else {
        startWholeTune();
    }
}

void pollTunegen()
{
    Tunegen& t = LIVE.tunegen;
    if (t.child.pid() <= 0) {
        if (!t.status.empty() && Clock::now() - t.doneAt > std::chrono::seconds(4)) t.status.clear();
        return;
    }
    char chunk[4096];
    ssize_t n = 0;
    while ((n = read(t.child.output(), chunk, sizeof chunk)) > 0) t.out.append(chunk, static_cast<size_t>(n));
    const size_t at = t.out.rfind("progress ");
    if (at != std::string::npos) {
        t.progress = std::clamp(std::atoi(t.out.c_str() + at + 9), 0, 100);
        showStatus();
    }
    int status = 0;
    if (!t.child.finished(status)) return;
    while ((n = read(t.child.output(), chunk, sizeof chunk)) > 0) t.out.append(chunk, static_cast<size_t>(n));
    t.child.closeOutput();
    if (status == 0) {
        nextStage();
        return;
    }
    const std::string name = scoreName();
    if (t.stage != Tunegen::Stage::Tune) {
        unlink(t.output.c_str());
        say(name + ": " + describeStage() + " failed; the whole tune follows");
        startWholeTune();
        return;
    }
    std::vector<std::string> lines;
    std::istringstream in(t.out);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.rfind("progress ", 0) != 0) lines.push_back(line);
    }
    if (lines.empty()) lines.push_back(name + ": tunegen failed");
    t.status.clear();
    setError(name, lines);
    say(lines.front() + " (the tune stays as it was)");
}

} // namespace live
