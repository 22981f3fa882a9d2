// The live player's files: the staging folder's links, errors on screen,
// and every save taken between two frames.
#include "live.h"

#include "cleanup.h"
#include "files.h"
#include "staging.h"

#include "demo/clock.h"
#include "demo/tracks.h"
#include "render/programs.h"

#include <cstring>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace live {

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

// Points the staged link of `name` at the first data folder holding it, or
// at the folder's own music or logo for tune.ogg and logo.png.
void stage(const std::string& name)
{
    const std::string link = LIVE.files.staging + "/" + name;
    unlink(link.c_str());
    std::string target = resolve(name);
    if (name == "tune.ogg" && !LIVE.demo.folder.empty()) target = LIVE.files.tunePath;
    if (name == "logo.png" && !LIVE.demo.logoFile.empty()) target = LIVE.demo.logoFile;
    if (!target.empty() && symlink(target.c_str(), link.c_str()) != 0) {
        say("cannot link " + name + ": " + std::strerror(errno));
    }
}

bool makeStaging(std::string& error)
{
    std::string note;
    const std::string root = stagingRoot(note, error);
    if (root.empty()) return false;
    if (!note.empty()) std::cout << "orvanta-live: " << note << "\n";
    sweepStaleStaging(root, "orvanta-live");
    if (!makeStagingFolder(root, "orvanta-live", LIVE.files.staging, error)) return false;
    // Its links and marker go with it, however the player ends.
    holdFolder(LIVE.files.staging);
    stageDemoFiles();
    return true;
}

void stageDemoFiles()
{
    std::set<std::string>& names = LIVE.files.staged;
    const DemoDescription& demo = LIVE.demo.description;
    names.insert(demo.vertexFile);
    names.insert(demo.finalPass);
    for (const SceneDescription& scene : demo.scenes) names.insert(scene.passes.begin(), scene.passes.end());
    names.insert({"logo.png", "tune.ogg"});
    for (const std::string& track : LIVE.demo.names) names.insert("sync_" + track + ".track");
    for (const std::string& name : names) stage(name);
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
    const std::string& vertexFile = programVertexShaderFile();
    if (!readWholeFile(vertexFile, vertex, message, textFileLimit)) {
        setError(vertexFile, {message});
        say(message);
        return;
    }
    int rebuilt = 0;
    std::map<std::string, std::vector<std::string>> failures;
    for (int i = 0; i < programCount(); ++i) {
        const std::string fragmentFile = programFragmentFile(i);
        if (file != vertexFile && file != fragmentFile) continue;
        std::string fragment;
        if (!readWholeFile(fragmentFile, fragment, message, textFileLimit)) {
            failures[fragmentFile] = {message};
            continue;
        }
        std::string log;
        GLenum stage = 0;
        if (!rebuildProgram(i, vertex.c_str(), fragment.c_str(), log, stage)) {
            const std::string culprit = stage == GL_VERTEX_SHADER ? vertexFile : fragmentFile;
            if (!failures.count(culprit)) failures[culprit] = describeLog(culprit, log);
            continue;
        }
        ++rebuilt;
    }
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
    // Without a tune until now, the music starts where the silent clock is.
    const bool silent = !musicLoaded();
    const double row = playerRow();
    if (!reopenMusic()) {
        setError("tune.ogg", {"tune.ogg: cannot be decoded; the last good tune plays on"});
        say("tune.ogg: cannot be decoded; the last good tune plays on");
        return;
    }
    clearError("tune.ogg");
    if (silent) {
        // The player's own clock held the silent stream every frame; the
        // tune takes over where it was, and plays if the player does.
        holdMusicAt(playingAtFullSpeed() ? row : LIVE.time.heldRow);
        if (playingAtFullSpeed()) resumeMusic();
    }
    refreshLoudness();
    say("tune.ogg reloaded at row " + std::to_string(playerRow()));
}

bool sameFile(const std::string& a, const std::string& b)
{
    std::error_code error;
    return !a.empty() && !b.empty() && fs::equivalent(a, b, error);
}

std::vector<std::string> watchedFolders()
{
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
    return watched;
}

bool watchFolders(std::string& error)
{
    if (!LIVE.watcher) {
        LIVE.watcher = std::make_unique<FolderWatcher>(watchedFolders());
        error = LIVE.watcher->error();
        return LIVE.watcher->ok();
    }
    // Added to the watch that runs, so that no save in flight is missed.
    for (const std::string& folder : watchedFolders()) {
        if (!LIVE.watcher->watchToo(folder, error)) return false;
    }
    return true;
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
        // A folder's manifest, or a shader that declares other parameters,
        // makes another demo of it.
        if (sameFile(change.folder, LIVE.demo.folder) && rescanDemo(change.name)) continue;
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

} // namespace live
