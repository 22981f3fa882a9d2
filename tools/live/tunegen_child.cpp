// The live player's tunegen: the score rendered in the background, a newer
// save ending an older render, the child ending with the player.
#include "live.h"

#include "cleanup.h"
#include "files.h"
#include "score.h"

#include <fcntl.h>
#include <filesystem>
#include <sys/prctl.h>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace live {

namespace {

std::string toolPath(const std::string& tool)
{
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? tool : (self.parent_path() / tool).string();
}

void releaseHeld()
{
    Tunegen& t = LIVE.tunegen;
    releaseChild(t.childSlot);
    releaseTemporary(t.temporarySlot);
    t.childSlot = t.temporarySlot = -1;
}

} // namespace

// Ends a render under way; its tune would be older than the score.
void endTunegen()
{
    Tunegen& t = LIVE.tunegen;
    if (t.pid <= 0) return;
    kill(t.pid, SIGTERM);
    waitpid(t.pid, nullptr, 0);
    unlink(t.temporary.c_str());
    close(t.errFd);
    t.errFd = -1;
    t.pid = -1;
    releaseHeld();
}

void startTunegen()
{
    Tunegen& t = LIVE.tunegen;
    const std::string name = fs::path(LIVE.files.score).filename().string();
    if (t.pid > 0) {
        endTunegen();
        say(name + ": the render of the older save ended");
    }
    // The score is read here first: a bad save is reported at once, and a
    // good one takes down the error of an older save before its render ends.
    std::string text, message;
    Song song;
    ScoreError scoreError;
    if (!readWholeFile(LIVE.files.score, text, message, textFileLimit)) {
        setError(name, {message});
        say(message + " (the tune stays as it was)");
        return;
    }
    if (!parseScore(text, name, song, scoreError)) {
        setError(name, {scoreError.describe()});
        say(scoreError.describe() + " (the tune stays as it was)");
        return;
    }
    clearError(name);
    int err[2];
    if (pipe2(err, O_CLOEXEC) != 0) return;
    const std::string tool = toolPath("tunegen");
    const pid_t parent = getpid();
    t.pid = fork();
    if (t.pid == 0) {
        // Ends with the player, however the player ends (SIGKILL too);
        // tunegen removes its unfinished output on the signal.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(127);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(err[1], 2);
        execl(tool.c_str(), tool.c_str(), LIVE.files.score.c_str(), "-o", LIVE.files.tunePath.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(err[1]);
    if (t.pid < 0) {
        close(err[0]);
        return;
    }
    // Ended with the player, and its unfinished output removed, however the
    // player ends.
    t.temporary = LIVE.files.tunePath + ".tmp-" + std::to_string(t.pid);
    t.childSlot = holdChild(t.pid, SIGTERM);
    t.temporarySlot = holdTemporary(t.temporary);
    t.errFd = err[0];
    fcntl(t.errFd, F_SETFL, O_NONBLOCK);
    t.err.clear();
    say(name + ": rendering the tune in the background");
}

void pollTunegen()
{
    Tunegen& t = LIVE.tunegen;
    if (t.pid <= 0) return;
    char chunk[4096];
    ssize_t n = 0;
    while ((n = read(t.errFd, chunk, sizeof chunk)) > 0) t.err.append(chunk, static_cast<size_t>(n));
    int status = 0;
    if (waitpid(t.pid, &status, WNOHANG) != t.pid) return;
    while ((n = read(t.errFd, chunk, sizeof chunk)) > 0) t.err.append(chunk, static_cast<size_t>(n));
    close(t.errFd);
    t.errFd = -1;
    t.pid = -1;
    releaseHeld();
    const std::string name = fs::path(LIVE.files.score).filename().string();
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        clearError(name);
        say(name + ": rendered");
    } else {
        std::vector<std::string> lines;
        std::istringstream in(t.err);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty()) lines.push_back(line);
        }
        if (lines.empty()) lines.push_back(name + ": tunegen failed");
        setError(name, lines);
        say(lines.front() + " (the tune stays as it was)");
    }
}

} // namespace live
