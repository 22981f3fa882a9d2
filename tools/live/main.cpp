// orvanta-live: the demo for the people who make it. It plays with the
// demo's own start-up and frame code in a window, watches the data folders,
// and takes every saved shader, track text, track file, logo, tune and score
// in between two frames, keeping the last good version on an error and
// showing the error on screen until a good one is saved. Time is the music's,
// under the author's keys: pause, beats, bars, cuts, scenes, a loop, slow
// motion.
//
// The files are read through a staging folder of links, one a file, each to
// the first data folder that has it: the demo reads plain names from its
// working directory, and a name can come from one folder (the shaders in
// data/) and another from another (the generated logo and tune in the run
// folder).
#include "editor.h"
#include "files.h"
#include "options.h"
#include "overlay.h"
#include "panel.h"
#include "score.h"
#include "staging.h"
#include "track_text.h"
#include "usage.h"
#include "watcher.h"

#include "app/startup.h"
#include "demo/clock.h"
#include "demo/timeline.h"
#include "demo/tracks.h"
#include "render/frame_size.h"
#include "render/programs.h"
#include "render/render_screen.h"
#include "render/scene_index.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <GL/glx.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

const char* const sceneNames[sceneCount] = {"hall", "whirligig", "ball scene", "flyby", "tunnel", "ribbon"};

struct Files {
    std::vector<std::string> dataFolders; // absolute, in order of precedence
    std::string staging;                  // the demo's working directory
    std::set<std::string> staged;         // names linked there
    std::string tracks;                   // absolute; empty without --tracks
    std::string score;
    std::string tunePath;                 // where tunegen writes tune.ogg
};

struct Time {
    bool paused = false;
    int slowness = 0;     // speed is 1 / 2^slowness
    double heldRow = 0.0; // while paused or slowed
    bool loop = false;
    double loopFrom = 0.0;
    double loopTo = 0.0;
    Clock::time_point last = Clock::now();
    std::vector<double> cuts; // rows where the shown scene changes, 0 first
};

struct Tunegen {
    pid_t pid = -1;
    char temporary[4096] = {}; // its unfinished output, for a signal to remove
    int errFd = -1;
    std::string err;
};

struct Stats {
    Clock::time_point since = Clock::now();
    int frames = 0;
    double fps = 0.0;
};

struct Live {
    LiveOptions options;
    Files files;
    Time time;
    Tunegen tunegen;
    Stats stats;
    std::unique_ptr<FolderWatcher> watcher;
    std::unique_ptr<OverlayText> text;
    std::map<std::string, std::vector<std::string>> errors; // by file, shown until mended
    long frame = 0;
    bool overlay = false;
    bool piped = false; // standard output goes to a program, not a person
    bool hidden = false; // the window is minimised or covered whole
    std::unique_ptr<TrackEditor> editor;
    bool panel = false;     // the track panel
    double span = 64.0;     // rows the panel shows around the row
    bool scrubbing = false; // the mouse holds the timeline strip
    int dragFrom = -1;      // the row of the key the mouse drags in the curve view, or -1
    bool dragStarted = false;
    bool dragByBeats = false;
    int selectedKey = -1;
    float dragLow = 0, dragHigh = 1; // the curve view's range, held while a key is dragged
    double dragStep = 0.01;          // and the step its value snaps to
    bool help = false;      // the list of keys and commands
    bool prompting = false; // the command line is open
    std::string prompt;
    bool quitAsked = false; // Escape once with edits that cannot be written
    int commandFd = -1;     // standard input, when a pipe or a FIFO brings commands
    std::string commandText;
    double row = 0.0;
    int pendingWidth = 0;
    int pendingHeight = 0;
} LIVE;

// What the signal handler removes, made before it is installed.
struct Leftovers {
    std::vector<std::string> paths; // links and the marker, then the staging folder last
} LEFTOVERS;

void say(const std::string& line)
{
    std::cout << std::dec << "[frame " << LIVE.frame << "] " << line << "\n";
    std::cout.flush();
}

// ---- files ----------------------------------------------------------------

std::string resolve(const std::string& name)
{
    for (const std::string& folder : LIVE.files.dataFolders) {
        const fs::path path = fs::path(folder) / name;
        std::error_code error;
        if (fs::is_regular_file(path, error)) return path.string();
    }
    return "";
}

// Points the staged link of `name` at the first data folder holding it.
void stage(const std::string& name)
{
    const std::string link = LIVE.files.staging + "/" + name;
    unlink(link.c_str());
    const std::string target = resolve(name);
    if (!target.empty() && symlink(target.c_str(), link.c_str()) != 0) {
        say("cannot link " + name + ": " + std::strerror(errno));
    }
}

void removeLeftovers()
{
    for (const std::string& path : LEFTOVERS.paths) {
        if (unlink(path.c_str()) != 0) rmdir(path.c_str());
    }
}

bool makeStaging(std::string& error)
{
    std::string note;
    const std::string root = stagingRoot(note, error);
    if (root.empty()) return false;
    if (!note.empty()) std::cout << "orvanta-live: " << note << "\n";
    sweepStaleStaging(root);
    if (!makeStagingFolder(root, LIVE.files.staging, error)) return false;
    std::set<std::string>& names = LIVE.files.staged;
    names.insert(programVertexFile);
    names.insert(std::begin(programFragmentFiles), std::end(programFragmentFiles));
    names.insert({"logo.png", "tune.ogg"});
    for (const char* track : demoTrackNames) names.insert(std::string("sync_") + track + ".track");
    for (const std::string& name : names) {
        stage(name);
        LEFTOVERS.paths.push_back(LIVE.files.staging + "/" + name);
    }
    LEFTOVERS.paths.push_back(LIVE.files.staging + "/" + stagingMarker);
    LEFTOVERS.paths.push_back(LIVE.files.staging);
    return true;
}

