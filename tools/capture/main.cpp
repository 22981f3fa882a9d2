// orvanta-capture: renders the demo offline at a fixed frame rate, however
// long each frame takes, with the demo's own frame code, and writes H.264
// video with the music (through the ffmpeg program), PNG frames, stills or
// a contact sheet. It renders in an X server of its own of the capture's
// size, with the scene scale of the full-scale screen build unless
// --scene-scale says otherwise.
#include "subprocess.h"
#include "cleanup.h"
#include "demo_staging.h"
#include "encoder.h"
#include "files.h"
#include "frames.h"
#include "join.h"
#include "parts.h"
#include "options.h"
#include "plan.h"
#include "schedule.h"
#include "progress.h"
#include "shown.h"
#include "staging.h"
#include "stills.h"
#include "usage.h"
#include "xvfb.h"

#include "app/startup.h"
#include "demo/tracks.h"
#include "render/programs.h"
#include "render/render_screen.h"


#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

CapturePlan plan;
bool programOnPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "";
    for (size_t start = 0; start <= folders.size();) {
        const size_t end = std::min(folders.find(':', start), folders.size());
        const std::string candidate = folders.substr(start, end - start) + "/" + name;
        if (end > start && access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

int fail(const std::string& message, TemporaryFile* partial = nullptr)
{
    if (partial) discardTemporary(*partial);
    std::fprintf(stderr, "\norvanta-capture: %s\n", message.c_str());
    return 1;
}

// The frames this run writes, and where: the whole selection, or a part of it.
void framesToWrite(long& first, long& last, std::string& out)
{
    writtenFrames(plan, first, last);
    out = plan.out;
    if (plan.parts > 0) {
        partFrames(plan, plan.part, plan.parts, first, last);
        out = partPath(plan.out, plan.part, plan.parts);
    }
}

int captureFrames()
{
    long first = 0, last = 0;
    std::string out;
    framesToWrite(first, last, out);
    if (first > last) return fail("--frames lies beyond the capture's " + std::to_string(frameCount(plan)) + " frames");
    const long count = last - first + 1;
    Encoder encoder;
    // ffmpeg writes over a name this run created exclusively, never one
    // that could have been planted.
    TemporaryFile temporary;
    const std::string tag = plan.parts > 0 ? partTag(plan, plan.part, plan.parts, first, last) : "";
    const std::string label =
        plan.parts > 0 ? "part " + std::to_string(plan.part) + "/" + std::to_string(plan.parts) + ": " : "";
    if (plan.output == CaptureOutput::Video) {
        // What a capture killed outright left beside the output goes first;
        // this one's stays locked while it is written.
        sweepStaleTemporaries(out, ".mp4");
        std::string error;
        if (!createTemporary(out, ".mp4", temporary, error)) return fail(error);
        if (!encoder.start(plan, temporary.path, frameSeconds(plan, first), count, tag)) {
            return fail("cannot start ffmpeg", &temporary);
        }
    }
    if (plan.output == CaptureOutput::Frames) {
        std::error_code error;
        fs::create_directories(plan.out, error);
    }
    const long warm = warmUpFrames(plan, frameSeconds(plan, first));
    Progress progress(warm, count, label);
    warmUp(plan, frameSeconds(plan, first), &progress);
    Picture picture;
    for (long i = first; i <= last; ++i) {
        drawAt(frameSeconds(plan, i), &picture);
        if (plan.output == CaptureOutput::Video) {
            if (!encoder.write(picture.rgba)) {
                encoder.finish();
                return fail("ffmpeg stopped taking frames", &temporary);
            }
        } else {
            char name[32];
            std::snprintf(name, sizeof name, "frame_%06ld.png", i);
            const std::vector<unsigned char> image = picture.flipped();
            std::string error;
            if (!writePngAtomically(plan.out + name, plan.width, plan.height, image.data(), error)) {
                return fail(error);
            }
        }
        progress.update(warm + i - first + 1);
    }
    if (plan.output == CaptureOutput::Video) {
        if (!encoder.finish()) return fail("ffmpeg failed", &temporary);
        std::string error;
        if (!commitTemporary(temporary, out, error)) return fail(error);
    }
    if (plan.parts > 0) std::fprintf(stderr, "%sframes %ld-%ld in %s\n", label.c_str(), first, last, out.c_str());
    return 0;
}

// The demo folder given, read for its timeline and files before the rest
// of the command line.
DemoFolder folderDemo;

// Every file the capture reads from the run folder, or from the folder given.
std::vector<std::string> inputFiles()
{
    if (!plan.demoFolder.empty()) {
        const std::string folder = fs::absolute(plan.demoFolder).lexically_normal().string();
        const DemoDescription& d = folderDemo.description;
        const DemoManifest& m = folderDemo.manifest;
        std::vector<std::string> paths{folder + "/demo.toml", folder + "/" + m.tracks, folder + "/" + m.music,
                                       folder + "/tune.ogg", folder + "/" + d.vertexFile, folder + "/" + d.finalPass};
        if (!m.logo.empty()) paths.push_back(folder + "/" + m.logo);
        for (const SceneDescription& scene : d.scenes) {
            for (const std::string& pass : scene.passes) paths.push_back(folder + "/" + pass);
        }
        return paths;
    }
    std::vector<std::string> names = {programVertexFile, "logo.png", "tune.ogg"};
    names.insert(names.end(), std::begin(programFragmentFiles), std::end(programFragmentFiles));
    for (const char* track : demoTrackNames) names.push_back(std::string("sync_") + track + ".track");
    std::vector<std::string> paths;
    for (const std::string& name : names) paths.push_back((fs::path(plan.dataDir) / name).string());
    return paths;
}

} // namespace

int main(int argc, char** argv)
{
    std::string error;
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(captureUsageText().c_str(), stdout);
        return 0;
    }
    // A demo folder sets the timeline the rows on the command line are read on.
    const std::string folder = captureDemoFolder(argc, argv);
    if (!folder.empty()) {
        if (!readDemoFolder(folder, textFileReader(), folderDemo, error)) return fail(error);
        plan.rowRate = folderDemo.description.rowRate;
        plan.endRow = folderDemo.description.endRow;
    }
    const std::string installed = installedDataFolder();
    if (!installed.empty()) plan.dataDir = installed;
    if (!parseCapturePlan(argc, argv, plan, error)) return usageError("orvanta-capture", error, captureUsageText().c_str());
    if (plan.output == CaptureOutput::Video || plan.output == CaptureOutput::ContactSheet) {
        const std::string input = inputWrittenBy(plan.out, inputFiles());
        if (!input.empty()) {
            return usageError("orvanta-capture", "the output " + plan.out + " is the input " + input, captureUsageText().c_str());
        }
    }
    endOnSignals();
    DemoDescription description;
    std::string manifest;
    if (!plan.demoFolder.empty()) {
        // The folder laid out as a run folder, in a folder of the capture's
        // own that goes with it however it ends, and that the next capture
        // sweeps away if this one is killed outright.
        std::string note, staging;
        const std::string root = stagingRoot(note, error);
        if (!note.empty()) std::fprintf(stderr, "orvanta-capture: %s\n", note.c_str());
        if (root.empty()) return fail(error);
        sweepStaleStaging(root, "orvanta-capture");
        if (!makeStagingFolder(root, "orvanta-capture", staging, error)) return fail(error);
        holdFolder(staging);
        std::atexit(cleanUpNow);
        StagedDemo staged;
        const auto progress = [](const std::string& line) { std::fprintf(stderr, "orvanta-capture: %s\n", line.c_str()); };
        if (!stageDemoFolder(plan.demoFolder, staging, staged, error, false, progress)) {
            cleanUpNow();
            return fail(error);
        }
        folderDemo = staged.demo;
        plan.dataDir = staging;
        description = folderDemo.description;
        manifest = fs::absolute(plan.demoFolder).string() + "/demo.toml";
    } else if (fs::exists(fs::path(plan.dataDir) / "demo.toml")) {
        // Orvanta through its manifest where the run folder has it; the
        // executables' tables, which a test holds equal to it, where not.
        DemoFolder own;
        std::string ignored;
        if (readDemoFolder(plan.dataDir, textFileReader(), own, ignored)) {
            description = own.description;
            manifest = (fs::path(plan.dataDir) / "demo.toml").string();
        }
    }
    if (!fs::exists(fs::path(plan.dataDir) / "tune.ogg")) {
        return fail("no tune.ogg in " + plan.dataDir + ": the music is the capture's clock");
    }
    // What the frames show, for the tags of parts and the join's check;
    // a whole video, stills and sheets need none.
    if ((plan.parts > 0 || plan.output == CaptureOutput::Join) &&
        !readShownState(plan.dataDir, description.scenes.empty() ? orvantaDescription() : description, manifest,
                        plan.shown, error)) {
        cleanUpNow();
        return fail(error);
    }
    // Output paths are taken before the working directory changes.
    plan.out = fs::absolute(plan.out).string() + (plan.out.back() == '/' ? "/" : "");
    if (plan.out.size() > 1 && plan.out.substr(plan.out.size() - 2) == "//") plan.out.pop_back();
    if (plan.output == CaptureOutput::Join) return joinParts(plan);
    if (plan.parts > 0) {
        long first = 0, last = 0;
        std::string out;
        framesToWrite(first, last, out);
        const std::string input = inputWrittenBy(out, inputFiles());
        if (!input.empty()) {
            return usageError("orvanta-capture", "the output " + out + " is the input " + input, captureUsageText().c_str());
        }
        std::string why;
        if (plan.resume && partIsComplete(plan, out, first, last, why)) {
            std::fprintf(stderr, "part %d/%d: frames %ld-%ld in %s are complete: kept\n", plan.part, plan.parts, first,
                         last, out.c_str());
            return 0;
        }
        if (plan.resume && !why.empty()) {
            std::fprintf(stderr, "part %d/%d: %s: rendering it again\n", plan.part, plan.parts, why.c_str());
        }
    }

    // Through an X server of the capture's size where Xvfb is there, as
    // before; through EGL when asked, or when there is no Xvfb and no display.
    const bool egl = plan.gl == CaptureGl::Egl ||
                     (plan.gl == CaptureGl::Auto && !programOnPath("Xvfb") && !std::getenv("DISPLAY"));
    std::unique_ptr<XServer> server;
    if (!egl) {
        server = std::make_unique<XServer>(plan.width, plan.height);
        if (!server->ok()) return fail("cannot start Xvfb");
        setenv("DISPLAY", server->display().c_str(), 1);
    }
    setenv("SDL_AUDIODRIVER", "none", 1); // silent: the capture sets the position itself
    std::signal(SIGPIPE, SIG_IGN);

    // The demo's own start-up, its log kept off the capture's console. The
    // music never plays: each frame holds it at the frame's row. The command
    // line is the capture's, not the window system's.
    std::streambuf* console = std::cout.rdbuf(nullptr);
    DemoStartup startup;
    startup.window = egl ? WindowMode::Offscreen : WindowMode::Screen;
    startup.width = plan.width;
    startup.height = plan.height;
    startup.sceneScale = plan.sceneScale;
    startup.dataFolder = plan.dataDir;
    startup.description = description;
    int startupArgc = 1;
    // A broken shader is reported below; nothing may wait for a key.
    if (!std::freopen("/dev/null", "r", stdin)) return fail("cannot read /dev/null");
    const bool started = startDemo(startupArgc, argv, startup, error);
    std::cout.rdbuf(console);
    if (!started) {
        cleanUpNow();
        return fail(error);
    }
    const std::vector<ProgramProblem> broken = brokenPrograms();
    // Named as the maker has them: a folder's shaders, not their staged links.
    const std::string sources = plan.demoFolder.empty() ? plan.dataDir : plan.demoFolder;
    for (const ProgramProblem& problem : broken) {
        std::fprintf(stderr, "orvanta-capture: %s/%s does not compile:\n%s", sources.c_str(), problem.file.c_str(),
                     problem.log.c_str());
    }
    if (!broken.empty()) {
        cleanUpNow();
        std::fflush(stderr);
        std::_Exit(1);
    }
    console = std::cout.rdbuf(nullptr);

    int status = 0;
    switch (plan.output) {
    case CaptureOutput::Video:
    case CaptureOutput::Frames: status = captureFrames(); break;
    case CaptureOutput::Stills: status = captureStills(plan, error) ? 0 : fail(error); break;
    case CaptureOutput::ContactSheet: status = captureContactSheet(plan, error) ? 0 : fail(error); break;
    case CaptureOutput::Join: break; // joined above, without a picture
    }
    std::cout.rdbuf(console);
    std::fflush(stderr);
    cleanUpNow(); // the server and ffmpeg, the temporary video; _Exit runs no destructors
    std::_Exit(status); // the window system's exit path is not needed
}
