// capture/shown: what a capture's frames show, read from the run folder it
// renders from (the demo's files as the demo reads them) into the hashes a
// part's tag records (plan.h's DemoState).
//
//     DemoState state;
//     if (!readShownState(plan.dataDir, description, manifest, state, error)) fail(error);
#pragma once

#include "plan.h"

#include "render/demo_description.h"

#include <string>

// `manifest`: the demo's demo.toml ("" for a demo without one). A missing
// logo counts as an empty one, as the demo draws it. Failure: false with
// `error` naming a file that is there and cannot be read.
bool readShownState(const std::string& dataDir, const DemoDescription& description, const std::string& manifest,
                    DemoState& state, std::string& error);
