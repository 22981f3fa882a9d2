// The live player's time: the music under the author's keys.
#include "live.h"

#include "demo/clock.h"
#include "demo/tracks.h"
#include "render/scene_index.h"
#include <algorithm>
#include <set>

namespace live {

namespace {

int sceneAt(double row)
{
    const int count = static_cast<int>(LIVE.demo.description.scenes.size());
    return sceneFromIndex(truncateToInt(sampleTrackAt(LIVE.demo.sceneTrack, row)), count);
}

} // namespace

std::vector<std::pair<double, std::string>> sections()
{
    if (LIVE.demo.folder.empty()) {
        return {{0, "intro"}, {128, "build"}, {384, "drop"}, {640, "breakdown"}, {768, "climax"}, {1024, "outro"}};
    }
    std::vector<std::pair<double, std::string>> found;
    std::set<int> seen;
    for (double cut : LIVE.time.cuts) {
        const int scene = sceneAt(cut);
        if (seen.insert(scene).second) found.emplace_back(cut, LIVE.demo.description.scenes[static_cast<size_t>(scene)].name);
    }
    return found;
}

void findCuts()
{
    std::vector<double>& cuts = LIVE.time.cuts;
    cuts.assign(1, 0.0);
    int shown = sceneAt(0.0);
    for (int row = 1; row <= static_cast<int>(LIVE.demo.description.endRow); ++row) {
        const int scene = sceneAt(row);
        if (scene != shown) cuts.push_back(row);
        shown = scene;
    }
}

// ---- time -----------------------------------------------------------------------

double playerRow()
{
    return musicLoaded() ? currentRow() : LIVE.time.heldRow;
}

bool playingAtFullSpeed()
{
    return !LIVE.time.paused && LIVE.time.slowness == 0;
}

void moveTo(double row)
{
    Time& t = LIVE.time;
    row = std::clamp(row, 0.0, LIVE.demo.description.endRow);
    if (t.loop && (row < t.loopFrom || row > t.loopTo)) {
        t.loop = false;
        say("loop off");
    }
    if (playingAtFullSpeed() && musicLoaded()) {
        moveMusicTo(row);
    } else {
        t.heldRow = row;
        holdMusicAt(row);
    }
}

// Holds the music where it is (pausing, or slowing down) or lets it play.
void setTimeMode(bool paused, int slowness)
{
    Time& t = LIVE.time;
    const bool wasPlaying = playingAtFullSpeed();
    t.paused = paused;
    t.slowness = slowness;
    if (wasPlaying && !playingAtFullSpeed()) {
        t.heldRow = playerRow();
        holdMusicAt(t.heldRow);
    } else if (!wasPlaying && playingAtFullSpeed()) {
        holdMusicAt(t.heldRow);
        resumeMusic();
    }
    t.last = Clock::now();
}

// The row of this frame, with the loop and the end of the music applied.
double advanceTime()
{
    Time& t = LIVE.time;
    const auto now = Clock::now();
    const double seconds = std::chrono::duration<double>(now - t.last).count();
    t.last = now;
    // Without a tune (a folder's, until its score is rendered) the clock
    // is the player's own.
    if (playingAtFullSpeed() && musicLoaded()) {
        // Playing means the music moves: a tune that arrived while the
        // player's own clock ran (or any reload that left the stream held)
        // plays on from here.
        if (musicIsPaused()) resumeMusic();
        double row = currentRow();
        if (t.loop && (row > t.loopTo || row < t.loopFrom)) {
            moveMusicTo(t.loopFrom);
            row = currentRow();
        } else if (!t.loop && row >= LIVE.demo.description.endRow) {
            t.paused = true;
            t.heldRow = LIVE.demo.description.endRow;
            holdMusicAt(LIVE.demo.description.endRow);
            row = currentRow();
        }
        return row;
    }
    if (!t.paused) {
        t.heldRow += seconds * LIVE.demo.description.rowRate / static_cast<double>(1 << t.slowness);
        if (t.loop && t.heldRow > t.loopTo) t.heldRow = t.loopFrom;
        if (!t.loop && t.heldRow >= LIVE.demo.description.endRow) {
            t.heldRow = LIVE.demo.description.endRow;
            t.paused = true;
        }
    }
    holdMusicAt(t.heldRow);
    return playerRow();
}

double cutBefore(double row)
{
    double found = 0.0;
    for (double cut : LIVE.time.cuts) {
        if (cut < row - 0.5) found = cut;
    }
    return found;
}

double cutAfter(double row)
{
    for (double cut : LIVE.time.cuts) {
        if (cut > row + 0.5) return cut;
    }
    return LIVE.demo.description.endRow;
}

void toggleSectionLoop()
{
    Time& t = LIVE.time;
    if (t.loop) {
        t.loop = false;
        say("loop off");
        return;
    }
    const double row = playerRow();
    t.loopFrom = 0.0;
    for (double cut : t.cuts) {
        if (cut <= row + 1e-9) t.loopFrom = cut;
    }
    t.loopTo = cutAfter(t.loopFrom);
    t.loop = true;
    say("loop " + std::to_string(static_cast<int>(t.loopFrom)) + " to " + std::to_string(static_cast<int>(t.loopTo)));
}

} // namespace live
