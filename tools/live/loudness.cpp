// The tune's loudness under the panel's lanes: worked out from tune.ogg on
// a thread of its own whenever the music is loaded, so that a frame never
// waits for a decode; a quick render spliced into the music updates the
// rows it covers at once.
#include "live.h"

#include "platform/audio/decode.h"

#include <filesystem>
#include <future>

namespace fs = std::filesystem;

namespace live {

namespace {

struct LoudnessJob {
    std::future<Loudness> job;
    bool again = false; // the tune changed while a decode ran
} JOB;

void startJob()
{
    std::error_code error;
    const std::string path = fs::absolute("tune.ogg", error).string();
    const double rowRate = LIVE.demo.description.rowRate;
    JOB.again = false;
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
    if (JOB.job.valid()) {
        JOB.again = true;
        return;
    }
    startJob();
}

void pollLoudness()
{
    if (!JOB.job.valid() || JOB.job.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
    LIVE.loudness = JOB.job.get();
    if (JOB.again) startJob();
}

} // namespace live
