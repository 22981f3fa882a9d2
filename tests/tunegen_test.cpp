// The synthesizer: pitch and timing of rendered notes, the encoded file, and
// what it says about bad scores.
#include "master.h"
#include "platform/audio/decode.h"
#include "score.h"
#include "synth.h"

#include "support/child_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace {

Song parse(const std::string& text)
{
    Song song;
    ScoreError error;
    EXPECT_TRUE(parseScore(text, "test.score", song, error)) << error.describe();
    return song;
}

std::string parseError(const std::string& text)
{
    Song song;
    ScoreError error;
    EXPECT_FALSE(parseScore(text, "test.score", song, error));
    return error.describe();
}

const std::string header = "song\n  tempo 122\n  rows_per_beat 4\n  rows 64\n  tail 0.5\nend\n";

double magnitudeAt(const std::vector<float>& stereo, size_t first, size_t count, double frequency)
{
    // Goertzel on the left channel.
    const double w = 2.0 * M_PI * frequency / sampleRate;
    const double coefficient = 2.0 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (size_t i = first; i < first + count; ++i) {
        const double s0 = stereo[2 * i] + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return std::sqrt(s1 * s1 + s2 * s2 - coefficient * s1 * s2);
}

ToolRun tunegen(std::vector<std::string> args)
{
    args.insert(args.begin(), binary("tunegen"));
    return runTool(args, 120.0);
}

} // namespace

TEST(Synth, SineAtA4PeaksAt440Hz)
{
    const Song song = parse(header + "instrument tone\n  osc sine level 1\n  amp attack 0 decay 0 sustain 1\nend\n"
                                     "pattern p 16\n  0: A-4\nend\norder c tone\n  p\nend\n");
    const Mixdown mix = renderVoices(song);
    double best = 0, bestFrequency = 0;
    for (double f = 400.0; f <= 480.0; f += 0.25) {
        const double m = magnitudeAt(mix.dry, 0, sampleRate, f);
        if (m > best) {
            best = m;
            bestFrequency = f;
        }
    }
    EXPECT_NEAR(bestFrequency, 440.0, 0.5);
    // An octave up is another note entirely.
    EXPECT_LT(magnitudeAt(mix.dry, 0, sampleRate, 880.0), best / 100);
}

TEST(Synth, NotesStartOnTheSampleOfTheirRow)
{
    const Song song = parse(header +
                            "instrument click\n  osc noise level 1\n  amp attack 0 decay 0 sustain 1 release 0\nend\n"
                            "pattern p 64\n  0: C-4\n  1: ===\n  5: C-4\n  6: ===\n  13: C-4\n  14: ===\n"
                            "  37: C-4\n  38: ===\n  63: C-4 d3\nend\norder c click\n  p\nend\n");
    const Mixdown mix = renderVoices(song);
    // The expected sample of a row: round(row x 44100 / (488 / 60)).
    auto expected = [](double row) { return static_cast<size_t>(std::llround(row * 44100.0 * 60.0 / 488.0)); };
    for (int row : {5, 13, 37}) {
        SCOPED_TRACE(row);
        const size_t start = expected(row);
        EXPECT_EQ(mix.dry[2 * (start - 1)], 0.0f) << "silent before";
        EXPECT_NE(mix.dry[2 * start], 0.0f) << "sounding from its sample on";
    }
    EXPECT_NE(mix.dry[0], 0.0f);
    // A delay of 3 of 6 ticks starts half a row late.
    const size_t delayed = expected(63) + static_cast<size_t>(std::llround(3 * 44100.0 * 60.0 / 488.0 / 6));
    EXPECT_EQ(mix.dry[2 * (delayed - 1)], 0.0f);
    EXPECT_NE(mix.dry[2 * delayed], 0.0f);
    EXPECT_EQ(rowSample(song, 1147.5), static_cast<int64_t>(std::llround(1147.5 * 44100.0 * 60.0 / 488.0)));
}

