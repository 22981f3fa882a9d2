// The synthesizer: pitch and timing of rendered notes, the mix's tools
// (tone filters, width, sidechain, equaliser, compressor), the encoded file,
// what it says about bad scores, and the tune itself: its harmony, its
// downbeats and its tail.
#include "harmony.h"
#include "master.h"
#include "platform/audio/decode.h"
#include "score.h"
#include "synth.h"
#include "tune_source.h"
#include "vorbis_writer.h"

#include "support/child_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
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

// RMS of the left (0) or right (1) channel over [first, first + count).
double rms(const std::vector<float>& stereo, size_t first, size_t count, int channel = 0)
{
    double sum = 0;
    for (size_t i = first; i < first + count; ++i) sum += double(stereo[2 * i + channel]) * stereo[2 * i + channel];
    return std::sqrt(sum / count);
}

// sum(LR) / sqrt(sum(L^2) sum(R^2)) over the whole of it.
double correlation(const std::vector<float>& stereo)
{
    double lr = 0, ll = 0, rr = 0;
    for (size_t i = 0; i + 1 < stereo.size(); i += 2) {
        lr += double(stereo[i]) * stereo[i + 1];
        ll += double(stereo[i]) * stereo[i];
        rr += double(stereo[i + 1]) * stereo[i + 1];
    }
    return lr / std::sqrt(ll * rr);
}

