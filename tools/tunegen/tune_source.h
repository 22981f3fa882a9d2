// tunegen/tune_source: which score a tune was rendered from. tunegen
// records in every tune's comments a hash of the score's text and the
// version of the synthesizer that rendered it; a tool that finds a tune
// beside a score uses it only when both match, whatever the files' dates.
//
//     std::string text;                              // the score, as read
//     if (!tuneRendersScore(folder + "/tune.ogg", text)) render(...);
#pragma once

#include <string>
#include <vector>

// The version of the synthesizer in this build: a hash of its sources, so
// that a change to how it sounds renders every tune again.
const char* synthVersion();

// The comment lines tunegen writes into a tune of `scoreText`.
std::vector<std::string> tuneSourceComments(const std::string& scoreText);

// Whether the Ogg file at `tune` was rendered from `scoreText` by this
// synthesizer. False for a missing or unreadable file, or one without the
// comments.
bool tuneRendersScore(const std::string& tune, const std::string& scoreText);
