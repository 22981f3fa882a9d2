#include "files.h"

#include "cleanup.h"

#include <stb/stb_image_write.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
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

std::string describeSize(size_t bytes)
{
    if (bytes >= (size_t(1) << 20) && bytes % (size_t(1) << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
    if (bytes >= 1024 && bytes % 1024 == 0) return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes) + " bytes";
}

bool readWholeFile(const std::string& path, std::string& bytes, std::string& error, size_t limit)
{
    bytes.clear();
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = path + ": cannot read: " + reason();
        return false;
    }
    struct stat info = {};
    std::string why;
    if (fstat(fd, &info) != 0) {
        why = reason();
    } else if (S_ISDIR(info.st_mode)) {
        why = std::strerror(EISDIR);
    } else if (!S_ISREG(info.st_mode)) {
        why = "not a regular file";
    } else if (static_cast<unsigned long long>(info.st_size) > limit) {
        why = "larger than " + describeSize(limit);
    } else {
        bytes.reserve(static_cast<size_t>(info.st_size));
        char chunk[65536];
        for (;;) {
            const ssize_t n = read(fd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                why = reason();
                break;
            }
            if (n == 0) break;
            // The file may grow while it is read.
            if (bytes.size() + static_cast<size_t>(n) > limit) {
                why = "larger than " + describeSize(limit);
                break;
            }
            bytes.append(chunk, static_cast<size_t>(n));
        }
    }
    close(fd);
    if (!why.empty()) {
        bytes.clear();
        bytes.shrink_to_fit();
        error = path + ": cannot read: " + why;
        return false;
    }
    return true;
}

std::string inputWrittenBy(const std::string& output, const std::vector<std::string>& inputs)
{
    struct stat out = {};
    if (output.empty() || stat(output.c_str(), &out) != 0) return "";
    for (const std::string& input : inputs) {
        struct stat in = {};
        if (!input.empty() && stat(input.c_str(), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino) {
            return input;
        }
    }
    return "";
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
