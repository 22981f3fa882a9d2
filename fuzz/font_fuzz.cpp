// libFuzzer target: any bytes as logogen's font. Setting the word must never
// crash; what it sets is coverage from 0 to 1 over the whole picture.
#include "lettering.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<float> coverage;
    std::string error;
    const std::string font(reinterpret_cast<const char*>(data), size);
    if (!setWord(font, "ORVANTA", 128, 32, coverage, error)) {
        if (error.empty() || !coverage.empty()) std::abort();
        return 0;
    }
    if (coverage.size() != 128u * 32u) std::abort();
    for (float value : coverage) {
        if (!(value >= 0.0f && value <= 1.0f)) std::abort();
    }
    return 0;
}
