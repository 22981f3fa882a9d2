// platform/audio/decode: a whole Ogg Vorbis file into 16-bit PCM.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DecodedAudio {
    uint32_t rate = 0;
    uint32_t channels = 0;          // 1 or 2
    std::vector<int16_t> samples;   // interleaved, samples.size() / channels frames
};

// Failure: false for a file that cannot be opened, is not Ogg Vorbis, has
// other than one or two channels, or changes rate or channel count between
// its chained parts. A stream cut short decodes up to the cut.
bool decodeOggVorbis(const std::string& path, DecodedAudio& out);

// The comment lines ("KEY=value") of an Ogg Vorbis file's first stream.
// Failure: false for a file that cannot be opened or is not Ogg Vorbis.
bool readOggComments(const std::string& path, std::vector<std::string>& comments);
