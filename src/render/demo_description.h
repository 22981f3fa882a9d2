// render/demo_description: what the frame code draws, as one value: the
// timeline, the scenes with the program of each pass, the images each pass
// reads, and the parameter tracks with the uniforms they feed.
//
//     DemoDescription demo = orvantaDescription(); // the executables' tables
//     demo.scenes[0].passes[3] = "my_grade.fsh";   // a tool's own choice
//     std::string error;
//     if (!checkDescription(demo, error)) report(error);
//     startup.description = demo;                  // app/startup.h draws it
//
// The frame's own inputs are not tracks: iResolution, iTimeDelta and the
// samplers the chain binds. Every other uniform a pass takes is fed by the
// tracks that name it: a float by one track, a vector by one track a
// component.
#pragma once

#include <array>
#include <string>
#include <vector>

constexpr int scenePassCount = 4;

// The images of a frame that a pass can read.
enum class FrameImage {
    PassOne,
    PassTwo,
    PassThree,
    PassFour,
    History, // pass 2's image of the frame before
    Logo,
};

// A sampler uniform of a pass and the image bound to it, on the texture
// unit of its place in the pass's list.
struct ImageInput {
    std::string sampler;
    FrameImage image;
};

struct SceneDescription {
    std::string name;
    std::array<std::string, scenePassCount> passes; // fragment files, passes 1 to 4
};

// A parameter track, in the order the tracks are opened.
struct TrackDescription {
    std::string name;      // also its file's: "sync_NAME.track"
    std::string uniform;   // what it feeds; "" for none
    int component = -1;    // -1: a float uniform; 0 to 3: that component of a vector
    unsigned passes = 0;   // bit p set: pass p (1 to 4) takes the uniform
    bool atHead = false;   // sampled once at the head of the frame, not at each pass
};

struct DemoDescription {
    double rowRate = 0.0;  // rows a second
    double endRow = 0.0;   // the run ends on the first frame past it
    std::string vertexFile; // the vertex shader of every program
    std::string finalPass;  // the final pass's fragment file
    std::vector<SceneDescription> scenes; // by scene index
    // Each pass's images, index 0 the final pass. The final pass's samplers
    // iChannel0 to iChannel7 take units 0 to 7 whatever the list holds.
    std::array<std::vector<ImageInput>, scenePassCount + 1> inputs;
    std::vector<TrackDescription> tracks;
    std::string sceneTrack; // the track whose value picks the scene
    std::string timeTrack;  // the track that feeds iGlobalTime
};

// Orvanta as its executables draw it, from the compiled tables
// (demo/track_list.def, render/program_table.def).
DemoDescription orvantaDescription();

// The images the chain binds to each pass, index 0 the final pass: pass 2
// reads pass 1's and its own of the frame before, pass 3 pass 2's, pass 4
// pass 3's and the logo, the final pass pass 4's, pass 1's and the logo.
std::array<std::vector<ImageInput>, scenePassCount + 1> chainInputs();

// Whether the frame code can draw it: at least one scene, every pass and
// the final pass named, a positive row rate and end row, the scene and time
// tracks among the tracks, no track named twice, a vector's components each
// fed once. Failure: false with `error` saying what is wrong.
bool checkDescription(const DemoDescription& description, std::string& error);

// Whether two descriptions draw the same: timeline, files, scenes, pass
// inputs, tracks and what they feed.
bool sameDescription(const DemoDescription& a, const DemoDescription& b);

// The index of the track named `name`, or -1.
int trackIndex(const DemoDescription& description, const std::string& name);
