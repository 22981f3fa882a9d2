#include "shown.h"

#include "files.h"

#include <algorithm>
#include <sys/stat.h>

namespace {

// The named files' names and bytes, each after the other; a file that is
// not there adds its name alone.
bool digest(const std::string& folder, const std::vector<std::string>& names, std::string& hash, std::string& error)
{
    std::string all;
    for (const std::string& name : names) {
        const std::string path = folder.empty() ? name : folder + "/" + name;
        std::string bytes;
        struct stat info = {};
        if (stat(path.c_str(), &info) == 0 && !readWholeFile(path, bytes, error, dataFileLimit)) return false;
        all += name + '\0' + std::to_string(bytes.size()) + '\0' + bytes;
    }
    hash = contentHash(all);
    return true;
}

} // namespace

bool readShownState(const std::string& dataDir, const DemoDescription& d, const std::string& manifest,
                    DemoState& state, std::string& error)
{
    std::vector<std::string> shaders = {d.vertexFile, d.finalPass}, tracks;
    for (const SceneDescription& scene : d.scenes) {
        for (const std::string& pass : scene.passes) {
            if (std::find(shaders.begin(), shaders.end(), pass) == shaders.end()) shaders.push_back(pass);
        }
    }
    for (const TrackDescription& track : d.tracks) tracks.push_back("sync_" + track.name + ".track");
    // The manifest by its content alone: the folder's path is not the demo's.
    const size_t slash = manifest.rfind('/');
    const std::string manifestFolder = slash == std::string::npos ? "." : manifest.substr(0, slash);
    const std::vector<std::string> manifestName = {manifest.substr(slash == std::string::npos ? 0 : slash + 1)};
    return digest(manifestFolder, manifest.empty() ? std::vector<std::string>() : manifestName, state.manifest, error) &&
           digest(dataDir, shaders, state.shaders, error) && digest(dataDir, tracks, state.tracks, error) &&
           digest(dataDir, {"logo.png"}, state.logo, error) && digest(dataDir, {"tune.ogg"}, state.music, error);
}
