// tools/stage/demo_staging: a demo folder laid out as the demo reads its
// run folder, for the tools that render one: links to its shaders, its
// tracks text compiled into track files, its music and its logo.
//
//     StagedDemo staged;
//     if (!stageDemoFolder("mydemo", staging, staged, error)) { report(error); return 1; }
//     startup.description = staged.demo.description;
//     startup.dataFolder = staging;
//
// `staging` is an empty folder the tool made (and removes). A track without
// keys holds its annotation's default, else 0. The music is the folder's
// Ogg file, or the tune of its score: the folder's tune.ogg where it is the
// render of the score as it is, by this synthesizer (tune_source.h), else
// rendered by tunegen into the staging folder, its progress told through
// `progress` (when given) a tenth at a time.
// The logo is the folder's image, or its text drawn by logogen. Both tools
// are taken from beside the running one.
//
// Failure: false with `error` naming the file: the folder does not read
// (demo_folder.h), a shader under a folder of its own, a tracks text that
// does not parse, a render or a drawing that fails, a file that cannot be
// linked or written.
#pragma once

#include "render/demo_folder.h"

#include <functional>
#include <string>
#include <vector>

struct StagedDemo {
    DemoFolder demo;
    std::vector<std::string> inputs; // every file of the folder it reads
};

// `copies`: files copied rather than linked, for a folder that is shipped
// (the web page's, a release's), with the manifest and the shaders' own
// sources under `demo/` for the description.
// The tools' reader for a demo folder's texts: regular files of at most
// textFileLimit bytes (files.h).
FileReader textFileReader();

using StagingProgress = std::function<void(const std::string& line)>;

bool stageDemoFolder(const std::string& folder, const std::string& staging, StagedDemo& staged, std::string& error,
                     bool copies = false, const StagingProgress& progress = nullptr);

// Whether the folder's music reaches its end row: a score on the manifest's
// grid (its tempo and rows a beat the manifest's) with as many rows, or an
// Ogg file as long. Failure: false with `error` naming the manifest and
// what the music covers.
bool musicCoversDemo(const DemoFolder& demo, std::string& error);
