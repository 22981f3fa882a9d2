#include "tune_source.h"

#include "content_hash.h"
#include "platform/audio/decode.h"
#include "synth_version.h"

#include <algorithm>

namespace {

const char* const scoreTag = "ORVANTA_SCORE=";
const char* const synthTag = "ORVANTA_SYNTH=";

} // namespace

const char* synthVersion()
{
    return ORVANTA_SYNTH_VERSION;
}

std::vector<std::string> tuneSourceComments(const std::string& scoreText)
{
    return {scoreTag + contentHash(scoreText), synthTag + std::string(synthVersion())};
}

bool tuneRendersScore(const std::string& tune, const std::string& scoreText)
{
    std::vector<std::string> comments;
    if (!readOggComments(tune, comments)) return false;
    for (const std::string& wanted : tuneSourceComments(scoreText)) {
        if (std::find(comments.begin(), comments.end(), wanted) == comments.end()) return false;
    }
    return true;
}
