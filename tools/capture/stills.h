// capture/stills: the modes that write pictures rather than video: one PNG
// a row (--stills), and a contact sheet of small labelled stills on a grid
// (--contact-sheet).
#pragma once

#include "plan.h"

#include <string>

// Failure: false with `error` naming the file that could not be written.
bool captureStills(const CapturePlan& plan, std::string& error);
bool captureContactSheet(const CapturePlan& plan, std::string& error);