TEST(Synth, ChordsDrumsAndEffectsStayFiniteAndMastered)
{
    const Song song = parse(
        "song\n  tempo 122\n  rows 64\n  tail 1\n  loudness -16\n  ceiling -3\n  delay rows 3 feedback 0.5\nend\n"
        "instrument pad\n  osc saw level 0.6 voices 3 spread 20\n  osc square level 0.3 octave -1\n"
        "  filter lowpass cutoff 800 resonance 0.9 env 3000 decay 0.2\n  send delay 0.5 reverb 0.8\nend\n"
        "instrument kick\n  kind kick drive 1\nend\ninstrument snare\n  kind snare\nend\ninstrument hat\n  kind hat\nend\n"
        "pattern chords 64\n  0: A-3:m7 v99 a37\n  16: F-3:maj7 f90\n  32: C-4:add9\n  48: G-3:sus4 r2\nend\n"
        "pattern beat 16\n  0: C-4\n  4: C-4 @snare\n  8: C-4\n  10: C-4 @hat\n  12: C-4 @snare r2\nend\n"
        "order pad pad\n  chords\nend\norder drums kick\n  beat*4\nend\n");
    const Rendered out = renderSong(song);
    ASSERT_EQ(out.frames(), static_cast<size_t>(rowSample(song, 64) + 44100));
    double sum[2] = {0, 0};
    for (size_t i = 0; i < out.samples.size(); ++i) {
        ASSERT_TRUE(std::isfinite(out.samples[i]));
        sum[i % 2] += out.samples[i];
    }
    EXPECT_NEAR(integratedLoudness(out.samples), -16.0, 0.3);
    EXPECT_LE(20.0 * std::log10(truePeak(out.samples)), -3.0 + 0.01);
    EXPECT_LT(std::fabs(sum[0] / out.frames()), 1e-3) << "no DC offset";
    EXPECT_LT(std::fabs(sum[1] / out.frames()), 1e-3);
}

TEST(Synth, EncodedFileDecodesToTheRenderedLengthAndIsTheSameEveryTime)
{
    TempDir dir;
    dir.write("s.score", header + "instrument lead\n  osc saw level 0.5\n  filter lowpass cutoff 2000\nend\n"
                                  "pattern p 16\n  0: C-4\n  4: E-4\n  8: G-4:maj\n  14: ===\nend\n"
                                  "order c lead\n  p*4\nend\n");
    const ToolRun first = tunegen({dir.file("s.score"), "-o", dir.file("a.ogg")});
    ASSERT_EQ(first.status, 0) << first.err;
    ASSERT_EQ(tunegen({dir.file("s.score"), "-o", dir.file("b.ogg")}).status, 0);
    const std::string a = readFile(dir.file("a.ogg"));
    EXPECT_FALSE(a.empty());
    EXPECT_EQ(a, readFile(dir.file("b.ogg"))) << "byte-identical output";

    DecodedAudio decoded;
    ASSERT_TRUE(decodeOggVorbis(dir.file("a.ogg"), decoded));
    EXPECT_EQ(decoded.rate, 44100u);
    EXPECT_EQ(decoded.channels, 2u);
    EXPECT_EQ(decoded.samples.size() / 2, static_cast<size_t>(std::llround(64 * 44100.0 * 60.0 / 488.0)) + 22050);
}

