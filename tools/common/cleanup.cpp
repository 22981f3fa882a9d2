#include "cleanup.h"

#include <csignal>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int slots = 16;

// Plain arrays, written before a signal can need them, so that the handler
// reads them without allocating.
struct Held {
    char files[slots][4096];
    volatile sig_atomic_t fileUsed[slots];
    volatile pid_t children[slots];
    volatile sig_atomic_t endings[slots];
} HELD = {};

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
}

int holdTemporary(const std::string& path)
{
    if (path.size() >= sizeof HELD.files[0]) return -1;
    for (int slot = 0; slot < slots; ++slot) {
        if (HELD.fileUsed[slot]) continue;
        std::memcpy(HELD.files[slot], path.c_str(), path.size() + 1);
        HELD.fileUsed[slot] = 1;
        return slot;
    }
    return -1;
}

void releaseTemporary(int slot)
{
    if (slot >= 0 && slot < slots) HELD.fileUsed[slot] = 0;
}

int holdChild(pid_t pid, int signal)
{
    for (int slot = 0; slot < slots; ++slot) {
        if (HELD.children[slot] > 0) continue;
        HELD.endings[slot] = signal;
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
}
