#include "watcher.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

constexpr uint32_t fileEvents = IN_CLOSE_WRITE | IN_MOVED_TO;
constexpr uint32_t folderEvents = IN_DELETE_SELF | IN_MOVE_SELF;

} // namespace

FolderWatcher::FolderWatcher(const std::vector<std::string>& folders)
{
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) {
        error_ = std::string("cannot watch files: ") + std::strerror(errno);
        return;
    }
    for (const std::string& folder : folders) {
        const int wd = inotify_add_watch(fd_, folder.c_str(), fileEvents | folderEvents);
        if (wd < 0) {
            error_ = "cannot watch " + folder + ": " + std::strerror(errno);
            return;
        }
        watches_.emplace_back(wd, folder);
    }
}

bool FolderWatcher::watchToo(const std::string& folder, std::string& error)
{
    if (std::any_of(watches_.begin(), watches_.end(), [&](const auto& w) { return w.second == folder; })) return true;
    const int wd = fd_ < 0 ? -1 : inotify_add_watch(fd_, folder.c_str(), fileEvents | folderEvents);
    if (wd < 0) {
        error = "cannot watch " + folder + ": " + std::strerror(fd_ < 0 ? EBADF : errno);
        return false;
    }
    watches_.emplace_back(wd, folder);
    return true;
}

FolderWatcher::~FolderWatcher()
{
    if (fd_ >= 0) close(fd_);
}

void FolderWatcher::add(std::vector<FileChange>& changes, const FileChange& change)
{
    const bool seen = std::any_of(changes.begin(), changes.end(), [&](const FileChange& c) {
        return c.folder == change.folder && c.name == change.name;
    });
    if (!seen) changes.push_back(change);
}

void FolderWatcher::watchAgain(std::vector<FileChange>& changes)
{
    for (auto& [wd, folder] : watches_) {
        if (wd >= 0) continue;
        wd = inotify_add_watch(fd_, folder.c_str(), fileEvents | folderEvents | IN_ONLYDIR);
        if (wd < 0) continue;
        // What the new folder holds was written while nothing watched it.
        if (DIR* entries = opendir(folder.c_str())) {
            while (const dirent* entry = readdir(entries)) {
                if (entry->d_name[0] != '.') add(changes, {folder, entry->d_name});
            }
            closedir(entries);
        }
    }
}

std::vector<FileChange> FolderWatcher::poll()
{
    std::vector<FileChange> changes;
    if (fd_ < 0) return changes;
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n <= 0) break;
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            const auto watch = std::find_if(watches_.begin(), watches_.end(),
                                            [&](const auto& w) { return w.first == event->wd; });
            if (watch == watches_.end()) continue;
            // The folder went away or was renamed: the path is what is
            // watched, so the watch moves to whatever folder takes the path.
            if (event->mask & (folderEvents | IN_IGNORED)) {
                inotify_rm_watch(fd_, watch->first);
                watch->first = -1;
                continue;
            }
            // A folder moved in under a watched name is reported too: it is
            // a save that failed, and the player says so.
            if (event->len == 0 || ((event->mask & IN_ISDIR) && !(event->mask & IN_MOVED_TO))) continue;
            add(changes, {watch->second, event->name});
        }
    }
    watchAgain(changes);
    return changes;
}

void FolderWatcher::wait(int milliseconds) const
{
    if (fd_ < 0) {
        usleep(static_cast<useconds_t>(milliseconds) * 1000);
        return;
    }
    pollfd ready = {fd_, POLLIN, 0};
    ::poll(&ready, 1, milliseconds);
}