TEST(Synth, BadScoresNameTheirLine)
{
    const std::string tone = "instrument t\n  osc sine\nend\n";
    EXPECT_EQ(parseError(header + tone + "pattern p 16\n  0: H-4\nend\norder c t\n  p\nend\n"),
              "test.score:11: 'H-4' is not a note (C-4, F#3, Bb2, ... or ===)");
    EXPECT_EQ(parseError(header + tone + "pattern p 16\n  0: C-4 x1\nend\n"),
              "test.score:11: unknown effect 'x1' (@instrument, vNN, aXY, rN, dN, fNN)");
    EXPECT_EQ(parseError(header + tone + "pattern p 4\n  C-4\n  ...\n  ...\n  ...\n  C-4\nend\n"),
              "test.score:15: row 4 is beyond the pattern's 4 rows");
    EXPECT_EQ(parseError(header + tone + "order c t\n  nothing\nend\n"), "test.score:11: unknown pattern 'nothing'");
    EXPECT_EQ(parseError(header + tone + "order c piano\nend\n"), "test.score:10: unknown instrument 'piano'");
    EXPECT_EQ(parseError(header + "instrument t\n  osc sine level loud\nend\n"),
              "test.score:8: 'loud' is not a number");
    EXPECT_EQ(parseError(header + "instrument t\n  osc sine volume 1\nend\n"),
              "test.score:8: unknown parameter 'volume' for 'osc'");
    EXPECT_EQ(parseError(header + "instrument t\n  osc sine\n"), "test.score:7: 'instrument' has no 'end'");
    EXPECT_EQ(parseError(header + tone + "pattern p 16\n  8: C-4\n  4: C-4\nend\n"),
              "test.score:12: row 4 comes after row 8 already");
    EXPECT_EQ(parseError(header + tone + tone), "test.score:10: instrument 't' is defined twice");
    EXPECT_EQ(parseError("song\n  tempo fast\nend\n"), "test.score:2: 'fast' is not a number");
    EXPECT_EQ(parseError(""), "test.score:1: the song sets no 'rows'");
    EXPECT_EQ(parseError(header + tone + "pattern p 16\n  0: C-4:dim\nend\n"),
              "test.score:11: unknown chord 'dim' (maj, m, 7, maj7, m7, sus2, sus4, 5, add9, m9, madd9)");

    TempDir dir;
    dir.write("bad.score", header + tone + "pattern p 16\n  0: C-4 v100\nend\n");
    const ToolRun run = tunegen({dir.file("bad.score"), "-o", dir.file("out.ogg")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, dir.file("bad.score") + ":11: '100' is outside 0 to 99\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.ogg")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "no temporary left";
    EXPECT_EQ(tunegen({}).status, 2);
}

TEST(Tune, LastsPastTheEndOfTheDemoAndIsMastered)
{
    DecodedAudio tune;
    ASSERT_TRUE(decodeOggVorbis(std::string(ORVANTA_RUN_DIR) + "/tune.ogg", tune));
    const double seconds = tune.samples.size() / 2 / 44100.0;
    EXPECT_GE(seconds, 142.0);
    EXPECT_LE(seconds, 146.0);
    EXPECT_GT(seconds * 488.0 / 60.0, 1147.5 + 8) << "plays well past the last row";

    std::vector<float> samples(tune.samples.size());
    double sum[2] = {0, 0};
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = tune.samples[i] / 32768.0f;
        sum[i % 2] += samples[i];
    }
    EXPECT_NEAR(integratedLoudness(samples), -14.0, 0.5);
    EXPECT_LE(20.0 * std::log10(truePeak(samples)), -1.0);
    EXPECT_LT(std::fabs(sum[0] * 2 / samples.size()), 1e-3);
    EXPECT_LT(std::fabs(sum[1] * 2 / samples.size()), 1e-3);
    for (int16_t s : tune.samples) ASSERT_LT(std::abs(static_cast<int>(s)), 32767) << "no clipping";
}

TEST(Synth, SharpsAreNotesAndACommentStartsAWord)
{
    const Song song = parse("song # the grid\n  tempo 122\n  rows 4\nend\ninstrument t\n  osc sine  #a pure tone\nend\n"
                            "pattern p 4\n  F#3 # a sharp\n  C#4\nend\norder c t\n  p\nend\n");
    ASSERT_EQ(song.patterns.size(), 1u);
    const std::vector<Cell>& rows = song.patterns[0].rows;
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].notes, std::vector<int>{parseNoteName("F#3")});
    EXPECT_EQ(rows[0].notes, std::vector<int>{parseNoteName("F-3") + 1});
    EXPECT_EQ(rows[1].notes, std::vector<int>{parseNoteName("C-4") + 1});
    EXPECT_EQ(parseError("song\n  tempo 122\n  rows 4\nend\ninstrument t\n  osc sine\nend\npattern p 4\n  C#4#\nend\n"),
              "test.score:9: 'C#4#' is not a note (C-4, F#3, Bb2, ... or ===)")
        << "a '#' inside a word is part of it";
}
