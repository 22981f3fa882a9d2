// live/desktop/options: the live player's command line, parsed and checked.
#pragma once

#include "demo/timeline.h"

#include <string>
#include <vector>

struct LiveOptions {
    std::string demoFolder;                // a demo folder; empty: Orvanta
    std::vector<std::string> dataFolders; // each file from the first that has it
    std::string defaultDataFolder = ".";   // the data folder without --data or DEMO
    std::string tracks;                    // track text replacing the .track files
    std::string score;                     // re-rendered into tune.ogg when it changes
    bool fullScreen = false;
    int width = 1280;
    int height = 720;
    float sceneScale = 1.0f;
    bool sceneScaleGiven = false; // otherwise the player picks it as it goes
    int frameWidth = 0;           // --resolution; 0: the player picks it as it goes
    int frameHeight = 0;
    double fromRow = 0.0;
    bool loop = false;
    double loopFrom = 0.0;
    double loopTo = 0.0;
    bool vsync = true;
    bool help = false;
};

extern const char* const liveUsage;

// Parses the command line. Failure: false with a one-line message for the
// usage error. --help sets `help` and parses nothing after it. Positions are
// held to Orvanta's run, or with a demo folder to the longest a manifest
// allows until checkLivePositions holds them to the folder's.
bool parseLiveOptions(int argc, char** argv, LiveOptions& options, std::string& error);

// Whether --from and --loop lie inside a run that ends at `lastRow`;
// failure: false with the usage error's line.
bool checkLivePositions(const LiveOptions& options, double lastRow, std::string& error);

// A position as the track text writes it: a whole row or bar:beat:row, from
// row 0 to the last row of the run. Failure: false with a message.
bool parseLivePosition(const std::string& word, double& row, std::string& error, double lastRow = endRow);

// A span A:B of two positions, both rows or both bar:beat:row, with A < B.
bool parseLiveSpan(const std::string& word, double& from, double& to, std::string& error, double lastRow = endRow);
