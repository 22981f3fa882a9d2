#include "render/demo_description.h"

#include <set>
#include <utility>

std::array<std::vector<ImageInput>, scenePassCount + 1> chainInputs()
{
    std::array<std::vector<ImageInput>, scenePassCount + 1> inputs;
    inputs[0] = {{"iChannel0", FrameImage::PassFour},
                 {"iChannel1", FrameImage::PassOne},
                 {"iChannel2", FrameImage::PassOne},
                 {"iChannel3", FrameImage::Logo}};
    inputs[2] = {{"iChannel0", FrameImage::PassOne}, {"iChannel1", FrameImage::History}};
    inputs[3] = {{"iChannel0", FrameImage::PassTwo}};
    inputs[4] = {{"iChannel0", FrameImage::PassThree}, {"iChannel1", FrameImage::Logo}};
    return inputs;
}

int trackIndex(const DemoDescription& description, const std::string& name)
{
    for (size_t i = 0; i < description.tracks.size(); ++i) {
        if (description.tracks[i].name == name) return static_cast<int>(i);
    }
    return -1;
}

bool checkDescription(const DemoDescription& description, std::string& error)
{
    if (!(description.rowRate > 0.0) || !(description.endRow > 0.0)) {
        error = "the row rate and the end row are positive numbers";
        return false;
    }
    if (description.scenes.empty()) {
        error = "a demo has one scene at least";
        return false;
    }
    if (description.vertexFile.empty() || description.finalPass.empty()) {
        error = "the vertex shader and the final pass are named";
        return false;
    }
    for (const SceneDescription& scene : description.scenes) {
        for (const std::string& pass : scene.passes) {
            if (pass.empty()) {
                error = "scene '" + scene.name + "' lacks a pass";
                return false;
            }
        }
    }
    std::set<std::string> names;
    std::set<std::pair<std::string, int>> components;
    for (const TrackDescription& track : description.tracks) {
        if (!names.insert(track.name).second) {
            error = "track '" + track.name + "' is named twice";
            return false;
        }
        if (track.component < -1 || track.component > 3) {
            error = "track '" + track.name + "' feeds a component past w";
            return false;
        }
        if (!track.uniform.empty() && !components.insert({track.uniform, track.component}).second) {
            error = "two tracks feed " + track.uniform +
                    (track.component < 0 ? std::string() : " component " + std::to_string(track.component));
            return false;
        }
    }
    if (trackIndex(description, description.sceneTrack) < 0 || trackIndex(description, description.timeTrack) < 0) {
        error = "the scene and time tracks are among the tracks";
        return false;
    }
    return true;
}

bool sameDescription(const DemoDescription& a, const DemoDescription& b)
{
    if (a.rowRate != b.rowRate || a.endRow != b.endRow || a.vertexFile != b.vertexFile || a.finalPass != b.finalPass ||
        a.sceneTrack != b.sceneTrack || a.timeTrack != b.timeTrack || a.scenes.size() != b.scenes.size() ||
        a.tracks.size() != b.tracks.size()) {
        return false;
    }
    for (size_t s = 0; s < a.scenes.size(); ++s) {
        if (a.scenes[s].name != b.scenes[s].name || a.scenes[s].passes != b.scenes[s].passes) return false;
    }
    for (size_t t = 0; t < a.tracks.size(); ++t) {
        const TrackDescription &x = a.tracks[t], &y = b.tracks[t];
        if (x.name != y.name || x.uniform != y.uniform || x.component != y.component || x.passes != y.passes ||
            x.atHead != y.atHead) {
            return false;
        }
    }
    for (size_t pass = 0; pass < a.inputs.size(); ++pass) {
        if (a.inputs[pass].size() != b.inputs[pass].size()) return false;
        for (size_t i = 0; i < a.inputs[pass].size(); ++i) {
            if (a.inputs[pass][i].sampler != b.inputs[pass][i].sampler || a.inputs[pass][i].image != b.inputs[pass][i].image) {
                return false;
            }
        }
    }
    return true;
}
