// tunegen/events: the song's schedule: every note, off and retrigger as an
// event on its sample, the sidechain's envelope the key notes make, and the
// events a window of the song needs.
#pragma once

#include "score.h"

#include <cstdint>
#include <vector>

struct Event {
    int64_t sample;
    int channel;
    int order; // keeps events of one sample in score order
    const Cell* cell;
    int row;
    int instrument; // the channel's at this point of its order
};

// Every event of the song, in time order (score order within a sample).
std::vector<Event> songEvents(const Song& song);

// The instrument an event plays.
const Instrument& eventInstrument(const Song& song, const Event& event);

// The sidechain over samples [begin, end) of the song: 0 to 1 a sample, the
// strongest of the key notes that sound there, each down over the attack
// and back over the release.
std::vector<float> duckEnvelope(const Song& song, const std::vector<Event>& events, int64_t begin, int64_t end);

// The events whose voices sound in samples from `begin` on: those from
// `lookBack` samples before it (releases ring on after their channel's next
// event), and each channel's note held from before then.
std::vector<Event> eventsFrom(const std::vector<Event>& events, size_t channels, int64_t begin, int64_t lookBack);
