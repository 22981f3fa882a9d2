// The drums a voice can be: kick, snare and hat, each from its settings.
#include "voice.h"

#include <algorithm>
#include <cmath>

double Voice::drum(const char* name, double fallback) const
{
    auto found = instrument->drum.find(name);
    return found == instrument->drum.end() ? fallback : found->second;
}

void Voice::prepareDrum()
{
    const bool hat = instrument->kind == InstrumentKind::Hat;
    kit = {drum("pitch", 160), drum("end_pitch", 45), drum("sweep", 0.05), drum("decay", hat ? 0.04 : 0.4),
           drum("drive", 0.0), drum("click", 0.3), drum("tone_decay", 0.08), drum("noise_decay", 0.18),
           drum("tone", 190), drum("noise", 0.8), drum("cutoff", hat ? 8000 : 2500), drum("ring", 0.3)};
}

double Voice::drumSample(double t)
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
