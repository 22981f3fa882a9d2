// The open demo laid out for the web page's player (web/page.js), as
// `make web DEMO=DIR` lays a folder out: the shaders as the page compiles
// them, the logo, a track file of each track's keys as the editor has them,
// and the manifest with the shaders' sources under demo/. The page adds the
// player, the tune and files.json, and zips it (web/studio/src/publish.js).
#include "studio.h"

#include "track_text.h"

#include <emscripten.h>

#include <cstdio>
#include <string>
#include <sys/stat.h>

namespace {

bool copyFile(const std::string& from, const std::string& to, std::string& error)
{
    std::FILE* in = std::fopen(from.c_str(), "rb");
    if (!in) {
        error = from + ": cannot be read";
        return false;
    }
    std::string bytes;
    char chunk[65536];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) bytes.append(chunk, got);
    const bool read = !std::ferror(in);
    std::fclose(in);
    std::FILE* out = read ? std::fopen(to.c_str(), "wb") : nullptr;
    const bool written = out && std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (!out || std::fclose(out) != 0 || !written) {
        error = to + ": cannot be written";
        return false;
    }
    return true;
}

bool writeBytes(const std::string& path, const std::string& bytes, std::string& error)
{
    std::FILE* out = std::fopen(path.c_str(), "wb");
    const bool written = out && std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (!out || std::fclose(out) != 0 || !written) {
        error = path + ": cannot be written";
        return false;
    }
    return true;
}

bool exists(const std::string& path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool layOut(const std::string& out, std::string& error)
{
    const studio::Studio& s = studio::state();
    const DemoFolder& demo = s.folder;
    std::vector<std::string> shaders;
    if (!shadersBesideManifest(demo, shaders, error)) return false;
    if (!copyFile("/demo/demo.toml", out + "/demo/demo.toml", error)) return false;
    for (const std::string& file : shaders) {
        // The folder's own source, or Orvanta's where the folder names it.
        const std::string source = exists("/demo/" + file) ? "/demo/" + file : "/studio/source/" + file;
        if (!copyFile("/run/" + file, out + "/" + file, error) || !copyFile(source, out + "/demo/" + file, error)) {
            return false;
        }
    }
    if (!copyFile("/run/logo.png", out + "/logo.png", error)) return false;
    const std::vector<TrackDescription>& tracks = demo.description.tracks;
    for (size_t t = 0; t < tracks.size(); ++t) {
        std::vector<TrackKey> keys;
        if (const TextTrack* track = s.editor ? s.editor->document().find(tracks[t].name) : nullptr) keys = track->keys;
        const UniformRange& range = demo.ranges[t];
        if (keys.empty() && range.given) keys.push_back({0, range.initial[0], 0});
        if (!writeBytes(out + "/sync_" + tracks[t].name + ".track", encodeTrackFile(keys), error)) return false;
    }
    return true;
}

} // namespace

// Lays the open demo out in `out`, an empty folder with demo/ in it: "" or
// why not.
extern "C" EMSCRIPTEN_KEEPALIVE const char* studio_publish(const char* out)
{
    static std::string error;
    error.clear();
    if (!studio::state().started) {
        error = "no demo is open";
    } else if (!layOut(out, error) && error.empty()) {
        error = "the folder could not be laid out";
    }
    return error.c_str();
}
