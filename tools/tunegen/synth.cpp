#include "synth.h"

#include "master.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double pi = 3.14159265358979323846;

// How long before a window the voices released there are still taken in:
// longer than any release or drum the scores use.
constexpr double windowLookBack = 2.0;

// 2^(n/12) for the arpeggio's offsets of 0 to 15 semitones.
const struct SemitoneRatios {
    double ratio[16];
    SemitoneRatios()
    {
        for (int n = 0; n < 16; ++n) ratio[n] = std::pow(2.0, n / 12.0);
    }
    double operator[](int n) const { return ratio[n]; }
} semitoneRatio;

// xorshift32: deterministic noise in -1..1.
struct Noise {
    uint32_t state;
    explicit Noise(uint32_t seed) : state(seed ? seed : 0x9e3779b9u) {}
    double next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<double>(state) / 2147483648.0 - 1.0;
    }
};

// Topology-preserving state-variable filter (one channel).
struct Svf {
    double ic1 = 0, ic2 = 0;
    double g = 0, k = 2, a1 = 0, a2 = 0, a3 = 0;
    void set(double cutoff, double resonance)
    {
        cutoff = std::clamp(cutoff, 20.0, 0.45 * sampleRate);
        g = std::tan(pi * cutoff / sampleRate);
        k = 2.0 - 1.96 * std::clamp(resonance, 0.0, 1.0);
        a1 = 1.0 / (1.0 + g * (g + k));
        a2 = g * a1;
        a3 = g * a2;
    }
    // Returns low, band and high outputs.
    void process(double x, double& low, double& band, double& high)
    {
        const double v3 = x - ic2;
        const double v1 = a1 * ic1 + a2 * v3;
        const double v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2.0 * v1 - ic1;
        ic2 = 2.0 * v2 - ic2;
        low = v2;
        band = v1;
        high = x - k * v1 - v2;
    }
};

// Linear ADSR; the release runs from wherever the level stands.
struct EnvelopeState {
    const Envelope* shape = nullptr;
    double time = 0;
    double level = 0;
    bool released = false;
    double releaseFrom = 0;
    double releaseTime = 0;

    double next(double dt)
    {
        if (!released) {
            if (time < shape->attack) {
                level = shape->attack > 0 ? time / shape->attack : 1.0;
            } else if (time < shape->attack + shape->decay) {
                const double t = (time - shape->attack) / shape->decay;
                level = 1.0 + (shape->sustain - 1.0) * t;
            } else {
                level = shape->sustain;
            }
        } else {
            level = shape->release > 0 ? releaseFrom * std::max(0.0, 1.0 - releaseTime / shape->release) : 0.0;
            releaseTime += dt;
        }
        time += dt;
        return level;
    }
    void release()
    {
        if (!released) {
            released = true;
            releaseFrom = level;
            releaseTime = 0;
        }
    }
    bool finished() const { return released && (shape->release <= 0 || releaseTime >= shape->release); }
};