// ---- errors on screen ---------------------------------------------------------

// Driver logs as "FILE:LINE: message": Mesa writes "0:12(5): error: ...",
// NVIDIA "0(12) : error C0000: ...". Other lines are kept as they are.
std::vector<std::string> describeLog(const std::string& file, const std::string& log)
{
    std::vector<std::string> lines;
    std::istringstream in(log);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        int source = 0, number = 0, column = 0, used = 0;
        if (std::sscanf(line.c_str(), "%d:%d(%d): %n", &source, &number, &column, &used) == 3 && used > 0) {
            lines.push_back(file + ":" + std::to_string(number) + ": " + line.substr(static_cast<size_t>(used)));
        } else if (std::sscanf(line.c_str(), "%d(%d) : %n", &source, &number, &used) == 2 && used > 0) {
            lines.push_back(file + ":" + std::to_string(number) + ": " + line.substr(static_cast<size_t>(used)));
        } else {
            lines.push_back(file + ": " + line);
        }
    }
    if (lines.empty()) lines.push_back(file + ": the driver gave no log");
    return lines;
}

void setError(const std::string& file, const std::vector<std::string>& lines)
{
    LIVE.errors[file] = lines;
}

void clearError(const std::string& file)
{
    if (LIVE.errors.erase(file)) say(file + ": mended");
}

// ---- reloading ------------------------------------------------------------------

// Rebuilds every table entry that uses `file` from the staged sources. Each
// entry keeps its last good program when its new one does not build.
void reloadShader(const std::string& file)
{
    const auto started = Clock::now();
    std::string vertex, message;
    if (!readWholeFile(programVertexFile, vertex, message, textFileLimit)) {
        setError(programVertexFile, {message});
        say(message);
        return;
    }
    int rebuilt = 0;
    std::map<std::string, std::vector<std::string>> failures;
    for (int i = 0; i < shaderProgramCount; ++i) {
        const std::string fragmentFile = programFragmentFiles[i];
        if (file != programVertexFile && file != fragmentFile) continue;
        std::string fragment;
        if (!readWholeFile(fragmentFile, fragment, message, textFileLimit)) {
            failures[fragmentFile] = {message};
            continue;
        }
        ProgramNames names;
        std::string log;
        GLenum stage = 0;
        if (!buildProgramQuietly(vertex.c_str(), fragment.c_str(), names, log, stage)) {
            const std::string culprit = stage == GL_VERTEX_SHADER ? programVertexFile : fragmentFile;
            if (!failures.count(culprit)) failures[culprit] = describeLog(culprit, log);
            continue;
        }
        ShaderProgram* entry = shaderPrograms[i];
        glDeleteProgram(entry->program);
        glDeleteShader(entry->vertexShader);
        glDeleteShader(entry->fragmentShader);
        entry->fragmentShader = names.fragmentShader;
        entry->vertexShader = names.vertexShader;
        entry->program = names.program;
        ++rebuilt;
    }
    // Mesh 0 is bound once; the others follow their program every frame.
    meshes[0]->bindAttributes(shaderPrograms[0]);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
    if (!failures.count(file)) clearError(file);
    for (const auto& [culprit, lines] : failures) {
        if (LIVE.errors.count(culprit) && LIVE.errors[culprit] == lines) continue;
        setError(culprit, lines);
        std::string report = culprit + ": error, the last good version stays";
        for (const std::string& line : lines) report += "\n  " + line;
        say(report);
    }
    if (rebuilt > 0) {
        char text[160];
        std::snprintf(text, sizeof text, "%s: %d program%s rebuilt in %.1f ms", file.c_str(), rebuilt,
                      rebuilt == 1 ? "" : "s", ms);
        say(text);
    }
}

void findCuts()
{
    std::vector<double>& cuts = LIVE.time.cuts;
    cuts.assign(1, 0.0);
    int shown = sceneFromIndex(truncateToInt(sampleTrack(DemoTrack::Scene, 0.0)));
    for (int row = 1; row <= static_cast<int>(endRow); ++row) {
        const int scene = sceneFromIndex(truncateToInt(sampleTrack(DemoTrack::Scene, row)));
        if (scene != shown) cuts.push_back(row);
        shown = scene;
    }
}

void reloadTrackText()
{
    LIVE.editor->reload();
}

void reloadTrackFiles()
{
    closeDemoTracks();
    openDemoTracks();
    findCuts();
    say("track files reloaded");
}

void reloadLogo()
{
    std::string why;
    if (!replaceLogo("logo.png", why)) {
        setError("logo.png", {why + "; the last good logo stays"});
        say(why + "; the last good logo stays");
        return;
    }
    clearError("logo.png");
    say("logo.png reloaded");
}

void reloadTune()
{
    if (!reopenMusic()) {
        setError("tune.ogg", {"tune.ogg: cannot be decoded; the last good tune plays on"});
        say("tune.ogg: cannot be decoded; the last good tune plays on");
        return;
    }
    clearError("tune.ogg");
    say("tune.ogg reloaded at row " + std::to_string(currentRow()));
}

std::string toolPath(const std::string& tool)
{
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? tool : (self.parent_path() / tool).string();
}

