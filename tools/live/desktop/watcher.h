// live/desktop/watcher: which files of some folders were written, without waiting.
//
//     FolderWatcher watcher({"data", "build/run"});
//     for (const FileChange& change : watcher.poll()) reload(change.folder, change.name);
//
// Folders, not files, are watched: editors save by writing a new file and
// renaming it over the old one, which a watch on the old file would miss.
// A change is a file closed after writing, or moved into the folder.
// Half-written files are never reported: nothing is said until the writer
// closes the file. A folder is watched by its path: when it is deleted or
// renamed, the folder that next takes the path is watched instead, and every
// file it holds then is reported once.
#pragma once

#include <string>
#include <vector>

struct FileChange {
    std::string folder; // as given
    std::string name;   // the file's name in it
};

class FolderWatcher {
public:
    explicit FolderWatcher(const std::vector<std::string>& folders);
    ~FolderWatcher();
    FolderWatcher(const FolderWatcher&) = delete;
    FolderWatcher& operator=(const FolderWatcher&) = delete;

    // False when the system refused to watch a folder; `error` says which.
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    // Watches `folder` too from now on, as the folders given at the start
    // are (nothing to do where its path is watched already). Failure: false
    // with `error` naming it; the folders watched before still are.
    bool watchToo(const std::string& folder, std::string& error);

    // The changes since the last call, each file once, in the order first
    // seen. Never blocks.
    std::vector<FileChange> poll();

    // Waits up to `milliseconds` for a change to report, or for the time to
    // pass, without taking a core.
    void wait(int milliseconds) const;

private:
    static void add(std::vector<FileChange>& changes, const FileChange& change);
    void watchAgain(std::vector<FileChange>& changes);

    int fd_ = -1;
    std::vector<std::pair<int, std::string>> watches_; // descriptor (-1: lost), path
    std::string error_;
};
