// The open demo's folder: read and described, its shaders made the page's,
// the demo drawn from it, and each save the page writes taken as the
// desktop player takes a save: the last good demo and programs draw on
// while a file does not read or compile, its errors kept by file and line.
#include "studio.h"

#include "app/startup.h"
#include "demo/clock.h"
#include "demo/tracks.h"
#include "render/programs.h"
#include "render/render_screen.h"

#include <GL/glew.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <sys/stat.h>

namespace studio {

namespace {

constexpr size_t sourceLimit = size_t(8) << 20;

bool isFile(const std::string& path)
{
    struct stat info = {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool readFile(const std::string& path, std::string& bytes, std::string& error, const std::string& name)
{
    struct stat info = {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        error = name + ": not in the demo";
        return false;
    }
    if (static_cast<size_t>(info.st_size) > sourceLimit) {
        error = name + ": larger than 8 MiB";
        return false;
    }
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = name + ": cannot be read";
        return false;
    }
    bytes.assign(static_cast<size_t>(info.st_size), '\0');
    const size_t got = bytes.empty() ? 0 : std::fread(&bytes[0], 1, bytes.size(), file);
    std::fclose(file);
    bytes.resize(got);
    return true;
}

bool writeFile(const std::string& path, const std::string& bytes)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

// The folder's files, and Orvanta's final pass and vertex shader where the
// folder has none of its own, as the desktop finds them in its data folder.
FileReader folderReader()
{
    return [](const std::string& path, std::string& bytes, std::string& error) {
        const std::string name = path.substr(path.find_last_of('/') + 1);
        if (!isFile(path) && isFile("/studio/source/" + name)) return readFile("/studio/source/" + name, bytes, error, name);
        return readFile(path, bytes, error, name);
    };
}

std::vector<std::string> shaderFiles(const DemoDescription& d)
{
    std::vector<std::string> files = {d.vertexFile, d.finalPass};
    for (const SceneDescription& scene : d.scenes) files.insert(files.end(), scene.passes.begin(), scene.passes.end());
    std::sort(files.begin(), files.end());
    files.erase(std::unique(files.begin(), files.end()), files.end());
    return files;
}

// Lays `name` out in /run as the page compiles it. False with its error
// kept where the folder's version cannot be taken; the one in /run stays.
bool stageShader(const std::string& name)
{
    std::string source, error, es;
    const std::string own = "/demo/" + name;
    if (!isFile(own) && isFile("/studio/es/" + name)) {
        if (!readFile("/studio/es/" + name, es, error, name)) return false;
    } else if (!readFile(own, source, error, name)) {
        state().errors[name] = {{0, error}};
        return false;
    } else if (!shaderForPage(source, es, error)) {
        state().errors[name] = {fileError(name, name + ":" + error)};
        return false;
    }
    return writeFile("/run/" + name, es);
}

void noteBrokenPrograms()
{
    for (const ProgramProblem& problem : brokenPrograms()) {
        std::vector<ShaderError> lines = shaderErrors(problem.log);
        if (lines.empty()) lines.push_back({0, "does not compile"});
        state().errors[problem.file] = lines;
    }
}

void takeFolder(const DemoFolder& read)
{
    Studio& s = state();
    s.folder = read;
    s.names.clear();
    for (const TrackDescription& track : read.description.tracks) s.names.push_back(track.name);
    if (s.editor) {
        s.editor->setTrackNames(s.names);
        s.editor->setLastRow(static_cast<int32_t>(read.description.endRow));
    }
}

} // namespace

// The folder read and described as every tool takes it: a description the
// frame code draws, its shaders beside its manifest.
bool readFolder(const std::string& folder, DemoFolder& read, std::string& error)
{
    std::vector<std::string> shaders;
    return readDemoFolder(folder, folderReader(), read, error) && checkDescription(read.description, error) &&
           shadersBesideManifest(read, shaders, error);
}

bool checkFolder(const std::string& folder, std::string& error)
{
    DemoFolder read;
    return readFolder(folder, read, error);
}

bool openFolder(std::string& error)
{
    Studio& s = state();
    DemoFolder read;
    if (!readFolder("/demo", read, error)) return false;
    s.errors.clear();
    for (const std::string& file : shaderFiles(read.description)) stageShader(file);
    // The folder's image; else its text as the build drew it (logogen is
    // the desktop's), where the build drew that text; else the template's.
    const std::string word = read.manifest.logoText.empty() ? read.manifest.name : read.manifest.logoText;
    const std::string drawnWord = "/studio/logos/" + word + ".png";
    const bool plainWord = !word.empty() && word.find('/') == std::string::npos && word != "." && word != "..";
    const std::string logo = !read.manifest.logo.empty() && isFile("/demo/" + read.manifest.logo)
                                 ? "/demo/" + read.manifest.logo
                                 : plainWord && isFile(drawnWord) ? drawnWord : "/studio/logo.png";
    std::string bytes, ignored;
    if (readFile(logo, bytes, ignored, "logo")) writeFile("/run/logo.png", bytes);
    std::streambuf* console = std::cout.rdbuf(nullptr);
    bool drawn = true;
    if (!s.started) {
        DemoStartup startup;
        startup.window = WindowMode::Windowed;
        startup.width = std::max(1, s.sizing.width);
        startup.height = std::max(1, s.sizing.height);
        startup.sceneScale = 1.0f;
        startup.dataFolder = "/run";
        startup.description = read.description;
        static int argc = 1;
        static char name[] = "orvanta-studio";
        static char* argv[] = {name, nullptr};
        drawn = startDemo(argc, argv, startup, error);
        s.started = drawn;
    } else {
        drawn = redescribeDemo(read.description, error);
        std::string message;
        if (drawn && !replaceLogo("/run/logo.png", message)) say("logo: " + message);
        reopenMusic();
    }
    std::cout.rdbuf(console);
    if (!drawn) return false;
    s.tracksText = read.manifest.tracks;
    takeFolder(read);
    s.editor.reset();
    makeEditor();
    for (size_t t = 0; t < s.names.size(); ++t) pushTrack(static_cast<int>(t));
    noteBrokenPrograms();
    s.view = PanelView();
    s.muted.clear();
    s.soloed.clear();
    s.row = 0;
    // The music starts at the top, playing.
    s.time = Transport();
    holdMusicAt(0);
    resumeMusic();
    findSceneCuts();
    say(read.manifest.name + ": " + std::to_string(read.description.scenes.size()) + " scene" +
        (read.description.scenes.size() == 1 ? "" : "s") + ", " + std::to_string(s.names.size()) + " tracks");
    return true;
}

void takeSave(const std::string& name)
{
    Studio& s = state();
    if (!s.started) return;
    if (name == s.tracksText) {
        s.editor->reload();
        return;
    }
    const bool manifest = name == "demo.toml";
    const bool shader = name.size() > 4 && (name.compare(name.size() - 4, 4, ".fsh") == 0 ||
                                            name.compare(name.size() - 4, 4, ".vsh") == 0);
    if (name == s.folder.manifest.logo) {
        std::string message;
        if (replaceLogo(("/demo/" + name).c_str(), message)) say(name + ": the logo replaced");
        else say(name + ": " + message);
        return;
    }
    if (!manifest && !shader) return;
    DemoFolder read;
    std::string error;
    if (!readFolder("/demo", read, error)) {
        // The last good demo draws on; the error stands on its file.
        const std::string file = error.rfind(name + ":", 0) == 0 || error.find(name) != std::string::npos ? name : "demo.toml";
        s.errors[file] = {fileError(file, error)};
        say(error + " (the demo stays as it was)");
        return;
    }
    s.errors.erase("demo.toml");
    if (manifest && read.manifest.tracks != s.tracksText) {
        // The manifest names another tracks text: the editor takes that one,
        // what it had not written yet written first.
        s.editor->writeNow();
        s.tracksText = read.manifest.tracks;
        s.errors.erase(s.folder.manifest.tracks);
        s.folder.manifest = read.manifest;
        makeEditor();
        for (size_t t = 0; t < s.names.size(); ++t) pushTrack(static_cast<int>(t));
    }
    s.folder.manifest = read.manifest;
    if (!sameDescription(read.description, s.folder.description)) {
        // The shaders' errors are found again; the tracks text's stand.
        for (auto at = s.errors.begin(); at != s.errors.end();) {
            const std::string& file = at->first;
            const bool shaderFile = file.size() > 4 && (file.compare(file.size() - 4, 4, ".fsh") == 0 ||
                                                       file.compare(file.size() - 4, 4, ".vsh") == 0);
            at = shaderFile ? s.errors.erase(at) : std::next(at);
        }
        for (const std::string& file : shaderFiles(read.description)) stageShader(file);
        std::streambuf* console = std::cout.rdbuf(nullptr);
        const bool drawn = redescribeDemo(read.description, error);
        std::cout.rdbuf(console);
        if (!drawn) {
            s.errors["demo.toml"] = {fileError("demo.toml", error)};
            say(error + " (the demo stays as it was)");
            return;
        }
        const size_t before = s.names.size();
        takeFolder(read);
        for (size_t t = 0; t < s.names.size(); ++t) pushTrack(static_cast<int>(t));
        noteBrokenPrograms();
        findSceneCuts();
        if (s.row > read.description.endRow) moveTo(read.description.endRow);
        say(name + ": " + std::to_string(read.description.scenes.size()) + " scenes, " + std::to_string(s.names.size()) +
            " tracks (" + std::to_string(before) + " before)");
        return;
    }
    s.folder.ranges = read.ranges;
    if (!shader) return;
    s.errors.erase(name);
    if (!stageShader(name)) {
        say(name + ": " + s.errors[name].front().message + "; the last good version stays");
        return;
    }
    std::string vertex, ignored;
    readFile("/run/" + s.folder.description.vertexFile, vertex, ignored, "vertex");
    int rebuilt = 0;
    for (int i = 0; i < programCount(); ++i) {
        if (name != programVertexShaderFile() && name != programFragmentFile(i)) continue;
        std::string fragment, log;
        readFile("/run/" + programFragmentFile(i), fragment, ignored, name);
        GLenum stage = 0;
        if (!rebuildProgram(i, vertex.c_str(), fragment.c_str(), log, stage)) {
            const std::string culprit = stage == GL_VERTEX_SHADER ? programVertexShaderFile() : programFragmentFile(i);
            s.errors[culprit] = shaderErrors(log);
            if (s.errors[culprit].empty()) s.errors[culprit] = {{0, "does not compile"}};
            continue;
        }
        ++rebuilt;
    }
    if (s.errors.count(name)) {
        const ShaderError& first = s.errors[name].front();
        say(name + ":" + std::to_string(first.line) + ": " + first.message + " (the last good version draws)");
    } else {
        say(name + ": " + std::to_string(rebuilt) + " program" + (rebuilt == 1 ? "" : "s") + " rebuilt");
    }
}

} // namespace studio