// Ends a render under way; its tune would be older than the score.
void endTunegen()
{
    Tunegen& t = LIVE.tunegen;
    if (t.pid <= 0) return;
    kill(t.pid, SIGTERM);
    waitpid(t.pid, nullptr, 0);
    unlink(t.temporary);
    close(t.errFd);
    t.errFd = -1;
    t.pid = -1;
}

void startTunegen()
{
    Tunegen& t = LIVE.tunegen;
    const std::string name = fs::path(LIVE.files.score).filename().string();
    if (t.pid > 0) {
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
    int err[2];
    if (pipe2(err, O_CLOEXEC) != 0) return;
    const std::string tool = toolPath("tunegen");
    const pid_t parent = getpid();
    t.pid = fork();
    if (t.pid == 0) {
        // Ends with the player, however the player ends (SIGKILL too);
        // tunegen removes its unfinished output on the signal.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(127);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(err[1], 2);
        execl(tool.c_str(), tool.c_str(), LIVE.files.score.c_str(), "-o", LIVE.files.tunePath.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(err[1]);
    if (t.pid < 0) {
        close(err[0]);
        return;
    }
    std::snprintf(t.temporary, sizeof t.temporary, "%s.tmp-%d", LIVE.files.tunePath.c_str(), static_cast<int>(t.pid));
    t.errFd = err[0];
    fcntl(t.errFd, F_SETFL, O_NONBLOCK);
    t.err.clear();
    say(name + ": rendering the tune in the background");
}

void pollTunegen()
{
    Tunegen& t = LIVE.tunegen;
    if (t.pid <= 0) return;
    char chunk[4096];
    ssize_t n = 0;
    while ((n = read(t.errFd, chunk, sizeof chunk)) > 0) t.err.append(chunk, static_cast<size_t>(n));
    int status = 0;
    if (waitpid(t.pid, &status, WNOHANG) != t.pid) return;
    while ((n = read(t.errFd, chunk, sizeof chunk)) > 0) t.err.append(chunk, static_cast<size_t>(n));
    close(t.errFd);
    t.errFd = -1;
    t.pid = -1;
    const std::string name = fs::path(LIVE.files.score).filename().string();
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        clearError(name);
        say(name + ": rendered");
    } else {
        std::vector<std::string> lines;
        std::istringstream in(t.err);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty()) lines.push_back(line);
        }
        if (lines.empty()) lines.push_back(name + ": tunegen failed");
        setError(name, lines);
        say(lines.front() + " (the tune stays as it was)");
    }
}

bool sameFile(const std::string& a, const std::string& b)
{
    std::error_code error;
    return !a.empty() && !b.empty() && fs::equivalent(a, b, error);
}

void takeChanges()
{
    for (const FileChange& change : LIVE.watcher->poll()) {
        const std::string path = change.folder + "/" + change.name;
        if (sameFile(path, LIVE.files.tracks)) {
            reloadTrackText();
            continue;
        }
        if (sameFile(path, LIVE.files.score)) {
            startTunegen();
            continue;
        }
        if (!LIVE.files.staged.count(change.name)) continue;
        // A folder, a FIFO or a broken link saved under a source's name is
        // refused where it lands; the last good version stays on screen.
        std::error_code kind;
        if (!fs::is_regular_file(path, kind)) {
            const std::string why = path + ": not a regular file; the last good version stays";
            setError(change.name, {why});
            say(why);
            continue;
        }
        // A folder after the first that has the name changes nothing seen.
        if (!sameFile(resolve(change.name), path)) continue;
        stage(change.name);
        const std::string& name = change.name;
        if (name == "logo.png") {
            reloadLogo();
        } else if (name == "tune.ogg") {
            reloadTune();
        } else if (name.rfind("sync_", 0) == 0) {
            if (LIVE.files.tracks.empty()) reloadTrackFiles();
        } else {
            reloadShader(name);
        }
    }
}

// ---- time -----------------------------------------------------------------------

bool playingAtFullSpeed()
{
    return !LIVE.time.paused && LIVE.time.slowness == 0;
}

void moveTo(double row)
{
    Time& t = LIVE.time;
    row = std::clamp(row, 0.0, endRow);
    if (t.loop && (row < t.loopFrom || row > t.loopTo)) {
        t.loop = false;
        say("loop off");
    }
    if (playingAtFullSpeed()) {
        moveMusicTo(row);
    } else {
        t.heldRow = row;
        holdMusicAt(row);
    }
}

// Holds the music where it is (pausing, or slowing down) or lets it play.
void setTimeMode(bool paused, int slowness)
{
    Time& t = LIVE.time;
    const bool wasPlaying = playingAtFullSpeed();
    t.paused = paused;
    t.slowness = slowness;
    if (wasPlaying && !playingAtFullSpeed()) {
        t.heldRow = currentRow();
        holdMusicAt(t.heldRow);
    } else if (!wasPlaying && playingAtFullSpeed()) {
        holdMusicAt(t.heldRow);
        resumeMusic();
    }
    t.last = Clock::now();
}

