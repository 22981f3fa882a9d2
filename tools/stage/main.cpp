// orvanta-stage: a demo folder laid out as a run folder of copies, for what
// ships it (the web page, a release): its shaders, its tracks compiled into
// track files, its music and logo, and under demo/ its manifest with the
// shaders' own sources, from which the shipped program reads the demo.
#include "cleanup.h"
#include "demo_staging.h"
#include "usage.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/stat.h>

namespace {

const char* const usage =
    "Usage: orvanta-stage DEMO OUT\n"
    "Lays out the demo folder DEMO (its demo.toml and the files it names) in OUT, a new\n"
    "folder, as the demo reads its run folder: the shaders, a track file a track\n"
    "compiled from the tracks text, tune.ogg (rendered by tunegen from a score) and\n"
    "logo.png (drawn by logogen from a logo text), all copies, and demo/ holding the\n"
    "manifest and the shaders' sources. OUT appears whole or not at all.\n"
    "\n"
    "Usage: orvanta-stage --name DEMO\n"
    "Prints the demo's name and its version, a line each, as its manifest gives them\n"
    "(the version's line is empty where it gives none): what its release is named by.\n"
    "  --help   this text\n";

} // namespace

int main(int argc, char** argv)
{
    std::string demo, out;
    bool named = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(usage, stdout);
            return 0;
        }
        if (arg == "--name") {
            named = true;
            continue;
        }
        if (arg.size() > 1 && arg[0] == '-') return usageError("orvanta-stage", "unknown option '" + arg + "'", usage);
        if (demo.empty()) demo = arg;
        else if (out.empty()) out = arg;
        else return usageError("orvanta-stage", "a demo folder and an output folder, no more", usage);
    }
    if (named) {
        if (demo.empty() || !out.empty()) return usageError("orvanta-stage", "--name takes a demo folder, no more", usage);
        DemoFolder read;
        std::string error;
        if (!readDemoFolder(demo, textFileReader(), read, error)) {
            std::fprintf(stderr, "orvanta-stage: %s\n", error.c_str());
            return 1;
        }
        std::printf("%s\n%s\n", read.manifest.name.c_str(), read.manifest.version.c_str());
        return 0;
    }
    if (out.empty()) return usageError("orvanta-stage", "a demo folder and an output folder are needed", usage);
    while (out.size() > 1 && out.back() == '/') out.pop_back();
    struct stat info = {};
    if (lstat(out.c_str(), &info) == 0) {
        std::fprintf(stderr, "orvanta-stage: %s: is there already; name a new folder\n", out.c_str());
        return 1;
    }
    endOnSignals();
    std::string made = out + ".new-XXXXXX";
    if (!mkdtemp(made.data())) {
        std::fprintf(stderr, "orvanta-stage: cannot make a folder beside %s: %s\n", out.c_str(), std::strerror(errno));
        return 1;
    }
    // demo/ first: a folder goes only once what it holds has gone.
    const int sources = holdFolder(made + "/demo");
    const int staging = holdFolder(made);
    std::string error;
    StagedDemo staged;
    const auto progress = [](const std::string& line) { std::fprintf(stderr, "orvanta-stage: %s\n", line.c_str()); };
    if (!stageDemoFolder(demo, made, staged, error, true, progress) || rename(made.c_str(), out.c_str()) != 0) {
        if (error.empty()) error = "cannot make " + out + ": " + std::strerror(errno);
        cleanUpNow();
        std::fprintf(stderr, "orvanta-stage: %s\n", error.c_str());
        return 1;
    }
    releaseFolder(sources);
    releaseFolder(staging);
    chmod(out.c_str(), 0755);
    std::printf("%s: demo '%s', %zu scenes, %zu tracks\n", out.c_str(), staged.demo.manifest.name.c_str(),
                staged.demo.description.scenes.size(), staged.demo.description.tracks.size());
    return 0;
}