double polyBlep(double t, double dt)
{
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

struct Voice {
    const Instrument* instrument = nullptr;
    int channel = 0;
    double frequency = 440.0;
    double velocity = 1.0;
    double pan = 0.0;
    double filterScale = 1.0;
    int arpeggio = 0;
    int64_t ticksLength = 1; // samples a tick, for the arpeggio
    int64_t age = 0;         // samples since the start
    EnvelopeState amp;
    EnvelopeState filterEnv;
    Svf filter[2];       // left and right: unison voices may be spread
    Svf tone[2][2];      // the instrument's high-pass and low-pass, left and right
    Svf drumFilter;
    std::vector<double> unisonPan; // left and right gains of each oscillator voice
    std::vector<double> phases;
    std::vector<double> increments;
    Noise noise{1};
    bool done = false;
    double drumPhase = 0;
    double releaseAt = -1; // drums: seconds of a note-off, ignored

    void release()
    {
        amp.release();
        filterEnv.release();
    }

    // Phase increments of every oscillator voice at the note's own pitch.
    void prepare()
    {
        increments.clear();
        for (const Oscillator& osc : instrument->oscillators) {
            for (int u = 0; u < osc.voices; ++u) {
                const double unison = osc.voices > 1 ? (u / double(osc.voices - 1) - 0.5) * osc.spread : 0.0;
                increments.push_back(frequency * std::pow(2.0, osc.octave + (osc.detune + unison) / 1200.0) / sampleRate);
            }
        }
        phases.resize(increments.size());
        // Unison voices spread from left to right by the instrument's width,
        // at constant power, so width 0 leaves every voice in the middle.
        unisonPan.clear();
        for (const Oscillator& osc : instrument->oscillators) {
            for (int u = 0; u < osc.voices; ++u) {
                const double place = osc.voices > 1 ? (u / double(osc.voices - 1) - 0.5) * 2.0 * instrument->width : 0.0;
                const double angle = (place + 1.0) * pi / 4.0;
                unisonPan.push_back(std::cos(angle) * std::sqrt(2.0));
                unisonPan.push_back(std::sin(angle) * std::sqrt(2.0));
            }
        }
        for (int c = 0; c < 2; ++c) {
            if (instrument->highpass > 0) tone[0][c].set(instrument->highpass, 0.0);
            if (instrument->lowpass > 0) tone[1][c].set(instrument->lowpass, 0.0);
        }
    }

    // The instrument's own high-pass and low-pass, on one channel.
    double toneFilter(int c, double x)
    {
        double low, band, high;
        if (instrument->highpass > 0) {
            tone[0][c].process(x, low, band, high);
            x = high;
        }
        if (instrument->lowpass > 0) {
            tone[1][c].process(x, low, band, high);
            x = low;
        }
        return x;
    }

    // One stereo sample of the synth voice, in `left` and `right`.
    void synthSample(double dt, double& left, double& right)
    {
        const Instrument& in = *instrument;
        double pitch = 1.0;
        if (arpeggio) {
            const int step = static_cast<int>((age / ticksLength) % 3);
            const int offset = step == 0 ? 0 : step == 1 ? (arpeggio >> 4) : (arpeggio & 15);
            pitch = semitoneRatio[offset];
        }
        double sum[2] = {0, 0};
        size_t p = 0;
        for (const Oscillator& osc : in.oscillators) {
            for (int u = 0; u < osc.voices; ++u, ++p) {
                const double inc = std::min(increments[p] * pitch, 0.49);
                double& phase = phases[p];
                double v = 0;
                switch (osc.wave) {
                case Wave::Saw: v = 2.0 * phase - 1.0 - polyBlep(phase, inc); break;
                case Wave::Square: {
                    const double half = phase < 0.5 ? phase + 0.5 : phase - 0.5;
                    v = (phase < 0.5 ? 1.0 : -1.0) + polyBlep(phase, inc) - polyBlep(half, inc);
                    break;
                }
                case Wave::Sine: v = std::sin(2.0 * pi * phase); break;
                case Wave::Triangle: v = 4.0 * std::fabs(phase - 0.5) - 1.0; break;
                case Wave::Noise: v = noise.next(); break;
                }
                v *= osc.level / osc.voices;
                sum[0] += v * unisonPan[2 * p];
                sum[1] += v * unisonPan[2 * p + 1];
                phase += inc;
                if (phase >= 1.0) phase -= 1.0;
            }
        }
        if (in.filter.mode != FilterMode::None) {
            const double envelope = filterEnv.next(dt);
            if ((age & 15) == 0) {
                const double cutoff = in.filter.cutoff * filterScale + in.filter.envAmount * envelope;
                for (Svf& side : filter) side.set(cutoff, in.filter.resonance);
            }
            for (int c = 0; c < 2; ++c) {
                double low, band, high;
                filter[c].process(sum[c], low, band, high);
                sum[c] = in.filter.mode == FilterMode::Lowpass ? low : in.filter.mode == FilterMode::Highpass ? high : band;
            }
        }
        const double level = amp.next(dt);
        // A note that has decayed to a sustain of 0 is silent for good.
        const bool decayed = !amp.released && amp.shape->sustain <= 0.0 &&
                             amp.time > amp.shape->attack + amp.shape->decay;
        if (amp.finished() || decayed) done = true;
        left = toneFilter(0, sum[0]) * level;
        right = toneFilter(1, sum[1]) * level;
    }

    double drum(const char* name, double fallback) const
    {
        auto found = instrument->drum.find(name);
        return found == instrument->drum.end() ? fallback : found->second;
    }

    // A drum's settings, looked up once a note rather than once a sample.
    struct DrumSettings {
        double pitch, endPitch, sweep, decay, drive, click; // kick
        double toneDecay, noiseDecay, tone, noise;          // snare
        double cutoff, ring;                                // snare and hat
    } kit{};

    void prepareDrum()
    {
        const bool hat = instrument->kind == InstrumentKind::Hat;
        kit = {drum("pitch", 160), drum("end_pitch", 45), drum("sweep", 0.05), drum("decay", hat ? 0.04 : 0.4),
               drum("drive", 0.0), drum("click", 0.3), drum("tone_decay", 0.08), drum("noise_decay", 0.18),
               drum("tone", 190), drum("noise", 0.8), drum("cutoff", hat ? 8000 : 2500), drum("ring", 0.3)};
    }

    double drumSample(double t)
    {
        double out = 0;
        double length = 0;
        switch (instrument->kind) {
        case InstrumentKind::Kick: {
            const double scale = frequency / 261.6255653005986; // C-4 plays the kick as set
            const double start = kit.pitch * scale, end = kit.endPitch * scale;
            const double f = end + (start - end) * std::exp(-t / kit.sweep);
            drumPhase += f / sampleRate;
            const double decay = kit.decay;
            double body = std::sin(2.0 * pi * drumPhase) * std::exp(-t / decay);
            const double drive = kit.drive;
            if (drive > 0) body = std::tanh(body * (1.0 + drive)) / std::tanh(1.0 + drive);
            out = body + kit.click * noise.next() * std::exp(-t / 0.0025);
            length = decay * 7.0;
            break;
        }
        case InstrumentKind::Snare: {
            const double toneDecay = kit.toneDecay, noiseDecay = kit.noiseDecay;
            drumPhase += kit.tone / sampleRate;
            const double tone = std::sin(2.0 * pi * drumPhase) * std::exp(-t / toneDecay);
            double low, band, high;
            if (age == 0) drumFilter.set(kit.cutoff, 0.2);
            drumFilter.process(noise.next(), low, band, high);
            out = tone + kit.noise * (high + 0.5 * band) * std::exp(-t / noiseDecay);
            length = std::max(toneDecay, noiseDecay) * 7.0;
            break;
        }
        case InstrumentKind::Hat: {
            const double decay = kit.decay;
            double low, band, high;
            if (age == 0) drumFilter.set(kit.cutoff, kit.ring);
            drumFilter.process(noise.next(), low, band, high);
            out = (high + kit.ring * band) * std::exp(-t / decay);
            length = decay * 7.0;
            break;
        }
        case InstrumentKind::Synth:
            break;
        }
        if (t > length) done = true;
        return out;
    }

    // Adds `count` samples of this voice into the dry mix and the two sends,
    // pulled down by `duck` (the sidechain's envelope at the same samples)
    // as far as the instrument asks.
    void render(int64_t count, float* dry, float* delaySend, float* reverbSend, const float* duck)
    {
        const double dt = 1.0 / sampleRate;
        const double angle = (pan + 1.0) * pi / 4.0;
        const double leftGain = std::cos(angle) * instrument->gain * velocity;
        const double rightGain = std::sin(angle) * instrument->gain * velocity;
        const double depth = instrument->duck;
        for (int64_t i = 0; i < count && !done; ++i, ++age) {
            double x[2];
            if (instrument->kind == InstrumentKind::Synth) {
                synthSample(dt, x[0], x[1]);
            } else {
                x[0] = x[1] = toneFilter(0, drumSample(age * dt));
            }
            const double ducked = depth > 0 ? 1.0 - depth * duck[i] : 1.0;
            const float l = static_cast<float>(x[0] * leftGain * ducked), r = static_cast<float>(x[1] * rightGain * ducked);
            dry[2 * i] += l;
            dry[2 * i + 1] += r;
            delaySend[2 * i] += l * static_cast<float>(instrument->sendDelay);
            delaySend[2 * i + 1] += r * static_cast<float>(instrument->sendDelay);
            reverbSend[2 * i] += l * static_cast<float>(instrument->sendReverb);
            reverbSend[2 * i + 1] += r * static_cast<float>(instrument->sendReverb);
        }
    }
};

struct Event {
    int64_t sample;
    int channel;
    int order; // keeps events of one sample in score order
    const Cell* cell;
    int row;
    int instrument; // the channel's at this point of its order
};

const Instrument& eventInstrument(const Song& song, const Event& event)
{
    const int index = event.cell->instrument >= 0 ? event.cell->instrument : event.instrument;
    return song.instruments[static_cast<size_t>(index)];
}

// The sidechain over samples [begin, end) of the song: 0 to 1 a sample, the
// strongest of the key notes that sound there, each down over the attack
// and back over the release.
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

// The events whose voices sound in samples from `begin` on: those from
// `lookBack` samples before it (releases ring on after their channel's next
// event), and each channel's note held from before then.
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
    // Every note, off and retrigger of the song as timed events.
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
