#include "watcher.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

FolderWatcher::FolderWatcher(const std::vector<std::string>& folders)
{
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) {
        error_ = std::string("cannot watch files: ") + std::strerror(errno);
        return;
    }
    for (const std::string& folder : folders) {
        const int wd = inotify_add_watch(fd_, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO);
        if (wd < 0) {
            error_ = "cannot watch " + folder + ": " + std::strerror(errno);
            return;
        }
        watches_.emplace_back(wd, folder);
    }
}

FolderWatcher::~FolderWatcher()
{
    if (fd_ >= 0) close(fd_);
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
            if (event->len == 0 || (event->mask & IN_ISDIR)) continue;
            const auto watch = std::find_if(watches_.begin(), watches_.end(),
                                            [&](const auto& w) { return w.first == event->wd; });
            if (watch == watches_.end()) continue;
            FileChange change{watch->second, event->name};
            const bool seen = std::any_of(changes.begin(), changes.end(), [&](const FileChange& c) {
                return c.folder == change.folder && c.name == change.name;
            });
            if (!seen) changes.push_back(change);
        }
    }
    return changes;
}
