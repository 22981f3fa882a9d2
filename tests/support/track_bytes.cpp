#include "support/track_bytes.h"

#include <cstring>

namespace {

std::string littleEndian32(uint32_t bits)
{
    const char bytes[4] = {static_cast<char>(bits), static_cast<char>(bits >> 8), static_cast<char>(bits >> 16),
                           static_cast<char>(bits >> 24)};
    return std::string(bytes, 4);
}

} // namespace

std::string trackCountBytes(int32_t count)
{
    return littleEndian32(static_cast<uint32_t>(count));
}

std::string trackKeyBytes(int32_t row, float value, int8_t code)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return littleEndian32(static_cast<uint32_t>(row)) + littleEndian32(bits) + std::string(1, static_cast<char>(code));
}

std::string trackFileBytes(const std::vector<TestKey>& keys, int32_t count)
{
    std::string bytes = trackCountBytes(count);
    for (const TestKey& key : keys) bytes += trackKeyBytes(key.row, key.value, key.code);
    return bytes;
}

std::string trackFileBytes(const std::vector<TestKey>& keys)
{
    return trackFileBytes(keys, static_cast<int32_t>(keys.size()));
}
