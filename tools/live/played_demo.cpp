// The demo the player plays: Orvanta from the executables' tables, or a
// demo folder read from its manifest, with the folder's music, logo and
// tracks text in the places the player takes them from.
#include "live.h"

#include "files.h"
#include "subprocess.h"

#include <filesystem>
#include <iostream>

namespace fs = std::filesystem;

namespace live {

namespace {

std::string besideThePlayer(const std::string& tool)
{
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? tool : (self.parent_path() / tool).string();
}

void takeDescription(const DemoDescription& description)
{
    Demo& demo = LIVE.demo;
    demo.description = description;
    demo.names.clear();
    for (const TrackDescription& track : description.tracks) demo.names.push_back(track.name);
    demo.sceneTrack = trackIndex(description, description.sceneTrack);
    demo.timeTrack = trackIndex(description, description.timeTrack);
    demo.ranges.resize(demo.names.size());
}

} // namespace

bool chooseDemo(std::string& error)
{
    LiveOptions& options = LIVE.options;
    if (options.demoFolder.empty()) {
        takeDescription(orvantaDescription());
        return true;
    }
    const std::string folder = fs::absolute(options.demoFolder).lexically_normal().string();
    DemoFolder read;
    const FileReader reader = [](const std::string& path, std::string& bytes, std::string& why) {
        return readWholeFile(path, bytes, why, textFileLimit);
    };
    if (!readDemoFolder(folder, reader, read, error)) return false;
    for (const std::string& note : read.notes) std::cout << "orvanta-live: " << note << "\n";
    const DemoDescription& d = read.description;
    std::vector<std::string> files{d.vertexFile, d.finalPass};
    for (const SceneDescription& scene : d.scenes) files.insert(files.end(), scene.passes.begin(), scene.passes.end());
    for (const std::string& file : files) {
        if (file.find('/') != std::string::npos) {
            error = folder + "/demo.toml: " + file + ": the player takes shaders from beside demo.toml, not from a folder under it";
            return false;
        }
    }
    takeDescription(d);
    LIVE.demo.folder = folder;
    LIVE.demo.ranges = read.ranges;
    const DemoManifest& m = read.manifest;
    options.dataFolders.insert(options.dataFolders.begin(), folder);
    if (options.tracks.empty()) options.tracks = folder + "/" + m.tracks;
    const bool scored = m.music.size() > 6 && m.music.compare(m.music.size() - 6, 6, ".score") == 0;
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
    options.argv = {besideThePlayer("logogen"), ORVANTA_LOGO_FONT, "-o", out, "--text", demo.logoText};
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
    std::error_code missing, old;
    const auto tune = fs::last_write_time(LIVE.files.tunePath, missing);
    const auto score = fs::last_write_time(LIVE.files.score, old);
    return missing || (!old && tune < score);
}

} // namespace live
