// The demo the player plays: Orvanta from the executables' tables, or a
// demo folder read from its manifest, with the folder's music, logo and
// tracks text in the places the player takes them from.
#include "live.h"

#include "demo_staging.h"
#include "files.h"
#include "subprocess.h"
#include "tune_source.h"

#include "app/startup.h"
#include "render/programs.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

namespace fs = std::filesystem;

namespace live {

namespace {

bool endsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Every file a description names lies beside demo.toml: the staging folder
// links files, not folders.
bool flatFiles(const DemoFolder& demo, std::string& error)
{
    std::vector<std::string> files;
    return shadersBesideManifest(demo, files, error);
}

void takeDescription(const DemoDescription& description)
{
    Demo& demo = LIVE.demo;
    demo.description = description;
    demo.names.clear();
    for (const TrackDescription& track : description.tracks) demo.names.push_back(track.name);
    demo.unread.clear();
    demo.sceneTrack = trackIndex(description, description.sceneTrack);
    demo.timeTrack = trackIndex(description, description.timeTrack);
    demo.ranges.resize(demo.names.size());
}

// The manifest names another tracks text or other music: the editor, the
// watcher and the tune move to them, where the command line did not name
// its own. The files named before are left as they are.
void followManifestFiles(const DemoManifest& m)
{
    Demo& demo = LIVE.demo;
    const std::string tracks = demo.folder + "/" + m.tracks;
    const std::string music = demo.folder + "/" + m.music;
    const std::string before = LIVE.files.score.empty() ? demo.tuneFile : LIVE.files.score;
    const bool newTracks = demo.tracksFromManifest && tracks != LIVE.files.tracks;
    const bool newMusic = demo.musicFromManifest && music != before;
    if (!newTracks && !newMusic) return;
    if (newTracks) {
        std::string bytes, error;
        if (!readWholeFile(tracks, bytes, error, textFileLimit)) {
            setError("demo.toml", {error + "; edits still go to " + LIVE.files.tracks});
            say(error + "; edits still go to " + LIVE.files.tracks);
        } else {
            // Edits not yet written belong to the text they were made in.
            if (LIVE.editor->unwritten()) LIVE.editor->writeNow();
            const std::string old = LIVE.files.tracks;
            LIVE.files.tracks = tracks;
            takeDescription(demo.description);
            makeEditor();
            reloadTrackText();
            addUnreadTracks();
            say("demo.toml: edits go to " + m.tracks + " now; " + old + " is left as it is");
        }
    }
    if (newMusic) {
        endTunegen();
        const bool scored = endsWith(m.music, ".score");
        LIVE.files.score = scored ? music : "";
        demo.tuneFile = scored ? "" : music;
        LIVE.files.tunePath = scored ? demo.folder + "/tune.ogg" : music;
        stage("tune.ogg");
        say("demo.toml: the music is " + m.music + " now; " + before + " is left as it is");
        if (musicFromScoreNeeded()) {
            startTunegen();
        } else {
            reloadTune();
        }
    }
    std::string error;
    if (!watchFolders(error)) say(error + "; the folders watched before are still watched");
}

} // namespace

bool chooseDemo(std::string& error)
{
    LiveOptions& options = LIVE.options;
    if (options.demoFolder.empty()) {
        // Orvanta through its manifest, from the first data folder that has
        // one; the executables' tables, which a test holds equal to it, where
        // none reads.
        takeDescription(orvantaDescription());
        for (const std::string& data : options.dataFolders) {
            DemoFolder own;
            std::string ignored;
            if (!fs::exists(fs::path(data) / "demo.toml")) continue;
            if (readDemoFolder(data, textFileReader(), own, ignored)) takeDescription(own.description);
            break;
        }
        return true;
    }
    const std::string folder = fs::absolute(options.demoFolder).lexically_normal().string();
    DemoFolder read;
    if (!readDemoFolder(folder, textFileReader(), read, error) || !musicCoversDemo(read, error)) return false;
    for (const std::string& note : read.notes) std::cout << "orvanta-live: " << note << "\n";
    const DemoDescription& d = read.description;
    if (!flatFiles(read, error)) return false;
    takeDescription(d);
    LIVE.demo.folder = folder;
    LIVE.demo.ranges = read.ranges;
    const DemoManifest& m = read.manifest;
    options.dataFolders.insert(options.dataFolders.begin(), folder);
    LIVE.demo.tracksFromManifest = options.tracks.empty();
    if (options.tracks.empty()) options.tracks = folder + "/" + m.tracks;
    const bool scored = endsWith(m.music, ".score");
    LIVE.demo.musicFromManifest = options.score.empty();
    if (scored && options.score.empty()) options.score = folder + "/" + m.music;
    if (!scored) LIVE.demo.tuneFile = folder + "/" + m.music;
    if (!m.logo.empty()) LIVE.demo.logoFile = folder + "/" + m.logo;
    LIVE.demo.logoText = m.logo.empty() ? (m.logoText.empty() ? m.name : m.logoText) : "";
    return checkLivePositions(options, d.endRow, error);
}

void drawLogoText()
{
    Demo& demo = LIVE.demo;
    if (demo.logoText.empty()) return;
    const std::string out = LIVE.files.staging + "/.logo-text.png";
    SubprocessOptions options;
    options.argv = {besideThisProgram("logogen"), ORVANTA_LOGO_FONT, "-o", out, "--text", demo.logoText};
    options.output = SubprocessStream::Null;
    Subprocess logogen;
    if (!logogen.start(options) || logogen.wait(20) != 0) {
        std::cout << "orvanta-live: logogen could not draw the logo '" << demo.logoText << "'; the demo has none\n";
        return;
    }
    demo.logoFile = out;
    stage("logo.png");
}

bool musicFromScoreNeeded()
{
    if (LIVE.demo.folder.empty() || LIVE.files.score.empty()) return false;
    std::string score, error;
    return readWholeFile(LIVE.files.score, score, error, textFileLimit) && !tuneRendersScore(LIVE.files.tunePath, score);
}

void addUnreadTracks()
{
    Demo& demo = LIVE.demo;
    if (demo.folder.empty()) return;
    for (const TextTrack& track : LIVE.editor->document().tracks()) {
        if (std::find(demo.names.begin(), demo.names.end(), track.name) != demo.names.end()) continue;
        demo.unread.insert(static_cast<int>(demo.names.size()));
        demo.names.push_back(track.name);
    }
    demo.ranges.resize(demo.names.size());
    LIVE.editor->setTrackNames(demo.names);
}

bool rescanDemo(const std::string& name)
{
    Demo& demo = LIVE.demo;
    const bool manifest = name == "demo.toml";
    if (demo.folder.empty() || !(manifest || endsWith(name, ".fsh") || endsWith(name, ".vsh"))) return false;
    DemoFolder read;
    std::string error;
    // The music is checked again where the timeline changed.
    if (!readDemoFolder(demo.folder, textFileReader(), read, error) || !flatFiles(read, error) ||
        ((read.description.endRow != demo.description.endRow || read.description.rowRate != demo.description.rowRate) &&
         !musicCoversDemo(read, error))) {
        // A shader that cannot be read is refused where it lands; one that
        // reads but makes a demo no tool takes (a uniform named as the
        // chain's track, a track too many) is refused here, and said, as at
        // start-up: the folder's one description error, whichever save
        // brought it, naming its file and line until the folder reads again.
        std::error_code kind;
        if (!manifest && !fs::is_regular_file(demo.folder + "/" + name, kind)) return false;
        setError("demo.toml", {error});
        say(error + " (the demo stays as it was)");
        return true;
    }
    clearError("demo.toml");
    if (manifest) followManifestFiles(read.manifest);
    demo.ranges = read.ranges;
    if (sameDescription(read.description, demo.description)) return manifest;
    for (const std::string& note : read.notes) sayOnConsole(note);
    const std::vector<std::string> before = demo.names;
    const size_t scenesBefore = demo.description.scenes.size();
    // The new demo's files are linked before its programs and tracks read them.
    const DemoDescription old = demo.description;
    takeDescription(read.description);
    demo.ranges = read.ranges;
    stageDemoFiles();
    std::streambuf* console = std::cout.rdbuf(nullptr);
    const bool drawn = redescribeDemo(read.description, error);
    std::cout.rdbuf(console);
    if (!drawn) {
        takeDescription(old);
        setError("demo.toml", {error});
        say(error + " (the demo stays as it was)");
        return true;
    }
    addUnreadTracks();
    LIVE.editor->setLastRow(static_cast<int32_t>(read.description.endRow));
    findCuts();
    LIVE.time.loopTo = std::min(LIVE.time.loopTo, read.description.endRow);
    if (LIVE.row > read.description.endRow) moveTo(read.description.endRow);
    for (const ProgramProblem& problem : brokenPrograms()) setError(problem.file, describeLog(problem.file, problem.log));
    std::string added, unread;
    for (size_t t = 0; t < demo.names.size(); ++t) {
        const std::string& track = demo.names[t];
        if (demo.unread.count(static_cast<int>(t))) {
            unread += (unread.empty() ? "" : ", ") + track;
        } else if (std::find(before.begin(), before.end(), track) == before.end()) {
            added += (added.empty() ? "" : ", ") + track;
        }
    }
    const auto count = [](size_t n, const char* what) { return std::to_string(n) + " " + what + (n == 1 ? "" : "s"); };
    say(name + ": " + count(read.description.scenes.size(), "scene") + " (" + std::to_string(scenesBefore) + " before), " +
        count(read.description.tracks.size(), "track") + (added.empty() ? std::string() : ", new: " + added) +
        (unread.empty() ? std::string() : ", read by nothing: " + unread));
    return true;
}

} // namespace live
