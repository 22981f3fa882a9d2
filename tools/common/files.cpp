#include "files.h"

#include "cleanup.h"

#include <stb/stb_image_write.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
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

// What the umask leaves of `mode`, read without changing the umask (which
// would race with other threads creating files).
mode_t maskedMode(mode_t mode)
{
    mode_t mask = 022;
    std::string status, error;
    if (readWholeFile("/proc/self/status", status, error, 1 << 16)) {
        const size_t at = status.find("\nUmask:");
        if (at != std::string::npos) mask = static_cast<mode_t>(std::strtoul(status.c_str() + at + 8, nullptr, 8));
    }
    return mode & ~mask;
}

bool writeAll(int fd, const std::string& bytes)
{
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Writes `bytes` to a new temporary beside `path`, checked through the
// close. Failure: false with `error`, and no temporary left.
bool writeTemporary(const std::string& path, const std::string& bytes, TemporaryFile& temporary, std::string& error)
{
    if (!createTemporary(path, "", temporary, error)) return false;
    bool ok = writeAll(temporary.fd, bytes);
    std::string why = ok ? std::string() : reason();
    const int fd = temporary.fd;
    temporary.fd = -1;
    if (close(fd) != 0 && ok) {
        ok = false;
        why = reason();
    }
    if (!ok) {
        discardTemporary(temporary);
        error = "cannot write " + path + ": " + why;
    }
    return ok;
}

} // namespace

bool createTemporary(const std::string& target, const std::string& suffix, TemporaryFile& file, std::string& error)
{
    std::string name = target + ".tmp-XXXXXX" + suffix;
    // A signal between the file's creation and its hold would leave it behind.
    sigset_t endings, before;
    sigemptyset(&endings);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&endings, signal);
    sigprocmask(SIG_BLOCK, &endings, &before);
    const int fd = mkostemps(name.data(), static_cast<int>(suffix.size()), O_CLOEXEC);
    const int saved = errno;
    const int slot = fd < 0 ? -1 : holdTemporary(name);
    sigprocmask(SIG_SETMASK, &before, nullptr);
    if (fd < 0) {
        error = "cannot write " + target + ": " + std::strerror(saved);
        return false;
    }
    struct stat existing = {};
    const mode_t mode = stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode) ? existing.st_mode & 07777
                                                                                          : maskedMode(0666);
    fchmod(fd, mode);
    flock(fd, LOCK_EX | LOCK_NB);
    file.fd = fd;
    file.path = name;
    file.slot = slot;
    return true;
}

std::vector<std::string> namesInFolder(int folderFd)
{
    std::vector<std::string> names;
    // A descriptor of its own: closedir closes the one it reads through.
    const int listing = dup(folderFd);
    DIR* entries = listing >= 0 ? fdopendir(listing) : nullptr;
    if (!entries) {
        if (listing >= 0) close(listing);
        return names;
    }
    while (const dirent* entry = readdir(entries)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) names.push_back(entry->d_name);
    }
    closedir(entries);
    return names;
}

int sweepStaleTemporaries(const std::string& target, const std::string& suffix)
{
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    const std::string head = target.substr(slash == std::string::npos ? 0 : slash + 1) + ".tmp-";
    const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) return 0;
    int removed = 0;
    for (const std::string& name : namesInFolder(folderFd)) {
        const bool temporary = name.size() == head.size() + 6 + suffix.size() && name.compare(0, head.size(), head) == 0 &&
                               name.compare(head.size() + 6, suffix.size(), suffix) == 0 &&
                               std::all_of(name.begin() + static_cast<long>(head.size()),
                                           name.begin() + static_cast<long>(head.size() + 6),
                                           [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
        if (!temporary) continue;
        const int fd = openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat info = {};
        if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == getuid() &&
            flock(fd, LOCK_EX | LOCK_NB) == 0 && unlinkat(folderFd, name.c_str(), 0) == 0) {
            ++removed;
        }
        close(fd);
    }
    close(folderFd);
    return removed;
}

bool commitTemporary(TemporaryFile& file, const std::string& target, std::string& error)
{
    if (file.fd >= 0) {
        const int fd = file.fd;
        file.fd = -1;
        if (close(fd) != 0) {
            error = "cannot write " + target + ": " + reason();
            discardTemporary(file);
            return false;
        }
    }
    if (std::rename(file.path.c_str(), target.c_str()) != 0) {
        error = "cannot write " + target + ": " + reason();
        discardTemporary(file);
        return false;
    }
    releaseTemporary(file.slot);
    file = TemporaryFile();
    return true;
}

void discardTemporary(TemporaryFile& file)
{
    if (file.fd >= 0) close(file.fd);
    if (!file.path.empty()) unlink(file.path.c_str());
    releaseTemporary(file.slot);
    file = TemporaryFile();
}

bool writeFilesAtomically(const std::vector<std::pair<std::string, std::string>>& files, std::string& error)
{
    std::vector<TemporaryFile> temporaries;
    bool ok = true;
    for (const auto& [path, bytes] : files) {
        TemporaryFile temporary;
        if (!writeTemporary(path, bytes, temporary, error)) {
            ok = false;
            break;
        }
        temporaries.push_back(temporary);
    }
    for (size_t i = 0; ok && i < files.size(); ++i) {
        if (std::rename(temporaries[i].path.c_str(), files[i].first.c_str()) != 0) {
            error = "cannot write " + files[i].first + ": " + reason();
            ok = false;
            break;
        }
        releaseTemporary(temporaries[i].slot);
        temporaries[i] = TemporaryFile();
    }
    for (TemporaryFile& temporary : temporaries) {
        if (!temporary.path.empty()) discardTemporary(temporary);
    }
    return ok;
}

bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string& error)
{
    return writeFilesAtomically({{path, bytes}}, error);
}

std::string writeNewFile(const std::string& folder, const std::string& name, const std::string& bytes,
                         std::string& error)
{
    const std::string base = (folder.empty() ? std::string(".") : folder) + "/" + name;
    TemporaryFile temporary;
    if (!writeTemporary(base, bytes, temporary, error)) return "";
    std::string written;
    for (int n = 1; n <= 100 && written.empty(); ++n) {
        const std::string path = n == 1 ? base : base + "." + std::to_string(n);
        // link() never replaces what is there: a name taken, by a file, a
        // folder or a link, goes on to the next.
        if (link(temporary.path.c_str(), path.c_str()) == 0) {
            written = path;
        } else if (errno != EEXIST) {
            error = "cannot write " + path + ": " + reason();
            break;
        }
    }
    if (written.empty() && error.empty()) error = "cannot write " + base + ": 100 such files are there already";
    discardTemporary(temporary);
    return written;
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