// The row of this frame, with the loop and the end of the music applied.
double advanceTime()
{
    Time& t = LIVE.time;
    const auto now = Clock::now();
    const double seconds = std::chrono::duration<double>(now - t.last).count();
    t.last = now;
    if (playingAtFullSpeed()) {
        double row = currentRow();
        if (t.loop && (row > t.loopTo || row < t.loopFrom)) {
            moveMusicTo(t.loopFrom);
            row = currentRow();
        } else if (!t.loop && row >= endRow) {
            t.paused = true;
            t.heldRow = endRow;
            holdMusicAt(endRow);
            row = currentRow();
        }
        return row;
    }
    if (!t.paused) {
        t.heldRow += seconds * rowRate / static_cast<double>(1 << t.slowness);
        if (t.loop && t.heldRow > t.loopTo) t.heldRow = t.loopFrom;
        if (!t.loop && t.heldRow >= endRow) {
            t.heldRow = endRow;
            t.paused = true;
        }
    }
    holdMusicAt(t.heldRow);
    return currentRow();
}

double cutBefore(double row)
{
    double found = 0.0;
    for (double cut : LIVE.time.cuts) {
        if (cut < row - 0.5) found = cut;
    }
    return found;
}

double cutAfter(double row)
{
    for (double cut : LIVE.time.cuts) {
        if (cut > row + 0.5) return cut;
    }
    return endRow;
}

void toggleSectionLoop()
{
    Time& t = LIVE.time;
    if (t.loop) {
        t.loop = false;
        say("loop off");
        return;
    }
    const double row = currentRow();
    t.loopFrom = 0.0;
    for (double cut : t.cuts) {
        if (cut <= row + 1e-9) t.loopFrom = cut;
    }
    t.loopTo = cutAfter(t.loopFrom);
    t.loop = true;
    say("loop " + std::to_string(static_cast<int>(t.loopFrom)) + " to " + std::to_string(static_cast<int>(t.loopTo)));
}

// ---- the editor -------------------------------------------------------------

// The sections of the show, in its order: intro, build, drop, breakdown,
// climax, outro (the score's header has the same rows).
constexpr double sectionRows[] = {0, 128, 384, 640, 768, 1024};

int trackIndex(const std::string& name)
{
    for (int i = 0; i < demoTrackCount; ++i) {
        if (name == demoTrackNames[i]) return i;
    }
    return -1;
}

void makeEditor()
{
    EditorHooks hooks;
    hooks.row = [] { return currentRow(); };
    hooks.moveTo = [](double row) { moveTo(row); };
    hooks.setPaused = [](bool paused) {
        if (paused == LIVE.time.paused) return;
        setTimeMode(paused, LIVE.time.slowness);
        say(paused ? "paused" : "playing");
    };
    hooks.keysChanged = [](const std::string& name, const TextTrack* track) {
        const int index = trackIndex(name);
        if (index < 0) return;
        const bool empty = !track || track->keys.empty();
        setDemoTrackKeys(static_cast<DemoTrack>(index), empty ? nullptr : track->keys.data(),
                         empty ? 0 : static_cast<int>(track->keys.size()));
        if (index == static_cast<int>(DemoTrack::Scene)) findCuts();
    };
    hooks.valueAt = [](const std::string& name) {
        const int index = trackIndex(name);
        return index < 0 ? 0.0f : sampleTrack(static_cast<DemoTrack>(index), currentRow());
    };
    hooks.say = [](const std::string& line) { say(line); };
    hooks.showError = [](const std::string& key, const std::string& line) {
        if (!line.empty()) setError(key, {line});
        else if (key == "edit") LIVE.errors.erase(key);
        else clearError(key);
    };
    LIVE.editor = std::make_unique<TrackEditor>(
        LIVE.files.tracks, std::vector<std::string>(std::begin(demoTrackNames), std::end(demoTrackNames)), hooks);
}

// Commands arrive a line at a time on standard input, when it is a pipe or
// a FIFO; its end closes it.
void pollCommands()
{
    if (LIVE.commandFd < 0) return;
    char chunk[4096];
    ssize_t n = 0;
    while ((n = read(LIVE.commandFd, chunk, sizeof chunk)) > 0) LIVE.commandText.append(chunk, static_cast<size_t>(n));
    if (n == 0) {
        close(LIVE.commandFd);
        LIVE.commandFd = -1;
    }
    for (size_t end; (end = LIVE.commandText.find('\n')) != std::string::npos;) {
        const std::string line = LIVE.commandText.substr(0, end);
        LIVE.commandText.erase(0, end + 1);
        LIVE.editor->run(line);
    }
    // A line longer than any command is nonsense: dropped, not kept growing.
    if (LIVE.commandText.size() > 4096) LIVE.commandText.clear();
}

// The command line in the window: typed keys go to it until Enter runs it
// or Escape closes it.
void promptKey(unsigned char key)
{
    if (key == 27) {
        LIVE.prompting = false;
    } else if (key == '\r' || key == '\n') {
        LIVE.prompting = false;
        LIVE.editor->run(LIVE.prompt);
    } else if (key == 8 || key == 127) {
        if (!LIVE.prompt.empty()) LIVE.prompt.pop_back();
    } else if (key >= 32 && key < 127 && LIVE.prompt.size() < 200) {
        LIVE.prompt.push_back(static_cast<char>(key));
    }
}

void openPrompt(const std::string& text)
{
    LIVE.prompting = true;
    LIVE.prompt = text;
}

