#include "transport.h"

#include "demo/clock.h"

#include <algorithm>
#include <cmath>

double transportRow(const Transport& time)
{
    return musicLoaded() ? currentRow() : time.heldRow;
}

bool playingAtFullSpeed(const Transport& time)
{
    return !time.paused && time.slowness == 0;
}

std::string moveTransport(Transport& time, const TransportTimeline& demo, double row)
{
    std::string said;
    row = std::clamp(row, 0.0, demo.endRow);
    if (time.loop && (row < time.loopFrom || row > time.loopTo)) {
        time.loop = false;
        said = "loop off";
    }
    if (playingAtFullSpeed(time) && musicLoaded()) {
        moveMusicTo(row);
    } else {
        time.heldRow = row;
        holdMusicAt(row);
    }
    return said;
}

void setTimeMode(Transport& time, bool paused, int slowness)
{
    const bool wasPlaying = playingAtFullSpeed(time);
    time.paused = paused;
    time.slowness = slowness;
    if (wasPlaying && !playingAtFullSpeed(time)) {
        time.heldRow = transportRow(time);
        holdMusicAt(time.heldRow);
    } else if (!wasPlaying && playingAtFullSpeed(time)) {
        holdMusicAt(time.heldRow);
        resumeMusic();
    }
    time.last = std::chrono::steady_clock::now();
}

double advanceTransport(Transport& time, const TransportTimeline& demo)
{
    const auto now = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(now - time.last).count();
    time.last = now;
    // Without music (a folder's, until its score is rendered) the clock is
    // the transport's own.
    if (playingAtFullSpeed(time) && musicLoaded()) {
        // Playing means the music moves: music that arrived while the
        // transport's own clock ran (or any reload that left the stream
        // held) plays on from here.
        if (musicIsPaused()) resumeMusic();
        double row = currentRow();
        if (time.loop && (row > time.loopTo || row < time.loopFrom)) {
            moveMusicTo(time.loopFrom);
            row = currentRow();
        } else if (!time.loop && row >= demo.endRow) {
            time.paused = true;
            time.heldRow = demo.endRow;
            holdMusicAt(demo.endRow);
            row = currentRow();
        }
        return row;
    }
    if (!time.paused) {
        time.heldRow += seconds * demo.rowRate / static_cast<double>(1 << time.slowness);
        if (time.loop && time.heldRow > time.loopTo) time.heldRow = time.loopFrom;
        if (!time.loop && time.heldRow >= demo.endRow) {
            time.heldRow = demo.endRow;
            time.paused = true;
        }
    }
    holdMusicAt(time.heldRow);
    return transportRow(time);
}

double cutBefore(const Transport& time, double row)
{
    double found = 0.0;
    for (double cut : time.cuts) {
        if (cut < row - 0.5) found = cut;
    }
    return found;
}

double cutAfter(const Transport& time, const TransportTimeline& demo, double row)
{
    for (double cut : time.cuts) {
        if (cut > row + 0.5) return cut;
    }
    return demo.endRow;
}

std::string toggleSectionLoop(Transport& time, const TransportTimeline& demo, double row)
{
    if (time.loop) {
        time.loop = false;
        return "loop off";
    }
    time.loopFrom = 0.0;
    for (double cut : time.cuts) {
        if (cut <= row + 1e-9) time.loopFrom = cut;
    }
    time.loopTo = cutAfter(time, demo, time.loopFrom);
    time.loop = true;
    return "loop " + std::to_string(static_cast<int>(time.loopFrom)) + " to " + std::to_string(static_cast<int>(time.loopTo));
}

std::string setTransportLoop(Transport& time, const TransportTimeline& demo, double from, double to)
{
    from = std::clamp(std::round(from), 0.0, demo.endRow);
    to = std::clamp(std::round(to), 0.0, demo.endRow);
    if (to < from) std::swap(from, to);
    if (to - from < 1) {
        const bool was = time.loop;
        time.loop = false;
        return was ? "loop off" : "";
    }
    time.loop = true;
    time.loopFrom = from;
    time.loopTo = to;
    return "loop " + std::to_string(static_cast<int>(from)) + " to " + std::to_string(static_cast<int>(to));
}

void findCuts(Transport& time, const TransportTimeline& demo, const std::function<int(double row)>& sceneAt)
{
    std::vector<double>& cuts = time.cuts;
    cuts.assign(1, 0.0);
    int shown = sceneAt(0.0);
    for (int row = 1; row <= static_cast<int>(demo.endRow); ++row) {
        const int scene = sceneAt(row);
        if (scene != shown) cuts.push_back(row);
        shown = scene;
    }
}
