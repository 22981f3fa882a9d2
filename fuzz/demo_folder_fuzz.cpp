// libFuzzer target: a demo folder's manifest and shaders. The input is a
// manifest, a NUL, and a shader's text that every pass of the folder takes.
// Nothing may crash; a folder that reads must be one the frame code can
// draw, with at most demoMostTracks tracks, each a plain name, and every
// error must name the file. The folder is read on a thread of a small
// stack, so that any nesting the reader leaves unbounded (a key's dots,
// arrays, inline tables) overflows it here, where a tool's larger stack
// would hide it until the input grew.
#include "render/demo_folder.h"

#include <cstdint>
#include <cstdlib>
#include <pthread.h>
#include <string>

namespace {

constexpr size_t readerStack = size_t(256) << 10;

void readAndCheck(const std::string& input)
{
    const size_t split = input.find('\0');
    const std::string manifest = input.substr(0, split);
    const std::string shader = split == std::string::npos ? "" : input.substr(split + 1);
    const FileReader read = [&](const std::string& path, std::string& bytes, std::string& error) {
        if (path == "d/demo.toml") {
            bytes = manifest;
            return true;
        }
        if (path.find("missing") != std::string::npos) {
            error = path + ": cannot read";
            return false;
        }
        bytes = shader;
        return true;
    };
    DemoFolder demo;
    std::string error;
    if (readDemoFolder("d", read, demo, error)) {
        std::string why;
        if (!checkDescription(demo.description, why)) std::abort();
        if (demo.description.tracks.size() > demoMostTracks || demo.ranges.size() != demo.description.tracks.size()) {
            std::abort();
        }
        for (const TrackDescription& track : demo.description.tracks) {
            if (!plainTrackName(track.name)) std::abort();
        }
    } else if (error.rfind("d/", 0) != 0) {
        std::abort();
    }
    std::vector<std::string> notes;
    for (const ShaderUniform& u : shaderUniforms(input, notes)) {
        if (u.name.empty() || (u.kind == UniformKind::Vector && (u.components < 2 || u.components > 4))) std::abort();
        if (u.range.given && !(u.range.low < u.range.high)) std::abort();
    }
}

void* readOnThread(void* input)
{
    readAndCheck(*static_cast<const std::string*>(input));
    return nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, readerStack);
    pthread_t reader;
    if (pthread_create(&reader, &attributes, readOnThread, const_cast<std::string*>(&input)) != 0) std::abort();
    pthread_join(reader, nullptr);
    pthread_attr_destroy(&attributes);
    return 0;
}
