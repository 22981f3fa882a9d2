#include "sends.h"

#include <algorithm>
#include <cmath>

namespace {

// Freeverb-style reverb: eight damped combs and four all-passes a channel.
class Reverb {
public:
    explicit Reverb(const ReverbEffect& settings) : settings_(settings)
    {
        static const int combs[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
        static const int allpasses[4] = {556, 441, 341, 225};
        for (int c = 0; c < 2; ++c) {
            const int spread = c == 0 ? 0 : 23;
            for (int i = 0; i < 8; ++i) comb_[c][i].buffer.assign(static_cast<size_t>(combs[i] + spread), 0.0f);
            for (int i = 0; i < 4; ++i) allpass_[c][i].buffer.assign(static_cast<size_t>(allpasses[i] + spread), 0.0f);
        }
        feedback_ = 0.7f + 0.28f * static_cast<float>(settings.size);
        damp_ = 0.4f * static_cast<float>(settings.damp);
    }

    void process(float inLeft, float inRight, float& outLeft, float& outRight)
    {
        const float input = (inLeft + inRight) * 0.015f;
        float out[2] = {0, 0};
        for (int c = 0; c < 2; ++c) {
            for (Comb& comb : comb_[c]) {
                float& cell = comb.buffer[comb.index];
                const float y = cell;
                comb.store = y * (1.0f - damp_) + comb.store * damp_;
                cell = input + comb.store * feedback_;
                if (++comb.index == comb.buffer.size()) comb.index = 0;
                out[c] += y;
            }
            for (Allpass& allpass : allpass_[c]) {
                float& cell = allpass.buffer[allpass.index];
                const float y = -out[c] + cell;
                cell = out[c] + cell * 0.5f;
                if (++allpass.index == allpass.buffer.size()) allpass.index = 0;
                out[c] = y;
            }
        }
        const float width = static_cast<float>(settings_.width);
        const float wet1 = 0.5f * (1.0f + width), wet2 = 0.5f * (1.0f - width);
        outLeft = out[0] * wet1 + out[1] * wet2;
        outRight = out[1] * wet1 + out[0] * wet2;
    }

private:
    struct Comb {
        std::vector<float> buffer;
        size_t index = 0;
        float store = 0;
    };
    struct Allpass {
        std::vector<float> buffer;
        size_t index = 0;
    };
    ReverbEffect settings_;
    Comb comb_[2][8];
    Allpass allpass_[2][4];
    float feedback_;
    float damp_;
};

} // namespace

void addSends(const Song& song, const Mixdown& voices, std::vector<float>& mix)
{
    const std::vector<float>& delaySend = voices.delaySend;
    const std::vector<float>& reverbSend = voices.reverbSend;
    const size_t frames = voices.dry.size() / 2;

    // Ping-pong delay, echo time on the grid, darkened in its feedback.
    const size_t delayFrames = static_cast<size_t>(std::llround(song.delay.rows * sampleRate / song.rowRate()));
    std::vector<float> line[2] = {std::vector<float>(delayFrames, 0.0f), std::vector<float>(delayFrames, 0.0f)};
    float tone[2] = {0, 0};
    const float feedback = static_cast<float>(song.delay.feedback), damp = static_cast<float>(song.delay.damp);
    Reverb reverb(song.reverb);
    for (size_t i = 0, at = 0; i < frames; ++i) {
        const float echoLeft = line[0][at], echoRight = line[1][at];
        tone[0] = echoRight * (1.0f - damp) + tone[0] * damp;
        tone[1] = echoLeft * (1.0f - damp) + tone[1] * damp;
        // Input enters on the left, then crosses from side to side.
        line[0][at] = 0.5f * (delaySend[2 * i] + delaySend[2 * i + 1]) + tone[0] * feedback;
        line[1][at] = tone[1] * feedback;
        if (++at == delayFrames) at = 0;
        float wetLeft, wetRight;
        reverb.process(reverbSend[2 * i], reverbSend[2 * i + 1], wetLeft, wetRight);
        mix[2 * i] += echoLeft + wetLeft;
        mix[2 * i + 1] += echoRight + wetRight;
    }

}
