// tunegen/vorbis_writer: Ogg Vorbis encoding (libvorbisenc) with a fixed
// stream serial number, so that the same samples always give the same bytes.
// Used by tunegen for the music and by the tests for short files of their own.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// `sample(frame, channel)` gives each sample in -1..1; `comments` are
// "KEY=value" lines for the file's comment header. Returns false when the
// file cannot be written.
bool writeOggVorbis(const std::string& path, uint32_t rate, uint32_t channels, uint64_t frames,
                    const std::function<float(uint64_t, uint32_t)>& sample, float quality = 0.1f,
                    const std::vector<std::string>& comments = {});

// The same into an open file, which it closes (the close checked too).
bool writeOggVorbis(std::FILE* file, uint32_t rate, uint32_t channels, uint64_t frames,
                    const std::function<float(uint64_t, uint32_t)>& sample, float quality = 0.1f,
                    const std::vector<std::string>& comments = {});

// A file of silence (cheap to encode, whatever its length).
bool writeSilentOgg(const std::string& path, uint32_t rate, uint32_t channels, double seconds);
