// libFuzzer target: any bytes as a part file's tag, as --join and --resume
// read it from a file. Parsing must never crash, and what parses must hold
// only values the command line would take.
#include "parts.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    PartTag tag;
    if (!parsePartTag(std::string(reinterpret_cast<const char*>(data), size), tag)) return 0;
    const CapturePlan& plan = tag.plan;
    if (tag.part < 1 || tag.part > tag.parts || tag.parts > 1000 || tag.first > tag.last ||
        tag.first < plan.firstFrame || tag.last > plan.lastFrame || plan.fps < 1 || plan.fps > 240 ||
        plan.width < 16 || plan.height < 16 || plan.width > 8192 || plan.height > 8192 || plan.crf < 0 || plan.crf > 51 ||
        !(plan.fromRow >= 0 && plan.fromRow <= endRow) || tag.job.empty()) {
        std::abort();
    }
    return 0;
}
