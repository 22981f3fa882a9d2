// capture/plan: what orvanta-capture is asked to do, and which frames that
// takes. Pure arithmetic, tested on its own.
//
// Frame i of a capture shows the row (start seconds + i / fps) x rows a
// second, start seconds = --from-row / rows a second. A capture runs while
// the row is at most --to-row; without --to-row it ends, as the program
// does, with the first frame past the last row.
#pragma once

#include "demo/timeline.h"

#include <string>
#include <vector>

enum class CaptureOutput { Video, Frames, Stills, ContactSheet, Join };

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
};

// The lowest H.264 level from 4.2 up whose frame size and macroblock rate
// hold `width` x `height` at `fps`; "" when even level 6.2 does not.
std::string h264Level(int width, int height, int fps);

// The ffmpeg options that encode a capture's video and audio: BT.709 colour
// conversion and tags on limited range, keyframes every keyframeInterval,
// and what the plan asks for. The video's and the audio's alone: a part has
// no sound, and the join encodes the sound alone.
std::vector<std::string> encoderOptions(const CapturePlan& plan);
std::vector<std::string> videoEncoderOptions(const CapturePlan& plan);
std::vector<std::string> audioEncoderOptions(const CapturePlan& plan);

// Parses the command line. Failure: false with a message for the usage text.
bool parseCapturePlan(int argc, char** argv, CapturePlan& plan, std::string& error);

// Seconds of music and row of frame i.
double frameSeconds(const CapturePlan& plan, long frame);
double frameRow(const CapturePlan& plan, long frame);

// Frames in the whole capture (before --frames picks some of them).
long frameCount(const CapturePlan& plan);

// The frames written: [first, last] of the whole capture, clipped to it.
void writtenFrames(const CapturePlan& plan, long& first, long& last);

// The rows of the contact sheet's cells: 0, every, 2 x every, ... up to toRow.
std::vector<double> contactRows(const CapturePlan& plan);

// The command line's readers of a value, shared with the part tags: a
// finite number; a rate as ffmpeg takes it (digits with at most one point,
// then k, M or nothing) within [low, high] bits a second; a whole number
// within [low, high].
bool readNumber(const std::string& text, double& value);
bool readRate(const std::string& text, double low, double high);
bool readInteger(const std::string& text, long low, long high, long& value);

// The most parts a capture splits into.
constexpr int maxCaptureParts = 1000;

extern const char* const captureUsage;
