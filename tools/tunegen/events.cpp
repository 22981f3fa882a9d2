#include "events.h"

#include "synth.h"

#include <algorithm>
#include <cmath>

const Instrument& eventInstrument(const Song& song, const Event& event)
{
    const int index = event.cell->instrument >= 0 ? event.cell->instrument : event.instrument;
    return song.instruments[static_cast<size_t>(index)];
}

std::vector<float> duckEnvelope(const Song& song, const std::vector<Event>& events, int64_t begin, int64_t end)
{
    std::vector<float> duck(static_cast<size_t>(end - begin), 0.0f);
    const double attack = song.sidechain.attack * sampleRate, release = song.sidechain.release * sampleRate;
    const int64_t length = static_cast<int64_t>(attack + 6.0 * release);
    for (const Event& event : events) {
        if (event.cell->type != Cell::Type::Note || !eventInstrument(song, event).sidechainKey) continue;
        if (event.sample + length <= begin || event.sample >= end) continue;
        const double strength = std::pow(event.cell->velocity / 99.0, 1.5);
        for (int64_t i = std::max<int64_t>(0, begin - event.sample); i < length && event.sample + i < end; ++i) {
            const double t = static_cast<double>(i);
            const double shape = t < attack ? t / attack : std::exp(-(t - attack) / release);
            float& d = duck[static_cast<size_t>(event.sample + i - begin)];
            d = std::max(d, static_cast<float>(strength * shape));
        }
    }
    return duck;
}

std::vector<Event> eventsFrom(const std::vector<Event>& events, size_t channels, int64_t begin, int64_t lookBack)
{
    const int64_t since = begin - lookBack;
    std::vector<const Event*> held(channels, nullptr);
    std::vector<Event> taken;
    for (const Event& event : events) {
        if (event.sample >= since) {
            taken.push_back(event);
        } else {
            held[static_cast<size_t>(event.channel)] = event.cell->type == Cell::Type::Note ? &event : nullptr;
        }
    }
    std::vector<Event> first;
    for (const Event* event : held) {
        if (event) first.push_back(*event);
    }
    std::sort(first.begin(), first.end(), [](const Event& a, const Event& b) {
        return a.sample != b.sample ? a.sample < b.sample : a.order < b.order;
    });
    first.insert(first.end(), taken.begin(), taken.end());
    return first;
}

std::vector<Event> songEvents(const Song& song)
{
    std::vector<Event> events;
    const double rowSamples = sampleRate / song.rowRate();
    for (size_t c = 0; c < song.channels.size(); ++c) {
        forEachStruck(song, song.channels[c], [&](int row, const Cell& cell, const OrderEntry& entry) {
            const int64_t start = rowSample(song, row);
            const int step = cell.retrigger > 0 ? cell.retrigger : song.ticksPerRow;
            for (int tick = cell.delay; tick < song.ticksPerRow; tick += step) {
                const int64_t at = start + std::llround(tick * rowSamples / song.ticksPerRow);
                events.push_back({at, static_cast<int>(c), static_cast<int>(events.size()), &cell, row, entry.instrument});
                if (cell.type == Cell::Type::Off) break;
            }
        });
    }
    std::sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
        return a.sample != b.sample ? a.sample < b.sample : a.order < b.order;
    });

    return events;
}
