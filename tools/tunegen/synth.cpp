#include "synth.h"

#include "events.h"
#include "master.h"
#include "voice.h"

#include <algorithm>
#include <cmath>

namespace {

// How long before a window the voices released there are still taken in:
// longer than any release or drum the scores use.
constexpr double windowLookBack = 2.0;

} // namespace

int64_t rowSample(const Song& song, double row)
{
    return std::llround(row * sampleRate / song.rowRate());
}

int64_t songSamples(const Song& song)
{
    return rowSample(song, song.rows) + static_cast<int64_t>(song.tail * sampleRate);
}

Mixdown renderVoices(const Song& song)
{
    return renderVoices(song, 0, songSamples(song));
}

Mixdown renderVoices(const Song& song, int64_t begin, int64_t end, const std::function<void(double)>& progress)
{
    std::vector<Event> events = songEvents(song);
    const double rowSamples = sampleRate / song.rowRate();

    end = std::min(end, songSamples(song));
    begin = std::clamp<int64_t>(begin, 0, end);
    Mixdown mix;
    mix.dry.assign(static_cast<size_t>(end - begin) * 2, 0.0f);
    mix.delaySend.assign(mix.dry.size(), 0.0f);
    mix.reverbSend.assign(mix.dry.size(), 0.0f);
    const std::vector<float> duck = duckEnvelope(song, events, begin, end);
    if (begin > 0) events = eventsFrom(events, song.channels.size(), begin, static_cast<int64_t>(windowLookBack * sampleRate));

    // Before `begin` the voices run into a scratch buffer, so that they
    // enter the window in the state they have there.
    constexpr int64_t scratchFrames = 4096;
    std::vector<float> scratch(3 * 2 * scratchFrames + scratchFrames, 0.0f);
    auto renderSpan = [&](Voice& voice, int64_t from, int64_t until) {
        for (int64_t at = from; at < until && !voice.done;) {
            if (at >= begin) {
                const size_t i = 2 * static_cast<size_t>(at - begin);
                voice.render(until - at, &mix.dry[i], &mix.delaySend[i], &mix.reverbSend[i],
                             &duck[static_cast<size_t>(at - begin)]);
                break;
            }
            const int64_t count = std::min({until, begin, at + scratchFrames}) - at;
            voice.render(count, &scratch[0], &scratch[2 * scratchFrames], &scratch[4 * scratchFrames],
                         &scratch[6 * scratchFrames]);
            at += count;
        }
    };

    std::vector<Voice> voices;
    int64_t now = events.empty() ? begin : std::min(events.front().sample, begin);
    size_t next = 0;
    const int64_t first = now;
    int64_t reported = now;
    while (now < end) {
        const int64_t until = next < events.size() ? std::min(events[next].sample, end) : end;
        if (progress && now - reported >= sampleRate) {
            progress(static_cast<double>(now - first) / static_cast<double>(end - first));
            reported = now;
        }
        for (Voice& voice : voices) renderSpan(voice, now, until);
        voices.erase(std::remove_if(voices.begin(), voices.end(), [](const Voice& v) { return v.done; }), voices.end());
        now = until;
        for (; next < events.size() && events[next].sample == now; ++next) {
            const Event& event = events[next];
            // A new note or an off ends the channel's sounding notes.
            for (Voice& voice : voices) {
                if (voice.channel == event.channel) voice.release();
            }
            if (event.cell->type != Cell::Type::Note) continue;
            const Cell& cell = *event.cell;
            const Instrument& instrument = eventInstrument(song, event);
            for (size_t n = 0; n < cell.notes.size(); ++n) {
                Voice voice;
                voice.instrument = &instrument;
                voice.channel = event.channel;
                voice.frequency = 440.0 * std::pow(2.0, (cell.notes[n] - 69) / 12.0);
                voice.velocity = std::pow(cell.velocity / 99.0, 1.5);
                const double spread = cell.notes.size() > 1 ? (n / double(cell.notes.size() - 1) - 0.5) * 2.0 : 0.0;
                voice.pan = std::clamp(instrument.pan + spread * instrument.chordSpread, -1.0, 1.0);
                voice.filterScale = std::pow(2.0, (cell.filter - 50) / 50.0 * 3.0);
                voice.arpeggio = cell.arpeggio;
                voice.ticksLength = std::max<int64_t>(1, std::llround(rowSamples / song.ticksPerRow));
                voice.amp.shape = &instrument.amp;
                voice.filterEnv.shape = &instrument.filter.env;
                voice.filter[0].set(instrument.filter.cutoff * voice.filterScale, instrument.filter.resonance);
                voice.filter[1] = voice.filter[0];
                voice.prepare();
                if (instrument.kind != InstrumentKind::Synth) voice.prepareDrum();
                // Unison voices start spread out so they do not sum into one spike.
                for (size_t p = 0; p < voice.phases.size(); ++p) voice.phases[p] = std::fmod(p * 0.618034, 1.0);
                voice.noise = Noise(static_cast<uint32_t>(event.channel * 7919 + event.row * 104729 + static_cast<int>(n) * 31 + event.order));
                voices.push_back(std::move(voice));
            }
        }
    }

    return mix;
}

Rendered renderSong(const Song& song)
{
    Rendered out;
    out.samples = masterMix(song, renderVoices(song), song.ceiling);
    return out;
}
