// render/demo_manifest: a demo folder's manifest, demo.toml, read from its
// text with toml++. Paths in it are relative to its folder.
//
//     name = "mydemo"
//     version = "1.2"                   # optional: names its release
//     bpm = 122
//     rows_per_beat = 4
//     end_row = 1147.5
//     music = "music/mydemo.score"      # or an .ogg
//     tracks = "tracks/mydemo.tracks"
//     logo = "logo.png"                 # or logo_text = "MYDEMO"
//     final = "AA.fsh"                  # the shared final pass
//     vertex = "test.vsh"               # optional: every program's vertex shader
//     time_track = "iGlobalTime"        # optional: the track of iGlobalTime's seconds
//     scene_track = "scene"             # optional: the track that picks the scene
//
//     [[scene]]                         # scene index 0, then 1, ... in this order
//     name = "hall"
//     passes = ["hall.fsh", "hall_b.fsh", "hall_c.fsh", "hall_d.fsh"]
//
//     [[track]]                         # optional: a track named otherwise than its uniform,
//     name = "cam.dist"                 # a colour, or sampled once a frame; listed tracks
//     uniform = "cam_dist"              # come first, in this order
//     colour = false
//     at_head = true
//
//     DemoManifest manifest;
//     std::string error;
//     if (!parseManifest(text, "mydemo/demo.toml", manifest, error)) report(error);
//
// Failure: false, and `error` is "FILE:LINE: what is wrong" (or "FILE: ..."
// for what is missing): TOML that does not parse, nests deeper than
// manifestMostDepth (a key of more dots, arrays or inline tables within one
// another) or holds a character past ASCII outside a string or a comment
// (which TOML never allows there), a key it does not know, a
// value of the wrong type or out of range, a scene without four passes, two
// scenes or tracks of one name.
#pragma once

#include "render/demo_description.h"

#include <array>
#include <string>
#include <vector>

struct ManifestScene {
    std::string name;
    std::array<std::string, scenePassCount> passes;
    int line = 0;
};

struct ManifestTrack {
    std::string name;
    std::string uniform;      // "" feeds nothing
    bool uniformGiven = false; // otherwise the uniform is the name
    bool colour = false;
    bool atHead = false;
    int line = 0;
};

struct DemoManifest {
    std::string name;
    std::string version; // "" where the manifest gives none
    double bpm = 0;
    int rowsPerBeat = 4;
    double endRow = 0;
    std::string music, tracks, logo, logoText, finalPass;
    std::string vertex = "test.vsh";
    std::string timeTrack = "iGlobalTime", sceneTrack = "scene";
    std::vector<ManifestScene> scenes;
    std::vector<ManifestTrack> trackEntries;
};

// The bounds a manifest is held to, which the usage texts quote.
constexpr double manifestMostBpm = 999;
constexpr int manifestMostRowsPerBeat = 16;
constexpr double manifestMostEndRow = 1 << 20;
constexpr size_t manifestMostScenes = 64;
constexpr size_t manifestFileLimit = 1 << 20;
// A key's dots, and arrays and inline tables within one another.
constexpr int manifestMostDepth = 32;

bool parseManifest(const std::string& text, const std::string& file, DemoManifest& manifest, std::string& error);

// A path a manifest may name: relative, with no ".." part (a link that
// leads out of the folder is the folder reader's to refuse).
bool pathInsideFolder(const std::string& path);

// A track's name as the tracks text and the files take it: 1 to 64 letters,
// digits, '_' and '.', starting with a letter or '_', with no empty part
// between dots.
bool plainTrackName(const std::string& name);
