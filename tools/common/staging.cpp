#include "staging.h"

#include "files.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int deepestFolder = 4;

bool writableFolder(const char* path)
{
    struct stat info = {};
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode) && access(path, W_OK | X_OK) == 0;
}

// "pid:[4026531836]": the PID namespace this process sees PIDs in.
std::string pidNamespace()
{
    char link[128] = {};
    const ssize_t n = readlink("/proc/self/ns/pid", link, sizeof link - 1);
    return n > 0 ? std::string(link, static_cast<size_t>(n)) : std::string("unknown");
}

std::string markerText(const std::string& program, pid_t pid)
{
    return program + " " + std::to_string(pid) + " " + pidNamespace() + "\n";
}

// The PID in the name of a staging folder of `program`, or 0 when the name
// is not one.
pid_t pidInName(const std::string& program, const char* name)
{
    const size_t head = program.size() + 1;
    if (std::strncmp(name, (program + "-").c_str(), head) != 0) return 0;
    int pid = 0, used = 0;
    if (std::sscanf(name + head, "%d-%*6[A-Za-z0-9]%n", &pid, &used) != 1 ||
        used != static_cast<int>(std::strlen(name + head)) || pid <= 0 || !std::isdigit(static_cast<unsigned char>(name[head]))) {
        return 0;
    }
    return pid;
}

// The marker of the folder open as `folder`, when it is a regular file of
// ours (never through a link).
std::string readMarker(int folder, const std::string& program)
{
    const int fd = openat(folder, stagingMarker(program).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return "";
    struct stat info = {};
    char text[256] = {};
    ssize_t n = -1;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == getuid() && info.st_size < 256) {
        n = read(fd, text, sizeof text - 1);
    }
    close(fd);
    return n > 0 ? std::string(text, static_cast<size_t>(n)) : std::string();
}

// Removes what the folder `name` of `root` holds of this user's (links,
// files, and folders `depth` deep at most, none followed), then the folder
// when that left it empty.
bool removeStaleFolder(int root, const char* name, int depth)
{
    const int folder = openat(root, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) return false;
    for (const std::string& entry : namesInFolder(folder)) {
        struct stat info = {};
        if (fstatat(folder, entry.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISLNK(info.st_mode) || (S_ISREG(info.st_mode) && info.st_uid == getuid())) {
            unlinkat(folder, entry.c_str(), 0);
        } else if (S_ISDIR(info.st_mode) && info.st_uid == getuid() && depth > 1) {
            removeStaleFolder(folder, entry.c_str(), depth - 1);
        }
    }
    close(folder);
    return unlinkat(root, name, AT_REMOVEDIR) == 0;
}

} // namespace

std::string stagingRoot(std::string& note, std::string& error)
{
    note.clear();
    const char* tmpdir = std::getenv("TMPDIR");
    if (tmpdir && *tmpdir) {
        if (writableFolder(tmpdir)) return tmpdir;
        note = std::string("TMPDIR ") + tmpdir + " is not a writable folder; staging in /tmp";
    }
    if (writableFolder("/tmp")) return "/tmp";
    error = "no writable temporary folder: /tmp" + (tmpdir && *tmpdir ? std::string(" nor ") + tmpdir : std::string());
    return "";
}

std::string stagingMarker(const std::string& program)
{
    return "." + program;
}

int sweepStaleStaging(const std::string& root, const std::string& program)
{
    const int rootFd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (rootFd < 0) return 0;
    std::vector<std::string> stale;
    const std::string here = pidNamespace();
    for (const std::string& name : namesInFolder(rootFd)) {
        const pid_t pid = pidInName(program, name.c_str());
        struct stat info = {};
        if (pid == 0 || fstatat(rootFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(info.st_mode) ||
            info.st_uid != getuid()) {
            continue;
        }
        const int folder = openat(rootFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (folder < 0) continue;
        const std::string marker = readMarker(folder, program);
        close(folder);
        // Written by a run of that PID that saw PIDs as this one does.
        if (marker != program + " " + std::to_string(pid) + " " + here + "\n") continue;
        if (kill(pid, 0) == 0 || errno != ESRCH) continue;
        stale.push_back(name);
    }
    int removed = 0;
    for (const std::string& name : stale) removed += removeStaleFolder(rootFd, name.c_str(), deepestFolder) ? 1 : 0;
    close(rootFd);
    return removed;
}

bool makeStagingFolder(const std::string& root, const std::string& program, std::string& folder, std::string& error)
{
    std::string pattern = root + "/" + program + "-" + std::to_string(getpid()) + "-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        error = "cannot make a folder in " + root + ": " + std::strerror(errno);
        return false;
    }
    const std::string marker = pattern + "/" + stagingMarker(program);
    const std::string text = markerText(program, getpid());
    const int fd = open(marker.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    bool ok = fd >= 0 && write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    std::string why = ok ? "" : std::strerror(errno);
    if (fd >= 0 && close(fd) != 0 && ok) {
        ok = false;
        why = std::strerror(errno);
    }
    if (!ok) {
        unlink(marker.c_str());
        rmdir(pattern.c_str());
        error = "cannot write " + marker + ": " + why;
        return false;
    }
    folder = pattern;
    return true;
}
