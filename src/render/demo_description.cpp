#include "render/demo_description.h"

#include "demo/timeline.h"
#include "demo/tracks.h"
#include "render/programs.h"

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
    demo.inputs = chainInputs();
    for (int i = 0; i < demoTrackCount; ++i) {
        const Feed& feed = orvantaFeeds[i];
        demo.tracks.push_back({demoTrackNames[static_cast<int>(feed.track)], feed.uniform, feed.component, feed.passes,
                               feed.atHead});
    }
    demo.sceneTrack = demoTrackNames[static_cast<int>(DemoTrack::Scene)];
    demo.timeTrack = demoTrackNames[static_cast<int>(DemoTrack::GlobalTime)];
    return demo;
}
