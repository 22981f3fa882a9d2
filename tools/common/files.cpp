#include "files.h"

#include "cleanup.h"

#include <stb/stb_image_write.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

std::string reason()
{
    return std::strerror(errno);
}

void appendBytes(void* context, void* data, int size)
{
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<size_t>(size));
}

} // namespace

bool readWholeFile(const std::string& path, std::string& bytes, std::string& error)
{
    bytes.clear();
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = path + ": cannot read: " + reason();
        return false;
    }
    char chunk[65536];
    size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, n);
    // A folder opens, then fails its first read with EISDIR.
    const bool failed = std::ferror(file) != 0;
    const std::string why = failed ? reason() : std::string();
    std::fclose(file);
    if (failed) {
        bytes.clear();
        error = path + ": cannot read: " + why;
        return false;
    }
    return true;
}

namespace {

// Writes `bytes` to a temporary beside `path`, checked through the close.
// Failure: false with `error`, and no temporary left.
bool writeTemporary(const std::string& path, const std::string& bytes, std::string& temporary, std::string& error)
{
    temporary = path + ".tmp-" + std::to_string(getpid());
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        error = "cannot write " + path + ": " + reason();
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fflush(file) == 0 && ok;
    std::string why = ok ? std::string() : reason();
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        why = reason();
    }
    if (!ok) {
        std::remove(temporary.c_str());
        error = "cannot write " + path + ": " + why;
    }
    return ok;
}

} // namespace

bool writeFilesAtomically(const std::vector<std::pair<std::string, std::string>>& files, std::string& error)
{
    std::vector<std::string> temporaries;
    std::vector<int> held;
    bool ok = true;
    for (const auto& [path, bytes] : files) {
        std::string temporary;
        held.push_back(holdTemporary(path + ".tmp-" + std::to_string(getpid())));
        if (!writeTemporary(path, bytes, temporary, error)) {
            ok = false;
            break;
        }
        temporaries.push_back(temporary);
    }
    for (size_t i = 0; ok && i < files.size(); ++i) {
        if (std::rename(temporaries[i].c_str(), files[i].first.c_str()) != 0) {
            error = "cannot write " + files[i].first + ": " + reason();
            ok = false;
        }
    }
    if (!ok) {
        for (const std::string& temporary : temporaries) std::remove(temporary.c_str());
    }
    for (int slot : held) releaseTemporary(slot);
    return ok;
}

bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string& error)
{
    return writeFilesAtomically({{path, bytes}}, error);
}

bool writePngAtomically(const std::string& path, int width, int height, const unsigned char* rgba,
                        std::string& error)
{
    std::string png;
    if (!stbi_write_png_to_func(appendBytes, &png, width, height, 4, rgba, width * 4)) {
        error = "cannot encode " + path;
        return false;
    }
    return writeFileAtomically(path, png, error);
}