// Keys that edit the selected track at the current row; false for others.
bool editKey(unsigned char key)
{
    TrackEditor& editor = *LIVE.editor;
    const bool shift = (glutGetModifiers() & GLUT_ACTIVE_SHIFT) != 0;
    switch (key) {
    case '\t': editor.select(shift ? -1 : 1); return true;
    case ':': openPrompt(""); return true;
    case '\r': openPrompt("key " + editor.selected() + " "); return true;
    case 'i': case 'I': editor.cycleInterpolation(); return true;
    case 'x': case 'X': case 127: editor.deleteKey(); return true;
    case ',': editor.moveKey(-1); return true;
    case '.': editor.moveKey(1); return true;
    case '<': editor.moveKey(-rowsPerBeat); return true;
    case '>': editor.moveKey(rowsPerBeat); return true;
    case 26: editor.run("undo"); return true; // ctrl+z
    case 25: editor.run("redo"); return true; // ctrl+y
    case 'c': case 'C': {
        // The loop's span, or the bar under way.
        const int bar = static_cast<int>(currentRow()) / rowsPerBar * rowsPerBar;
        const int from = LIVE.time.loop ? static_cast<int>(LIVE.time.loopFrom) : bar;
        const int to = LIVE.time.loop ? static_cast<int>(LIVE.time.loopTo) : bar + rowsPerBar - 1;
        editor.run("copy " + (key == 'C' ? std::string("all") : editor.selected()) + " " + std::to_string(from) + " " +
                   std::to_string(to));
        return true;
    }
    case 'v': case 'V': editor.run("paste " + (editor.copiedAll() ? std::string("all") : editor.selected())); return true;
    case 'n': editor.run("insert " + editor.selected() + " 4"); return true;
    case 'N': editor.run("insert all 4"); return true;
    case 'm': editor.run("remove " + editor.selected() + " 4"); return true;
    case 'M': editor.run("remove all 4"); return true;
    case 't': case 'T': LIVE.panel = !LIVE.panel; return true;
    case 'z': LIVE.span = std::max(8.0, LIVE.span / 2); return true;
    case 'Z': LIVE.span = std::min(1024.0, LIVE.span * 2); return true;
    case 'h': case 'H': case '?': LIVE.help = !LIVE.help; return true;
    default: return false;
    }
}

// ---- the track panel and the mouse -------------------------------------------

const char* const sectionNames[] = {"intro", "build", "drop", "breakdown", "climax", "outro"};

PanelLayout panelLayout()
{
    return layoutPanel(static_cast<int>(windowWidth), static_cast<int>(windowHeight), LIVE.row, LIVE.span);
}

PanelFacts panelFacts()
{
    PanelFacts facts;
    facts.names.assign(std::begin(demoTrackNames), std::end(demoTrackNames));
    facts.selected = std::max(0, trackIndex(LIVE.editor->selected()));
    facts.selectedKey = LIVE.selectedKey;
    facts.keys = [](int track) { return LIVE.editor->document().find(demoTrackNames[track]); };
    facts.value = [](int track, double row) { return sampleTrack(static_cast<DemoTrack>(track), row); };
    facts.cuts = LIVE.time.cuts;
    for (size_t s = 0; s < std::size(sectionRows); ++s) facts.sections.emplace_back(sectionRows[s], sectionNames[s]);
    facts.loop = LIVE.time.loop;
    facts.loopFrom = LIVE.time.loopFrom;
    facts.loopTo = LIVE.time.loopTo;
    facts.lastRow = endRow;
    facts.fixedRange = LIVE.dragFrom >= 0;
    facts.low = LIVE.dragLow;
    facts.high = LIVE.dragHigh;
    return facts;
}

// A drag in the curve view: the key follows the mouse, its row snapped to
// rows (to beats when shift was held as the drag began).
void dragTo(int x, int y)
{
    const PanelLayout layout = panelLayout();
    const float cx = std::clamp(static_cast<float>(x), layout.curve.x0, layout.curve.x1 - 1);
    const float cy = std::clamp(static_cast<float>(y), layout.curve.y0, layout.curve.y1 - 1);
    const PanelHit hit = hitPanel(layout, panelFacts(), cx, cy);
    if (hit.where != PanelHit::Curve) return;
    const int snap = LIVE.dragByBeats ? rowsPerBeat : 1;
    const int row = static_cast<int>(std::lround(hit.row / snap)) * snap;
    // Values snap to the track's fine step as the drag began, as the nudge
    // keys move them.
    const double step = LIVE.dragStep;
    const float value = static_cast<float>(std::round(hit.value / step) * step);
    const int landed = LIVE.editor->dragKey(LIVE.dragFrom, row, value, !LIVE.dragStarted);
    if (landed < 0) {
        LIVE.dragFrom = -1;
        return;
    }
    LIVE.dragStarted = true;
    LIVE.dragFrom = landed;
    LIVE.selectedKey = landed;
}

void onMouse(int button, int state, int x, int y)
{
    if (button != GLUT_LEFT_BUTTON) return;
    if (state == GLUT_UP) {
        if (LIVE.dragStarted) say(LIVE.editor->selected() + ": key dragged to row " + std::to_string(LIVE.dragFrom));
        LIVE.scrubbing = false;
        LIVE.dragFrom = -1;
        LIVE.dragStarted = false;
        return;
    }
    if (!LIVE.panel) return;
    const PanelHit hit = hitPanel(panelLayout(), panelFacts(), static_cast<float>(x), static_cast<float>(y));
    switch (hit.where) {
    case PanelHit::Strip:
        LIVE.scrubbing = true;
        moveTo(hit.row);
        break;
    case PanelHit::Lane:
        LIVE.editor->select(demoTrackNames[hit.track]);
        LIVE.selectedKey = hit.key;
        if (hit.key >= 0) moveTo(hit.key);
        break;
    case PanelHit::Curve:
        LIVE.selectedKey = hit.key;
        if (hit.key >= 0) {
            curveRange(panelLayout(), panelFacts(), LIVE.dragLow, LIVE.dragHigh);
            LIVE.dragStep = LIVE.editor->stepFor(LIVE.editor->selected(), false);
            LIVE.dragFrom = hit.key;
            LIVE.dragStarted = false;
            LIVE.dragByBeats = (glutGetModifiers() & GLUT_ACTIVE_SHIFT) != 0;
        } else {
            moveTo(std::round(hit.row));
        }
        break;
    case PanelHit::Nothing: break;
    }
}

