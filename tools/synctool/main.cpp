// synctool: compiles keyframe tracks written as text into the demo's binary
// track files, and reads those files back.
//
//   synctool build SOURCE... -o DIR [--base NAME]
//   synctool dump FILE.track...
//   synctool check FILE.track...
//   synctool sample DIR TRACK ROW... [--base NAME]
#include "cleanup.h"
#include "files.h"
#include "track_text.h"
#include "usage.h"

#include "sync.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char* const usage =
    "Usage: synctool build SOURCE... -o DIR [--base NAME]\n"
    "  or:  synctool dump FILE.track...\n"
    "  or:  synctool check FILE.track...\n"
    "  or:  synctool sample DIR TRACK ROW... [--base NAME]\n"
    "  build    compiles track texts into one BASE_TRACK.track file a track in DIR,\n"
    "           all of them or, on any error, none (BASE: sync by default)\n"
    "  dump     writes track files as text that builds back to the same bytes\n"
    "  check    tells what the demo's reader would mend in track files; exit 1 if any\n"
    "  sample   the values the demo sees for a track at the rows given\n"
    "  --base   the first part of each track file's name: no '/', not . or ..\n"
    "Track texts are read up to 8 MiB, track files up to 64 MiB.\n"
    "  --help   this text\n";

int usageError(const std::string& message)
{
    return ::usageError("synctool", message, usage);
}

// "sync_cam.dist.x.track" -> "cam.dist.x" for the base "sync"; otherwise the
// file's name without folder and extension.
std::string trackNameOf(const std::string& path, const std::string& base)
{
    std::string name = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
    const std::string extension = ".track";
    if (name.size() > extension.size() && name.compare(name.size() - extension.size(), extension.size(), extension) == 0) {
        name.resize(name.size() - extension.size());
    }
    const std::string prefix = base + "_";
    if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0) {
        name = name.substr(prefix.size());
    }
    return name;
}

// A base names files inside the output folder: nothing that leaves it.
bool validBase(const std::string& base)
{
    return !base.empty() && base != "." && base != ".." && base.find('/') == std::string::npos;
}

std::string badBase(const std::string& base)
{
    return base.empty() ? "--base is empty" : "--base '" + base + "' is not a plain name (no '/', not . or ..)";
}

int build(const std::vector<std::string>& args)
{
    std::vector<std::string> sources;
    std::string outDir;
    std::string base = "sync";
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" || args[i] == "--base") {
            if (i + 1 >= args.size()) return usageError(args[i] + " needs a value");
            std::string& target = args[i] == "-o" ? outDir : base;
            target = args[++i];
        } else {
            sources.push_back(args[i]);
        }
    }
    if (sources.empty() || outDir.empty()) return usageError("build needs sources and -o DIR");
    if (!validBase(base)) return usageError(badBase(base));

    std::vector<TextTrack> tracks;
    for (const std::string& source : sources) {
        std::string text, message;
        if (!readWholeFile(source, text, message, textFileLimit)) {
            std::fprintf(stderr, "%s\n", message.c_str());
            return 1;
        }
        TextError error;
        if (!parseTrackText(text, source, tracks, error)) {
            std::fprintf(stderr, "%s\n", error.describe().c_str());
            return 1;
        }
    }
    // Every name is checked before anything is written.
    std::vector<std::string> paths;
    for (const TextTrack& track : tracks) {
        const char* file = sync_track_file_path(base.c_str(), track.name.c_str());
        const std::string path = file ? outDir + "/" + file : std::string();
        if (!file || path.size() > 4000) {
            std::fprintf(stderr, "%s:%d: track file name for '%s' is too long\n", sources[0].c_str(), track.line,
                         track.name.c_str());
            return 1;
        }
        const std::string input = inputWrittenBy(path, sources);
        if (!input.empty()) return usageError(path + " is the source " + input);
        paths.push_back(path);
    }
    // All or nothing: a build that fails leaves every old file as it was.
    std::vector<std::pair<std::string, std::string>> files;
    for (size_t i = 0; i < tracks.size(); ++i) files.emplace_back(paths[i], encodeTrackFile(tracks[i].keys));
    std::string message;
    if (!writeFilesAtomically(files, message)) {
        std::fprintf(stderr, "synctool: %s\n", message.c_str());
        return 1;
    }
    return 0;
}

