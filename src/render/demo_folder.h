// render/demo_folder: a demo folder (its manifest, demo.toml, and the
// shaders it names) made into the description the frame code draws.
//
// The tracks: the manifest's [[track]] tables first, in their order, then
// every other uniform the scenes' passes and the final pass declare, in the
// order first declared (scene 0's passes 1 to 4, scene 1's, ..., the final
// pass). A float is one track; a vec2 to vec4 one track a component, named
// NAME.x .y .z .w, or NAME.r .g .b .a for a colour. The time and scene
// tracks are always there, first where the manifest does not place them,
// and sampled once a frame. The chain's own inputs are not tracks:
// iResolution, iGlobalTime, iTimeDelta and the samplers.
//
//     DemoFolder demo;
//     std::string error;
//     if (!readDemoFolder("mydemo", readFile, demo, error)) report(error);
//     for (const std::string& note : demo.notes) say(note);   // once each
//     startup.description = demo.description;  // its files relative to "mydemo"
//
// `read` takes a path and fills its bytes, or says why not (a tool passes
// its bounded reader of regular files). Failure: false and `error` naming
// the file (and line) and what is wrong: the manifest (demo_manifest.h), a
// file it names that a link leads out of the folder, a shader that cannot
// be read, more than demoMostTracks tracks, a name that
// is not a plain track name, or two tracks of one name. A uniform that
// cannot be a track, or declared twice with another type or range, is a
// note, and the shader still runs.
#pragma once

#include "render/demo_description.h"
#include "render/demo_manifest.h"
#include "render/shader_parameters.h"

#include <functional>
#include <string>
#include <vector>

constexpr size_t demoMostTracks = 256;

using FileReader = std::function<bool(const std::string& path, std::string& bytes, std::string& error)>;

// A reader of regular files of at most `limit` bytes, for programs without
// the tools' own (the page, a released demo's player); its errors name the
// file.
FileReader boundedFileReader(size_t limit);

struct DemoFolder {
    std::string folder;
    DemoManifest manifest;
    DemoDescription description;         // files relative to `folder`
    std::vector<UniformRange> ranges;    // by track, as the annotations give
    std::vector<std::string> notes;
};

bool readDemoFolder(const std::string& folder, const FileReader& read, DemoFolder& demo, std::string& error);

// The same from a manifest already read; `manifestFile` names it in errors.
bool describeDemo(const DemoManifest& manifest, const std::string& folder, const std::string& manifestFile,
                  const FileReader& read, DemoFolder& demo, std::string& error);

// The shader files a folder's description names (vertex, final pass, every
// pass), each once. Failure: false where one lies under a folder of its own:
// the player, the capture, the page and the studio take shaders by name,
// beside demo.toml.
bool shadersBesideManifest(const DemoFolder& demo, std::vector<std::string>& files, std::string& error);
