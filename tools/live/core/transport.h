// live/core/transport: the editor's time, the music under the maker's keys:
// paused or playing, slowed to a half or a quarter, held at a row, looped
// over a span, and the cuts (where the shown scene changes) that page up,
// page down and the section loop go to. The music's own clock
// (demo/clock.h) is the time while it plays at full speed; paused or
// slowed, the transport holds it at its own row, which moves at the slowed
// speed. Without music the transport's row is the time. The state is the
// host's (one Transport), the verbs are these.
//
//     Transport time;                                   // the host's
//     const double row = advanceTransport(time, demo);  // each frame
//     moveTransport(time, demo, 128);                   // goto
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

struct Transport {
    bool paused = false;
    int slowness = 0;     // speed is 1 / 2^slowness
    double heldRow = 0.0; // while paused or slowed
    bool loop = false;
    double loopFrom = 0.0;
    double loopTo = 0.0;
    std::chrono::steady_clock::time_point last = std::chrono::steady_clock::now();
    std::vector<double> cuts; // rows where the shown scene changes, 0 first
};

// The demo's timeline, as the transport reads it.
struct TransportTimeline {
    double rowRate = 0; // rows a second
    double endRow = 0;
};

// The music's row, or the transport's own without music.
double transportRow(const Transport& time);
bool playingAtFullSpeed(const Transport& time);

// Goes to `row` (kept inside the demo); a loop it leaves is let go.
// Returns what to say ("loop off"), or "".
std::string moveTransport(Transport& time, const TransportTimeline& demo, double row);

// Holds the music where it is (paused, or slowed) or lets it play.
void setTimeMode(Transport& time, bool paused, int slowness);

// The row of this frame, with the loop and the end of the demo applied: at
// the end without a loop, the transport pauses there.
double advanceTransport(Transport& time, const TransportTimeline& demo);

// The cut before and after a row (the start, the end where there is none).
double cutBefore(const Transport& time, double row);
double cutAfter(const Transport& time, const TransportTimeline& demo, double row);

// The loop over the section under `row` (from its cut to the next), or no
// loop where there was one. Returns what to say.
std::string toggleSectionLoop(Transport& time, const TransportTimeline& demo, double row);

// A loop over a span of rows (whole rows, inside the demo); a span under a
// row is no loop. Returns what to say.
std::string setTransportLoop(Transport& time, const TransportTimeline& demo, double from, double to);

// The cuts, from the scene shown at each whole row (sceneAt) to the end.
void findCuts(Transport& time, const TransportTimeline& demo, const std::function<int(double row)>& sceneAt);