void onMotion(int x, int y)
{
    if (LIVE.scrubbing) {
        moveTo(std::clamp(static_cast<double>(x) / windowWidth * endRow, 0.0, endRow));
    } else if (LIVE.dragFrom >= 0) {
        dragTo(x, y);
    }
}

const std::vector<std::string> helpLines = {
    "space pause  left/right a beat (shift: a bar)  page up/down cuts  home start  1-6 sections",
    "l loop the section  - + speed  o figures  t track panel  h this help  escape quit",
    "tab / shift+tab track  up/down nudge (shift: coarse)  enter type a value  i interpolation",
    "x delete key  , . move key a row  < > a beat  ctrl+z undo  ctrl+y redo  : command",
    "c copy the bar (or loop) of the track, C of all  v paste  n/m insert/remove a beat (N/M: all tracks)",
    "panel: z / shift+z zoom  click the strip to scrub, a lane for its track, drag a key in the curve",
    std::string("commands: ") + editorCommandHelp,
};

// ---- keys, window, signals ----------------------------------------------------

// Ends tunegen and removes what it and the player leave on disk. Only calls
// that are safe in a signal handler.
void endChildrenAndRemoveLeftovers()
{
    if (LIVE.tunegen.pid > 0) {
        kill(LIVE.tunegen.pid, SIGTERM);
        waitpid(LIVE.tunegen.pid, nullptr, 0);
        unlink(LIVE.tunegen.temporary);
    }
    removeLeftovers();
}

void quit(int status)
{
    endChildrenAndRemoveLeftovers();
    std::cout.flush();
    std::fflush(stdout);
    std::_Exit(status);
}

void onSignal(int signal)
{
    endChildrenAndRemoveLeftovers();
    std::signal(signal, SIG_DFL);
    raise(signal);
}

// Escape with edits that cannot be written asks once more; the second
// writes them beside the tracks text.
void quitWithEdits()
{
    TrackEditor& editor = *LIVE.editor;
    if (!editor.unwritten() || editor.writeNow()) quit(0);
    if (!LIVE.quitAsked) {
        LIVE.quitAsked = true;
        const std::string line = "edits not written: Escape again quits and keeps them in " +
                                 fs::path(LIVE.files.tracks).filename().string() + ".unsaved";
        setError("quit", {line});
        say(line);
        return;
    }
    const std::string unsaved = editor.writeUnsaved();
    say(unsaved.empty() ? "the edits are lost: " + LIVE.files.tracks + ".unsaved cannot be written either"
                        : "edits kept in " + unsaved);
    quit(unsaved.empty() ? 1 : 0);
}

void onKey(unsigned char key, int, int)
{
    if (LIVE.prompting) {
        promptKey(key);
        return;
    }
    if (editKey(key)) return;
    switch (key) {
    case 27:
        quitWithEdits();
        break;
    case ' ':
        setTimeMode(!LIVE.time.paused, LIVE.time.slowness);
        say(LIVE.time.paused ? "paused" : "playing");
        break;
    case 'l':
    case 'L':
        toggleSectionLoop();
        break;
    case '-':
    case '+':
    case '=': {
        const int slowness = std::clamp(LIVE.time.slowness + (key == '-' ? 1 : -1), 0, 2);
        setTimeMode(LIVE.time.paused, slowness);
        say("speed 1/" + std::to_string(1 << slowness));
        break;
    }
    case 'o':
    case 'O':
        LIVE.overlay = !LIVE.overlay;
        setPassTiming(LIVE.overlay);
        break;
    default:
        if (key >= '1' && key < '1' + static_cast<int>(std::size(sectionRows))) moveTo(sectionRows[key - '1']);
        break;
    }
}

void onSpecialKey(int key, int, int)
{
    const double row = currentRow();
    const int step = (glutGetModifiers() & GLUT_ACTIVE_SHIFT) ? rowsPerBar : rowsPerBeat;
    switch (key) {
    case GLUT_KEY_LEFT: moveTo(row - step); break;
    case GLUT_KEY_RIGHT: moveTo(row + step); break;
    case GLUT_KEY_PAGE_UP: moveTo(cutBefore(row)); break;
    case GLUT_KEY_PAGE_DOWN: moveTo(cutAfter(row)); break;
    case GLUT_KEY_HOME: moveTo(0.0); break;
    case GLUT_KEY_UP: LIVE.editor->nudge(1, step == rowsPerBar); break;
    case GLUT_KEY_DOWN: LIVE.editor->nudge(-1, step == rowsPerBar); break;
    default: break;
    }
}

void onReshape(int width, int height)
{
    LIVE.pendingWidth = width;
    LIVE.pendingHeight = height;
}

void setSwapInterval(bool vsync)
{
    const int interval = vsync ? 1 : 0;
    using Mesa = int (*)(unsigned);
    using Ext = void (*)(Display*, GLXDrawable, int);
    if (auto mesa = reinterpret_cast<Mesa>(glXGetProcAddress(reinterpret_cast<const GLubyte*>("glXSwapIntervalMESA")))) {
        mesa(static_cast<unsigned>(interval));
    } else if (auto ext = reinterpret_cast<Ext>(
                   glXGetProcAddress(reinterpret_cast<const GLubyte*>("glXSwapIntervalEXT")))) {
        ext(glXGetCurrentDisplay(), glXGetCurrentDrawable(), interval);
    }
}

