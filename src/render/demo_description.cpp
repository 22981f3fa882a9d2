#include "render/demo_description.h"

#include "demo/timeline.h"
#include "demo/tracks.h"
#include "render/programs.h"

#include <set>

namespace {

// What each of the executables' tracks feeds: its uniform, the component,
// the passes that take it, and whether the head of the frame samples it.
struct Feed {
    DemoTrack track;
    const char* uniform;
    int component;
    unsigned passes;
    bool atHead;
};

constexpr unsigned pass1 = 1u << 1, pass3 = 1u << 3, pass4 = 1u << 4;

const Feed orvantaFeeds[] = {
    {DemoTrack::GlobalTime, "", -1, 0, true},
    {DemoTrack::Scene, "", -1, 0, true},
    {DemoTrack::CloseBlur, "close_blur", -1, pass3, false},
    {DemoTrack::FarBlur, "far_blur", -1, pass3, false},
    {DemoTrack::CamDistX, "cam_dist", 0, pass1, true},
    {DemoTrack::CamDistY, "cam_dist", 1, pass1, true},
    {DemoTrack::CamDistZ, "cam_dist", 2, pass1, true},
    {DemoTrack::CamRotX, "cam_rot", 0, pass1, true},
    {DemoTrack::CamRotY, "cam_rot", 1, pass1, true},
    {DemoTrack::CamRotZ, "cam_rot", 2, pass1, true},
    {DemoTrack::DirRotX, "dir_rot", 0, pass1, true},
    {DemoTrack::DirRotY, "dir_rot", 1, pass1, true},
    {DemoTrack::DirRotZ, "dir_rot", 2, pass1, true},
    {DemoTrack::FieldOfView, "field_of_view", -1, pass1, false},
    {DemoTrack::GainR, "gain", 0, pass4, false},
    {DemoTrack::GainG, "gain", 1, pass4, false},
    {DemoTrack::GainB, "gain", 2, pass4, false},
    {DemoTrack::GammaR, "gamma", 0, pass4, false},
    {DemoTrack::GammaG, "gamma", 1, pass4, false},
    {DemoTrack::GammaB, "gamma", 2, pass4, false},
    {DemoTrack::LiftR, "lift", 0, pass4, false},
    {DemoTrack::LiftG, "lift", 1, pass4, false},
    {DemoTrack::LiftB, "lift", 2, pass4, false},
    {DemoTrack::SaturationR, "saturation", 0, pass4, false},
    {DemoTrack::SaturationG, "saturation", 1, pass4, false},
    {DemoTrack::SaturationB, "saturation", 2, pass4, false},
    {DemoTrack::LightX, "lightSource", 0, pass1, false},
    {DemoTrack::LightY, "lightSource", 1, pass1, false},
    {DemoTrack::LightZ, "lightSource", 2, pass1, false},
    {DemoTrack::MoveGround, "moveground", -1, pass1, false},
    {DemoTrack::LogoSync, "logo", -1, pass4, false},
};
static_assert(sizeof orvantaFeeds / sizeof orvantaFeeds[0] == demoTrackCount, "every track feeds something or nothing");

} // namespace

DemoDescription orvantaDescription()
{
    DemoDescription demo;
    demo.rowRate = rowRate;
    demo.endRow = endRow;
    demo.vertexFile = programVertexFile;
    demo.finalPass = programFragmentFiles[0];
    for (int scene = 0; 1 + scenePassCount * scene < shaderProgramCount; ++scene) {
        SceneDescription description;
        for (int pass = 1; pass <= scenePassCount; ++pass) {
            description.passes[static_cast<size_t>(pass - 1)] = programFragmentFiles[scenePassCount * scene + pass];
        }
        const std::string& first = description.passes[0];
        description.name = first.substr(0, first.rfind('.'));
        demo.scenes.push_back(description);
    }
    demo.inputs[0] = {{"iChannel0", FrameImage::PassFour},
                      {"iChannel1", FrameImage::PassOne},
                      {"iChannel2", FrameImage::PassOne},
                      {"iChannel3", FrameImage::Logo}};
    demo.inputs[2] = {{"iChannel0", FrameImage::PassOne}, {"iChannel1", FrameImage::History}};
    demo.inputs[3] = {{"iChannel0", FrameImage::PassTwo}};
    demo.inputs[4] = {{"iChannel0", FrameImage::PassThree}, {"iChannel1", FrameImage::Logo}};
    for (int i = 0; i < demoTrackCount; ++i) {
        const Feed& feed = orvantaFeeds[i];
        demo.tracks.push_back({demoTrackNames[static_cast<int>(feed.track)], feed.uniform, feed.component, feed.passes,
                               feed.atHead});
    }
    demo.sceneTrack = demoTrackNames[static_cast<int>(DemoTrack::Scene)];
    demo.timeTrack = demoTrackNames[static_cast<int>(DemoTrack::GlobalTime)];
    return demo;
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