double decibels(double ratio)
{
    return 20.0 * std::log10(ratio);
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

// A window of the voices is the whole song's samples there, notes held from
// before it included; a section rendered alone at the levels the tune's
// comment records sounds as the tune does there.
TEST(Synth, ASectionIsTheWholeSongThereAtTheTunesLevels)
{
    const std::string text =
        "song\n  tempo 122\n  rows 96\n  tail 0.5\n  compressor threshold -12 ratio 2\nend\n"
        "instrument pad\n  osc saw level 0.6 voices 3 spread 20\n  filter lowpass cutoff 900 env 2000 decay 0.3\n"
        "  amp attack 0.3 decay 0.5 sustain 0.7 release 0.4\n  send delay 0.4 reverb 0.6\nend\n"
        "instrument kick\n  kind kick\nend\ninstrument hat\n  kind hat\nend\n"
        "pattern held 96\n  0: A-3:m7\n  80: ===\nend\n"
        "pattern beat 16\n  0: C-4\n  4: C-4 @hat\n  8: C-4\n  12: C-4 @hat r2\nend\n"
        "order pad pad\n  held\nend\norder drums kick\n  beat*6\nend\n";
    const Song song = parse(text);
    const Mixdown whole = renderVoices(song);
    const int64_t begin = rowSample(song, 48), end = rowSample(song, 72);
    const Mixdown window = renderVoices(song, begin, end);
    ASSERT_EQ(window.dry.size(), static_cast<size_t>(end - begin) * 2);
    const auto slice = [&](const std::vector<float>& all) {
        return std::vector<float>(all.begin() + 2 * begin, all.begin() + 2 * end);
    };
    EXPECT_TRUE(slice(whole.dry) == window.dry) << "the chord held from row 0 sounds as in the whole";
    EXPECT_TRUE(slice(whole.reverbSend) == window.reverbSend);

    TempDir dir;
    dir.write("s.score", text);
    ASSERT_EQ(tunegen({dir.file("s.score"), "-o", dir.file("tune.ogg")}).status, 0);
    std::vector<std::string> comments;
    ASSERT_TRUE(readOggComments(dir.file("tune.ogg"), comments));
    ASSERT_EQ(comments.size(), 3u);
    MasterLevels levels;
    EXPECT_TRUE(parseLevels(comments[2].substr(comments[2].find('=') + 1), levels)) << comments[2];
    // The tune names the score it renders and the synthesizer that did: a
    // byte of the score changed, or another synthesizer, and it is not
    // that score's any more, whatever its date.
    EXPECT_TRUE(tuneRendersScore(dir.file("tune.ogg"), text));
    EXPECT_FALSE(tuneRendersScore(dir.file("tune.ogg"), text + " "));
    std::vector<std::string> forged = tuneSourceComments(text);
    forged[1] = "ORVANTA_SYNTH=0000000000000000";
    ASSERT_TRUE(writeSilentOgg(dir.file("other.ogg"), 44100, 2, 0.5));
    EXPECT_FALSE(tuneRendersScore(dir.file("other.ogg"), text));
    ASSERT_TRUE(writeOggVorbis(dir.file("forged.ogg"), 44100, 2, 100, [](uint64_t, uint32_t) { return 0.0f; }, 0.1f,
                               forged));
    EXPECT_FALSE(tuneRendersScore(dir.file("forged.ogg"), text));
    EXPECT_FALSE(tuneRendersScore(dir.file("missing.ogg"), text));
    for (const char* bad : {"compressor 1 gain 2", "compressor nan gain 1 ceiling -1", "compressor 1 gain 2 ceiling 3 x",
                            "compressor 1 gain 1e300 ceiling -1"}) {
        EXPECT_FALSE(parseLevels(bad, levels)) << bad;
    }

    const ToolRun section =
        tunegen({dir.file("s.score"), "-o", dir.file("s.pcm"), "--section", "48:72", "--levels", dir.file("tune.ogg")});
    ASSERT_EQ(section.status, 0) << section.err;
    EXPECT_NE(section.out.find("mastered at the tune's levels"), std::string::npos) << section.out;
    const std::string bytes = readFile(dir.file("s.pcm"));
    ASSERT_EQ(bytes.size(), static_cast<size_t>(end - begin) * 4);
    DecodedAudio tune;
    ASSERT_TRUE(decodeOggVorbis(dir.file("tune.ogg"), tune));
    double difference = 0, signal = 0;
    for (size_t i = 0; i < bytes.size() / 2; ++i) {
        const int16_t value = static_cast<int16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                                   static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
        const double reference = tune.samples[2 * static_cast<size_t>(begin) + i];
        difference += (value - reference) * (value - reference);
        signal += reference * reference;
    }
    EXPECT_LT(10.0 * std::log10(difference / signal), -15.0) << "no further from the tune than its encoding";

    const ToolRun unlevelled = tunegen({dir.file("s.score"), "-o", dir.file("s.pcm"), "--section", "48:72"});
    EXPECT_NE(unlevelled.out.find("mastered at the target loudness"), std::string::npos) << unlevelled.out;
    EXPECT_EQ(tunegen({dir.file("s.score"), "-o", dir.file("s.pcm"), "--section", "72:48"}).status, 2);
    EXPECT_EQ(tunegen({dir.file("s.score"), "-o", dir.file("t.ogg"), "--levels", dir.file("tune.ogg")}).status, 2);
    EXPECT_EQ(tunegen({dir.file("s.score"), "-o", dir.file("s.pcm"), "--section", "0:8", "--levels", dir.file("s.score")})
                  .status,
              1);
}

// Levels read from a tune are believed only within what tunegen writes:
// a comment asking for 120 dB of gain and a ceiling above full scale gives
// a section at the score's own loudness, said once, not a blast of noise.
TEST(Synth, LevelsFromAFileAreBoundedToWhatTunegenWrites)
{
    MasterLevels levels;
    for (const char* hostile : {"compressor 0 gain 120 ceiling 120", "compressor 0 gain 3 ceiling 0.5",
                                "compressor 80 gain 3 ceiling -2", "compressor 0 gain 3 ceiling -40"}) {
        EXPECT_FALSE(parseLevels(hostile, levels)) << hostile;
    }
    EXPECT_TRUE(parseLevels("compressor 3.5 gain 5.2 ceiling -2.6", levels));

    const std::string text = "song\n  tempo 122\n  rows 32\n  tail 0.2\nend\n"
                             "instrument lead\n  osc saw level 0.5\nend\n"
                             "pattern a 32\n  0: A-3\n  16: C-4\nend\norder lead lead\n  a\nend\n";
    TempDir dir;
    dir.write("s.score", text);
    ASSERT_TRUE(writeOggVorbis(dir.file("hostile.ogg"), 44100, 2, 4410, [](uint64_t, uint32_t) { return 0.0f; }, 0.1f,
                               {"ORVANTA_MASTER=compressor 0 gain 120 ceiling 120"}));
    const ToolRun section =
        tunegen({dir.file("s.score"), "-o", dir.file("s.pcm"), "--section", "0:16", "--levels", dir.file("hostile.ogg")});
    ASSERT_EQ(section.status, 0) << section.err;
    EXPECT_NE(section.out.find("mastered at the target loudness"), std::string::npos) << section.out;
    EXPECT_EQ(countOccurrences(section.err, "not ones tunegen masters at"), 1u) << section.err;
    const std::string bytes = readFile(dir.file("s.pcm"));
    ASSERT_FALSE(bytes.empty());
    int peak = 0;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const int16_t value = static_cast<int16_t>(static_cast<unsigned char>(bytes[i]) |
                                                   static_cast<unsigned char>(bytes[i + 1]) << 8);
        peak = std::max(peak, std::abs(static_cast<int>(value)));
    }
    EXPECT_LT(peak, 32767 * 0.9) << "held under the score's ceiling";

    // Rows past what an int holds are a usage error, not a wrapped number.
    for (const char* rows : {"1147:99999999999", "-1:8", "0:8x", "4294967296:4294967297"}) {
        const ToolRun bad = tunegen({dir.file("s.score"), "-o", dir.file("s.pcm"), "--section", rows});
        EXPECT_EQ(bad.status, 2) << rows << bad.err;
    }
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

TEST(Synth, ToneFiltersAndWidthShapeAnInstrument)
{
    // A low sine, then a high one, under a high-pass at 400 Hz.
    auto sines = [](const std::string& settings) {
        return renderVoices(parse(header + "instrument t\n  osc sine level 0.5\n" + settings +
                                  "\nend\npattern p 64\n  0: A-1\n  32: A-6\nend\norder c t\n  p\nend\n"))
            .dry;
    };
    const std::vector<float> plain = sines("gain 0.5"), filtered = sines("gain 0.5\n  highpass 400");
    const size_t low = 4410, high = 4410 + static_cast<size_t>(rowSample(parse(header + "instrument t\n  osc sine\nend\n"
                                                                                   "pattern p 1\nend\norder c t\n  p\nend\n"), 32)),
                 count = 22050;
    EXPECT_LT(decibels(magnitudeAt(filtered, low, count, 55.0) / magnitudeAt(plain, low, count, 55.0)), -24.0)
        << "three octaves under a 12 dB/octave high-pass";
    EXPECT_NEAR(decibels(magnitudeAt(filtered, high, count, 1760.0) / magnitudeAt(plain, high, count, 1760.0)), 0.0, 1.0)
        << "two octaves above it, untouched";

    // Four unison saws, in the middle and spread over the field.
    auto saws = [](const std::string& settings) {
        return renderVoices(parse(header + "instrument t\n  osc saw level 0.5 voices 4 spread 30\n  gain 0.5\n" +
                                  settings + "\nend\npattern p 64\n  0: A-4\nend\norder c t\n  p\nend\n"))
            .dry;
    };
    const std::vector<float> centred = saws(""), wide = saws("width 1");
    for (size_t i = 0; i < centred.size(); i += 2) ASSERT_EQ(centred[i], centred[i + 1]) << "width 0 is centred";
    EXPECT_LT(correlation(wide), 0.8) << "spread unison voices pull the channels apart";
    EXPECT_GT(correlation(wide), 0.0);
    EXPECT_NEAR(rms(wide, 4410, 44100, 0), rms(wide, 4410, 44100, 1), 0.1 * rms(wide, 4410, 44100, 0))
        << "and keep their balance";
}

TEST(Synth, SidechainDucksWhatAsksForItUnderTheKeyNotes)
{
    // The key's own sound is silent (gain 0): only the bass is heard, so
    // its level before and just after each key note is the duck itself.
    auto song = [](const std::string& bassDuck, const std::string& keyFlag) {
        return parse("song\n  tempo 122\n  rows 64\n  tail 0.5\n  sidechain attack 0.002 release 0.1\nend\n"
                     "instrument bass\n  osc saw level 0.5\n  amp attack 0 decay 0 sustain 1 release 0.05\n  " + bassDuck +
                     "\nend\ninstrument kick\n  kind kick\n  gain 0\n  " + keyFlag +
                     "\nend\npattern bass 64\n  0: A-2\nend\npattern beat 16\n  0: C-4 v99\nend\n"
                     "order bass bass\n  bass\nend\norder kick kick\n  beat*4\nend\n");
    };
    const Song ducked = song("duck 0.8", "sidechain");
    const int64_t kick = rowSample(ducked, 32);
    const size_t before = static_cast<size_t>(kick - 4410), after = static_cast<size_t>(kick + 441), window = 441;
    const Mixdown on = renderVoices(ducked);
    EXPECT_LT(rms(on.dry, after, window) / rms(on.dry, before, window), 0.4) << "pulled down by about 0.8 at the kick";
    EXPECT_GT(rms(on.dry, static_cast<size_t>(kick + 22050), window) / rms(on.dry, before, window), 0.9)
        << "and back up within half a second";

    const Mixdown noKey = renderVoices(song("duck 0.8", ""));
    const Mixdown noDuck = renderVoices(song("", "sidechain"));
    EXPECT_NEAR(rms(noKey.dry, after, window) / rms(noKey.dry, before, window), 1.0, 0.05) << "nothing keys it";
    EXPECT_NEAR(rms(noDuck.dry, after, window) / rms(noDuck.dry, before, window), 1.0, 0.05) << "it does not ask";
}

TEST(Master, EqualiserShelvesAndCompressorEvensTheLevel)
{
    // A low and a high sine together, then the same at a tenth of the level.
    const std::string notes = "instrument low\n  osc sine level 0.5\n  amp attack 0 decay 0 sustain 1 release 0\nend\n"
                              "instrument high\n  osc sine level 0.5\n  amp attack 0 decay 0 sustain 1 release 0\nend\n"
                              "pattern a 32\n  0: E-1 v99\n  16: E-1 v20\nend\npattern b 32\n  0: C-8 v99\n  16: C-8 v20\nend\n"
                              "order a low\n  a\nend\norder b high\n  b\nend\n";
    auto master = [&](const std::string& settings) {
        const Song song = parse("song\n  tempo 122\n  rows 32\n  tail 0\n" + settings + "end\n" + notes);
        return premaster(song, renderVoices(song)).mix;
    };
    const Song timing = parse("song\n  tempo 122\n  rows 32\nend\n" + notes);
    const std::vector<float> flat = master("");
    const std::vector<float> shelved = master("  eq lowshelf 200 -6\n  eq highshelf 2000 3\n");
    const size_t from = 8820, count = 22050;
    EXPECT_NEAR(decibels(magnitudeAt(shelved, from, count, 41.2) / magnitudeAt(flat, from, count, 41.2)), -6.0, 0.5);
    EXPECT_NEAR(decibels(magnitudeAt(shelved, from, count, 4186.0) / magnitudeAt(flat, from, count, 4186.0)), 3.0, 0.5);

    const std::vector<float> squeezed = master("  compressor threshold -30 ratio 4 attack 0.005 release 0.05\n");
    const size_t loud = 8820, quiet = static_cast<size_t>(rowSample(timing, 16)) + 8820;
    const double flatSpread = decibels(rms(flat, loud, count) / rms(flat, quiet, count));
    const double squeezedSpread = decibels(rms(squeezed, loud, count) / rms(squeezed, quiet, count));
    EXPECT_LT(squeezedSpread, flatSpread - 6.0) << "loud and quiet parts closer together";
    EXPECT_GT(squeezedSpread, 0.0) << "but still in their order";
}

TEST(Synth, MixSettingsNameTheirLineWhenWrong)
{
    EXPECT_EQ(parseError("song\n  eq tilt 100 3\nend\n"), "test.score:2: expected 'eq lowshelf|highshelf|peak HZ DB [Q]'");
    EXPECT_EQ(parseError("song\n  eq peak 100 3\nend\n"), "test.score:2: expected 'eq peak HZ DB Q'");
    EXPECT_EQ(parseError("song\n  eq lowshelf 100 30\nend\n"), "test.score:2: '30' is outside -24 to 24");
    std::string nine = "song\n";
    for (int i = 0; i < 9; ++i) nine += "  eq peak 1000 1 1\n";
    EXPECT_EQ(parseError(nine + "end\n"), "test.score:10: at most 8 eq bands");
    EXPECT_EQ(parseError("song\n  compressor ratio 0.5\nend\n"), "test.score:2: '0.5' is outside 1 to 20");
    EXPECT_EQ(parseError("instrument k\n  kind kick\n  sidechain yes\nend\n"), "test.score:3: 'sidechain' takes no value");
    EXPECT_EQ(parseError("instrument t\n  osc sine\n  width 1.5\nend\n"), "test.score:3: '1.5' is outside 0 to 1");
    EXPECT_EQ(parseError("instrument t\n  osc sine\n  highpass 5\nend\n"), "test.score:3: '5' is outside 20 to 20000");
}

TEST(Harmony, HeldNotesOnTheBeatAreTonesOfTheirChord)
{
    const std::vector<std::string> melody = {"arp", "lead", "bell", "counter"};
    Song draft;
    ScoreError error;
    ASSERT_TRUE(parseScore(readFile(ORVANTA_TEST_DATA_DIR "/draft.score"), "draft.score", draft, error))
        << error.describe();
    std::vector<std::string> found;
    for (const ChordClash& clash : findChordClashes(draft, "pad", melody)) {
        found.push_back(clash.describe(draft.rowsPerBeat, draft.beatsPerBar));
    }
    EXPECT_NE(std::find(found.begin(), found.end(), "bar 65 beat 1 (row 1040): arp holds F4 for 2 rows over G3 B3 D4"),
              found.end())
        << "the outro's arpeggio in F major over the G chord";

    Song tune;
    ASSERT_TRUE(parseScore(readFile(ORVANTA_DATA_DIR "/music/orvanta.score"), "orvanta.score", tune, error))
        << error.describe();
    for (const ChordClash& clash : findChordClashes(tune, "pad", melody)) {
        ADD_FAILURE() << clash.describe(tune.rowsPerBeat, tune.beatsPerBar);
    }

    // Off the beat, short, or with no chord struck: the melody's own.
    const Song small = parse(header + "instrument t\n  osc sine\nend\n"
                             "pattern chords 64\n  0: A-3:m\n  32: ===\nend\n"
                             "pattern tune 64\n  2: B-4\n  4: B-4\n  5: C-5\n  8: F-4\n  16: C-5\n  36: F#4\nend\n"
                             "order pad t\n  chords\nend\norder lead t\n  tune\nend\n");
    const std::vector<ChordClash> clashes = findChordClashes(small, "pad", {"lead", "missing"});
    ASSERT_EQ(clashes.size(), 1u);
    EXPECT_EQ(clashes[0].describe(4, 4), "bar 0 beat 3 (row 8): lead holds F4 for 8 rows over A3 C4 E4");
}

// The tune's big downbeats land harder than the fill or riser that leads
// into them, and the tail has died away by the end of the file.
TEST(Tune, DownbeatsLandAboveWhatLeadsIntoThemAndTheTailDiesAway)
{
    DecodedAudio tune;
    ASSERT_TRUE(decodeOggVorbis(std::string(ORVANTA_RUN_DIR) + "/tune.ogg", tune));
    std::vector<float> samples(tune.samples.size());
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = tune.samples[i] / 32768.0f;
    const size_t window = 4410; // 100 ms
    auto level = [&](size_t first) { return std::hypot(rms(samples, first, window, 0), rms(samples, first, window, 1)); };
    for (int row : {384, 768, 1088}) {
        SCOPED_TRACE("row " + std::to_string(row));
        const size_t at = static_cast<size_t>(std::llround(row * 44100.0 * 60.0 / 488.0));
        double before = 0;
        for (size_t first = at - 44100; first + window <= at; first += window / 4) before = std::max(before, level(first));
        EXPECT_GT(decibels(level(at) / before), 1.0) << "the downbeat's first 100 ms over any 100 ms of the second before";
    }
    float last = 0;
    for (size_t i = samples.size() - 2 * 44100; i < samples.size(); ++i) last = std::max(last, std::fabs(samples[i]));
    EXPECT_LT(decibels(last), -60.0) << "the peak of the last second";
}