// ---- the frame ----------------------------------------------------------------

std::string position(double row)
{
    const int whole = static_cast<int>(row);
    char text[96];
    std::snprintf(text, sizeof text, "row %.2f  %d:%d:%d", row, whole / rowsPerBar, whole % rowsPerBar / rowsPerBeat,
                  whole % rowsPerBeat);
    return text;
}

std::vector<std::string> figures()
{
    const int scene = sceneFromIndex(truncateToInt(sampleTrack(DemoTrack::Scene, LIVE.row)));
    char line[160];
    std::vector<std::string> lines;
    std::snprintf(line, sizeof line, "%s  scene %d %s", position(LIVE.row).c_str(), scene, sceneNames[scene]);
    lines.push_back(line);
    std::string mode = LIVE.time.paused ? "paused" : "playing";
    if (LIVE.time.slowness) mode += " at 1/" + std::to_string(1 << LIVE.time.slowness);
    if (LIVE.time.loop) {
        mode += "  loop " + std::to_string(static_cast<int>(LIVE.time.loopFrom)) + "-" +
                std::to_string(static_cast<int>(LIVE.time.loopTo));
    }
    std::snprintf(line, sizeof line, "%.1f fps  %s", LIVE.stats.fps, mode.c_str());
    lines.push_back(line);
    double ms[passCount + 1];
    if (passMilliseconds(ms)) {
        std::snprintf(line, sizeof line, "gpu ms  pass1 %.2f  pass2 %.2f  pass3 %.2f  pass4 %.2f  final %.2f", ms[1],
                      ms[2], ms[3], ms[4], ms[0]);
        lines.push_back(line);
    }
    return lines;
}

// Before the swap, over the finished picture: the errors always, the
// figures when asked for.
void drawOverlay()
{
    const int width = static_cast<int>(windowWidth), height = static_cast<int>(windowHeight);
    int y = 0;
    if (LIVE.overlay) {
        const std::vector<std::string> lines = figures();
        LIVE.text->draw(lines, 0, y, {1.0f, 1.0f, 1.0f}, width, height);
        y += static_cast<int>(lines.size()) * 24 + 8;
    }
    if (LIVE.panel) drawPanel(*LIVE.text, panelLayout(), panelFacts());
    if (LIVE.help) {
        LIVE.text->draw(helpLines, 0, y, {1.0f, 0.9f, 0.5f}, width, height);
        y += static_cast<int>(helpLines.size()) * 24 + 8;
    }
    if (LIVE.prompting) {
        LIVE.text->draw({":" + LIVE.prompt + "_"}, 0, y, {1.0f, 1.0f, 1.0f}, width, height);
        y += 24 + 8;
    }
    std::vector<std::string> errors;
    for (const auto& [file, lines] : LIVE.errors) {
        for (size_t i = 0; i < lines.size() && i < 4; ++i) errors.push_back(lines[i]);
    }
    LIVE.text->draw(errors, 0, y, {1.0f, 0.35f, 0.3f}, width, height);
}

void countFrame()
{
    Stats& s = LIVE.stats;
    ++s.frames;
    const double seconds = std::chrono::duration<double>(Clock::now() - s.since).count();
    if (seconds < 1.0) return;
    s.fps = s.frames / seconds;
    s.frames = 0;
    s.since = Clock::now();
    if (LIVE.overlay) {
        std::string line;
        for (const std::string& part : figures()) line += (line.empty() ? "" : "  |  ") + part;
        say(line);
    }
}

// The window's title names the player, the tracks text and the row, while
// the demo's own executables keep theirs.
void updateTitle()
{
    static int shown = -1;
    const int row = static_cast<int>(LIVE.row);
    if (row == shown) return;
    shown = row;
    std::string title = "orvanta-live";
    if (!LIVE.files.tracks.empty()) title += " - " + fs::path(LIVE.files.tracks).filename().string();
    title += " - " + position(LIVE.row);
    glutSetWindowTitle(title.c_str());
}

void liveFrame()
{
    if (LIVE.pendingWidth > 0 && (LIVE.pendingWidth != static_cast<int>(windowWidth) ||
                                  LIVE.pendingHeight != static_cast<int>(windowHeight))) {
        resizeFrame(LIVE.pendingWidth, LIVE.pendingHeight);
    }
    pollTunegen();
    takeChanges();
    pollCommands();
    LIVE.editor->tick();
    LIVE.row = advanceTime();
    updateTitle();
    // The demo's status line a frame is for programs that follow the player;
    // a person reads the overlay's figures instead.
    std::streambuf* console = LIVE.piped ? nullptr : std::cout.rdbuf(nullptr);
    drawFrame(LIVE.row);
    if (console) std::cout.rdbuf(console);
    ++LIVE.frame;
    countFrame();
    if (LIVE.piped) std::cout.flush();
}

// While the window cannot be seen (minimised, or covered whole) nothing is
// drawn, and the player sleeps until a file changes or a tenth of a second
// has passed: saves are still taken, the tune still renders, time goes on.
void whileHidden()
{
    LIVE.watcher->wait(100);
    pollTunegen();
    takeChanges();
    pollCommands();
    LIVE.editor->tick();
    LIVE.row = advanceTime();
}

