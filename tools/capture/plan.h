// capture/plan: what orvanta-capture is asked to do, read from its command
// line through the options' table (options.h), and checked as a whole: the
// options that go together, the ones that do not. Which frames that takes
// is schedule.h's; how they are encoded, encoding.h's. Pure, tested on its
// own.
#pragma once

#include "demo/timeline.h"

#include <string>
#include <vector>

enum class CaptureOutput { Video, Frames, Stills, ContactSheet, Join };

// What the frames show, as a part's tag records it: a hash (files.h's
// contentHash) of each kind of file the demo draws from, so that a part of
// another demo, or of an older state of this one, is told from a part of
// this render and can say what differs.
struct DemoState {
    std::string manifest; // demo.toml
    std::string shaders;  // every shader the demo's programs are made of
    std::string tracks;   // the track files
    std::string logo;     // logo.png
    std::string music;    // tune.ogg
};

// The kinds of file, in the tag's order, with their fields.
constexpr const char* demoStateKeys[] = {"manifest", "shaders", "tracks", "logo", "music"};
std::string DemoState::* const demoStateFields[] = {&DemoState::manifest, &DemoState::shaders, &DemoState::tracks,
                                                    &DemoState::logo, &DemoState::music};

// How the frames are rendered: in an X server of their own (Xvfb), through
// EGL without one, or the first where Xvfb is installed, else the second.
enum class CaptureGl { Auto, Xvfb, Egl };

struct CapturePlan {
    CaptureOutput output = CaptureOutput::Video;
    std::string out;           // the video, the frames' or stills' folder, the sheet
    int width = 1920;
    int height = 1080;
    bool sizeGiven = false;
    int fps = 60;
    double fromRow = 0.0;
    double toRow = 0.0;        // set by the parser: --to-row or the end row
    bool toRowGiven = false;
    long firstFrame = 0;       // --frames A:B, inclusive; lastFrame -1: to the end
    long lastFrame = -1;
    std::vector<std::string> stills; // rows as written, for the file names
    double every = 16.0;       // contact sheet: a cell every this many rows
    std::string dataDir = ".";
    // A demo folder (its demo.toml) to render instead of Orvanta, and its
    // timeline, which the caller sets before the rest is parsed.
    std::string demoFolder;
    double rowRate = ::rowRate;
    double endRow = ::endRow;
    float sceneScale = 1.0f;   // of the first scene pass, as in the full-scale screen build
    CaptureGl gl = CaptureGl::Auto;
    // Video encoding, always BT.709 in conversion and tags.
    bool compo = false;        // --preset compo: H.264 High, capped CRF, 48 kHz AAC
    std::string level = "4.2"; // compo: the lowest H.264 level from 4.2 up that holds the size and rate
    int crf = 18;
    std::string bitrate;       // empty: constant quality (CRF)
    std::string x264Preset = "medium";
    std::string audioBitrate = "192k";
    // A split render: part `part` of `parts` (1-based; 0 of 0 for a whole
    // video), video only, into partPath(out, part, parts).
    int part = 0;
    int parts = 0;
    bool resume = false;             // a part already complete is not rendered again
    std::vector<std::string> joined; // --join: the parts, joined into `out`
    DemoState shown;                 // the demo rendered, as the run folder holds it
};

// Parses the command line. Failure: false with the one-line message a usage
// error prints.
bool parseCapturePlan(int argc, char** argv, CapturePlan& plan, std::string& error);

// The demo folder a command line names, its one argument that is neither an
// option nor an option's value; "" for none.
std::string captureDemoFolder(int argc, char** argv);

// The most parts a capture splits into.
constexpr int maxCaptureParts = 1000;

