// capture/options: every option of orvanta-capture in one table: its name,
// the value it takes, its reader into the plan (with its range and the
// message when a value is out of it), its lines in the usage text, and, for
// the settings every part of a split render shares, its key in the part's
// tag and how the tag writes it. The usage text, the command line
// (plan.cpp), the part tag's writer and its reader (parts.cpp) all come
// from this table, so none of them can drift from the others.
//
//     const CaptureOption* option = findCaptureOption("--fps");
//     std::string error;
//     if (!option->read({"30"}, plan, error)) usage(error);   // "--fps is a whole number ..."
#pragma once

#include "plan.h"

#include <string>
#include <vector>

enum class OptionValues {
    None, // a flag
    One,  // --name VALUE
    Many, // --name VALUE... up to the next option
};

struct CaptureOption {
    const char* name;  // "--fps"
    const char* value; // as the usage text names it ("N"); "" for a flag
    OptionValues values;
    // Its description in the usage text, a line a "\n".
    const char* usage;
    // Reads the values into the plan. Failure: false with `error` the
    // message a usage error prints; the plan may be half-changed. Null for
    // a form of an option that the usage text alone lists.
    bool (*read)(const std::vector<std::string>& values, CapturePlan& plan, std::string& error);
    // Its key in a part's tag, and its value there as `read` takes it back;
    // null for options the parts do not carry.
    const char* tagKey;
    std::string (*tagValue)(const CapturePlan& plan);
};

// The table, in the usage text's order.
const std::vector<CaptureOption>& captureOptions();

// The option of that name that reads a value, or null.
const CaptureOption* findCaptureOption(const std::string& name);

// The whole usage text: the forms of the command line, then each option.
const std::string& captureUsageText();

// The value readers the options share: a finite number; a rate as ffmpeg
// takes it (digits with at most one point, then k, M or nothing) within
// [low, high] bits a second; a whole number within [low, high].
bool readNumber(const std::string& text, double& value);
bool readRate(const std::string& text, double low, double high);
bool readInteger(const std::string& text, long low, long high, long& value);
