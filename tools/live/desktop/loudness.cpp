// The tune's loudness in the panel's ruler: worked out from tune.ogg on a
// thread of its own when the music is loaded and the panel shows (a player
// whose panel stays hidden never decodes it), so that a frame never waits
// for a decode; a quick render spliced into the music updates the rows it
// covers at once.
#include "live.h"

#include "platform/audio/decode.h"

#include <filesystem>
#include <future>

namespace fs = std::filesystem;

namespace live {

namespace {

struct LoudnessJob {
    std::future<Loudness> job;
    bool stale = false; // the tune changed since the last decode began
} JOB;

void startJob()
{
    std::error_code error;
    const std::string path = fs::absolute("tune.ogg", error).string();
    const double rowRate = LIVE.demo.description.rowRate;
    JOB.stale = false;
    JOB.job = std::async(std::launch::async, [path, rowRate] {
        DecodedAudio audio;
        if (path.empty() || !decodeOggVorbis(path, audio) || audio.channels == 0) return Loudness();
        return loudnessOf(audio.samples.data(), audio.samples.size() / audio.channels, static_cast<int>(audio.channels),
                          audio.rate, rowRate);
    });
}

} // namespace

void refreshLoudness()
{
    JOB.stale = true;
}

void pollLoudness()
{
    if (JOB.job.valid() && JOB.job.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
        LIVE.loudness = JOB.job.get();
    }
    if (JOB.stale && !JOB.job.valid() && LIVE.edit.panel) startJob();
}

} // namespace live
