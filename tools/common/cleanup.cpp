#include "cleanup.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int slots = 16;
constexpr int folderSlots = 4;

// The kernel's record of a folder entry, as getdents64 writes it.
struct linux_dirent64 {
    unsigned long long d_ino;
    long long d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};

// Plain arrays, written before a signal can need them, so that the handler
// reads them without allocating.
struct Held {
    char files[slots][4096];
    volatile sig_atomic_t fileUsed[slots];
    char folders[folderSlots][4096];
    volatile sig_atomic_t folderUsed[folderSlots];
    volatile pid_t children[slots];
    volatile sig_atomic_t endings[slots];
    volatile sig_atomic_t groups[slots];
} HELD = {};

// Removes what a folder holds, folders apart, and then the folder. Only
// calls that are safe in a signal handler: the entries are read with the
// system call itself, not readdir.
void removeFolder(const char* path)
{
    const int folder = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) return;
    alignas(8) char buffer[8192];
    for (;;) {
        const long n = syscall(SYS_getdents64, folder, buffer, sizeof buffer);
        if (n <= 0) break;
        for (long at = 0; at < n;) {
            const auto* entry = reinterpret_cast<const linux_dirent64*>(buffer + at);
            at += entry->d_reclen;
            const char* name = entry->d_name;
            if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) unlinkat(folder, name, 0);
        }
    }
    close(folder);
    rmdir(path);
}

// Copies `path` into the first free one of `count` slots; its index, or -1.
int hold(char (*paths)[4096], volatile sig_atomic_t* used, int count, const std::string& path)
{
    if (path.size() >= sizeof paths[0]) return -1;
    for (int slot = 0; slot < count; ++slot) {
        if (used[slot]) continue;
        std::memcpy(paths[slot], path.c_str(), path.size() + 1);
        used[slot] = 1;
        return slot;
    }
    return -1;
}

void onSignal(int signal)
{
    cleanUpNow();
    std::signal(signal, SIG_DFL);
    raise(signal);
}

} // namespace

void endOnSignals()
{
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, signal);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
    // A write past a file-size limit fails with EFBIG, reported with the
    // file's name and its temporary removed, instead of killing the tool
    // with the temporary left behind. Children inherit it.
    std::signal(SIGXFSZ, SIG_IGN);
}

int holdTemporary(const std::string& path)
{
    return hold(HELD.files, HELD.fileUsed, slots, path);
}

void releaseTemporary(int slot)
{
    if (slot >= 0 && slot < slots) HELD.fileUsed[slot] = 0;
}

int holdFolder(const std::string& path)
{
    return hold(HELD.folders, HELD.folderUsed, folderSlots, path);
}

void releaseFolder(int slot)
{
    if (slot >= 0 && slot < folderSlots) HELD.folderUsed[slot] = 0;
}

int holdChild(pid_t pid, int signal, bool group)
{
    for (int slot = 0; slot < slots; ++slot) {
        if (HELD.children[slot] > 0) continue;
        HELD.endings[slot] = signal;
        HELD.groups[slot] = group;
        HELD.children[slot] = pid;
        return slot;
    }
    return -1;
}

void releaseChild(int slot)
{
    if (slot >= 0 && slot < slots) HELD.children[slot] = 0;
}

void cleanUpNow()
{
    for (int slot = 0; slot < slots; ++slot) {
        const pid_t pid = HELD.children[slot];
        if (pid > 0) {
            if (HELD.groups[slot]) kill(-pid, HELD.endings[slot]);
            kill(pid, HELD.endings[slot]);
            waitpid(pid, nullptr, 0);
            HELD.children[slot] = 0;
        }
    }
    for (int slot = 0; slot < slots; ++slot) {
        if (HELD.fileUsed[slot]) {
            unlink(HELD.files[slot]);
            HELD.fileUsed[slot] = 0;
        }
    }
    for (int slot = 0; slot < folderSlots; ++slot) {
        if (HELD.folderUsed[slot]) {
            removeFolder(HELD.folders[slot]);
            HELD.folderUsed[slot] = 0;
        }
    }
}
