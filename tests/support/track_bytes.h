// The bytes of keyframe track files, as the demo's reader takes them: a
// little-endian 32-bit key count, then each key as a 32-bit row, a 32-bit
// float value and one byte of interpolation code. For tests that write
// track files, well-formed or not.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TestKey {
    int32_t row;
    float value;
    int8_t code;
};

// The count field alone, and one key record alone.
std::string trackCountBytes(int32_t count);
std::string trackKeyBytes(int32_t row, float value, int8_t code);

// A whole file: `count` (by default the number of keys), then the keys.
std::string trackFileBytes(const std::vector<TestKey>& keys, int32_t count);
std::string trackFileBytes(const std::vector<TestKey>& keys);