void onWindowStatus(int state)
{
    const bool hidden = state == GLUT_HIDDEN || state == GLUT_FULLY_COVERED;
    if (hidden == LIVE.hidden) return;
    LIVE.hidden = hidden;
    glutIdleFunc(hidden ? whileHidden : glutPostRedisplay);
    say(hidden ? "window hidden: drawing stops, saves are still taken" : "window shown: drawing again");
}

int fail(const std::string& message)
{
    std::fprintf(stderr, "orvanta-live: %s\n", message.c_str());
    removeLeftovers();
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    std::string error;
    LiveOptions& options = LIVE.options;
    if (!parseLiveOptions(argc, argv, options, error)) return usageError("orvanta-live", error, liveUsage);
    if (options.help) {
        std::fputs(liveUsage, stdout);
        return 0;
    }
    for (const std::string& folder : options.dataFolders) {
        std::error_code ignored;
        if (!fs::is_directory(folder, ignored)) return fail("no folder " + folder);
        LIVE.files.dataFolders.push_back(fs::absolute(folder).lexically_normal().string());
    }
    for (const auto& [given, into] : {std::make_pair(&options.tracks, &LIVE.files.tracks),
                                      std::make_pair(&options.score, &LIVE.files.score)}) {
        if (given->empty()) continue;
        std::string bytes;
        if (!readWholeFile(*given, bytes, error, textFileLimit)) return fail(error);
        *into = fs::absolute(*given).lexically_normal().string();
    }
    {
        const std::string tune = resolve("tune.ogg");
        LIVE.files.tunePath = tune.empty() ? LIVE.files.dataFolders.front() + "/tune.ogg" : tune;
    }
    std::vector<std::string> watched = LIVE.files.dataFolders;
    for (const std::string& file : {LIVE.files.tracks, LIVE.files.score}) {
        if (file.empty()) continue;
        watched.push_back(fs::path(file).parent_path().string());
        // Through a link, saves land beside the file it points at.
        std::error_code ignored;
        const fs::path target = fs::canonical(file, ignored);
        if (!ignored) watched.push_back(target.parent_path().string());
    }
    std::sort(watched.begin(), watched.end());
    watched.erase(std::unique(watched.begin(), watched.end()), watched.end());
    LIVE.watcher = std::make_unique<FolderWatcher>(watched);
    if (!LIVE.watcher->ok()) return fail(LIVE.watcher->error());
    if (!makeStaging(error)) return fail(error);
    // freeglut leaves by exit() when the X server goes away: clean up then too.
    std::atexit(endChildrenAndRemoveLeftovers);

    // The demo's start-up, its log and its wait for a key after a broken
    // shader kept away: broken shaders are reported below, and never wait.
    struct stat input = {};
    if (fstat(0, &input) == 0 && S_ISFIFO(input.st_mode)) {
        LIVE.commandFd = fcntl(0, F_DUPFD_CLOEXEC, 3);
        if (LIVE.commandFd >= 0) fcntl(LIVE.commandFd, F_SETFL, O_NONBLOCK);
    }
    if (!std::freopen("/dev/null", "r", stdin)) return fail("cannot read /dev/null");
    LIVE.piped = !isatty(1);
    std::streambuf* console = std::cout.rdbuf(nullptr);
    DemoStartup startup;
    startup.window = options.fullScreen ? WindowMode::Screen : WindowMode::Windowed;
    startup.windowWidth = options.width;
    startup.windowHeight = options.height;
    startup.sceneScale = options.sceneScale;
    startup.dataFolder = LIVE.files.staging;
    const bool started = startDemo(argc, argv, startup, error);
    std::cout.rdbuf(console);
    if (!started) return fail(error);

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    // Losing the X server is a failure, reported as one, with the clean-up.
    XSetIOErrorHandler([](Display*) -> int {
        endChildrenAndRemoveLeftovers();
        std::fputs("orvanta-live: lost the connection to the X server\n", stderr);
        std::fflush(stdout);
        std::_Exit(1);
    });
    glutSetCursor(GLUT_CURSOR_INHERIT);
    glutDisplayFunc(liveFrame);
    glutKeyboardFunc(onKey);
    glutSpecialFunc(onSpecialKey);
    glutReshapeFunc(onReshape);
    glutWindowStatusFunc(onWindowStatus);
    glutMouseFunc(onMouse);
    glutMotionFunc(onMotion);
    // The close button asks nothing: edits go to the text, or beside it.
    glutCloseFunc([] {
        if (LIVE.editor->unwritten() && !LIVE.editor->writeNow()) LIVE.editor->writeUnsaved();
        quit(0);
    });
    setBeforeSwap(drawOverlay);
    setSwapInterval(options.vsync);
    LIVE.text = std::make_unique<OverlayText>();

    std::cout << "orvanta-live: watching";
    for (const std::string& folder : watched) std::cout << " " << folder;
    std::cout << "; reading through " << LIVE.files.staging << "\n";
    // Whatever start-up could not build shows as an error at once.
    for (const ProgramProblem& problem : brokenPrograms()) {
        setError(problem.file, describeLog(problem.file, problem.log));
        say(problem.file + ": error\n  " + problem.log);
    }
    makeEditor();
    reloadTrackText();
    findCuts();

    LIVE.time.loop = options.loop;
    LIVE.time.loopFrom = options.loopFrom;
    LIVE.time.loopTo = options.loopTo;
    LIVE.time.heldRow = options.fromRow;
    holdMusicAt(options.fromRow);
    resumeMusic();
    glutMainLoop();
    quit(0);
}