int dump(const std::vector<std::string>& files)
{
    if (files.empty()) return usageError("dump needs track files");
    std::vector<TextTrack> tracks;
    for (const std::string& file : files) {
        std::string bytes, message;
        if (!readWholeFile(file, bytes, message, dataFileLimit)) {
            std::fprintf(stderr, "%s\n", message.c_str());
            return 1;
        }
        std::vector<TrackFileProblem> problems;
        tracks.push_back({trackNameOf(file, "sync"), decodeTrackFile(bytes, problems), 0});
        for (const TrackFileProblem& problem : problems) {
            std::fprintf(stderr, "%s: warning: %s\n", file.c_str(), problem.message.c_str());
        }
    }
    std::fputs(formatTrackText(tracks).c_str(), stdout);
    return 0;
}

int check(const std::vector<std::string>& files)
{
    if (files.empty()) return usageError("check needs track files");
    bool clean = true;
    for (const std::string& file : files) {
        std::string bytes, message;
        if (!readWholeFile(file, bytes, message, dataFileLimit)) {
            std::printf("%s\n", message.c_str());
            clean = false;
            continue;
        }
        std::vector<TrackFileProblem> problems;
        const std::vector<TrackKey> keys = decodeTrackFile(bytes, problems);
        for (const TrackFileProblem& problem : problems) {
            if (problem.key >= 0) {
                std::printf("%s: key %d: %s\n", file.c_str(), problem.key, problem.message.c_str());
            } else {
                std::printf("%s: %s\n", file.c_str(), problem.message.c_str());
            }
        }
        if (problems.empty()) {
            std::printf("%s: ok, %zu keys\n", file.c_str(), keys.size());
        }
        clean = clean && problems.empty();
    }
    return clean ? 0 : 1;
}

int sample(const std::vector<std::string>& args)
{
    std::vector<std::string> positional;
    std::string base = "sync";
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--base") {
            if (i + 1 >= args.size()) return usageError("--base needs a value");
            base = args[++i];
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() < 3) return usageError("sample needs DIR TRACK ROW...");
    if (!validBase(base)) return usageError(badBase(base));
    std::vector<double> rows;
    for (size_t i = 2; i < positional.size(); ++i) {
        char* end = nullptr;
        const double row = std::strtod(positional[i].c_str(), &end);
        if (positional[i].empty() || *end != '\0') return usageError("row '" + positional[i] + "' is not a number");
        rows.push_back(row);
    }
    // A missing track samples as 0 in the demo; asked for here, it is an error.
    const char* name = sync_track_file_path(base.c_str(), positional[1].c_str());
    const std::string file = name ? positional[0] + "/" + name : std::string();
    std::string bytes, message;
    if (file.empty() || !readWholeFile(file, bytes, message, dataFileLimit)) {
        std::fprintf(stderr, "synctool: %s\n", file.empty() ? "track name too long" : message.c_str());
        return 1;
    }
    SyncDevice* device = sync_open_device((positional[0] + "/" + base).c_str());
    if (!device) {
        std::fprintf(stderr, "synctool: out of memory\n");
        return 1;
    }
    const SyncTrack* track = sync_open_track(device, positional[1].c_str());
    for (double row : rows) {
        std::printf("%.9g\t%.9g\n", row, static_cast<double>(sync_sample_track(track, row)));
    }
    sync_close_device(device);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) return usageError("no command");
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    // Its temporaries go with it on a signal; a file-size limit is a write
    // error like any other.
    endOnSignals();
    if (command == "build") return build(args);
    if (command == "dump") return dump(args);
    if (command == "check") return check(args);
    if (command == "sample") return sample(args);
    if (command == "--help" || command == "-h") {
        std::fputs(usage, stdout);
        return 0;
    }
    return usageError("unknown command '" + command + "'");
}
