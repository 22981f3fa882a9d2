#include "subprocess.h"

#include "cleanup.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

int statusOf(int raw)
{
    if (WIFEXITED(raw)) return WEXITSTATUS(raw);
    if (WIFSIGNALED(raw)) return 128 + WTERMSIG(raw);
    return -1;
}

// In the child, between fork and exec: only calls that are safe there.
[[noreturn]] void becomeChild(const SubprocessOptions& options, pid_t parent, int inputEnd, int outputEnd,
                              const std::vector<char*>& argv)
{
    setpgid(0, 0);
    // However the tool ends, even by SIGKILL, the child is told to end.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
    auto place = [&](SubprocessStream stream, int pipeEnd, int fd) {
        if (stream == SubprocessStream::Pipe) dup2(pipeEnd, fd);
        else if (stream == SubprocessStream::Null) dup2(null, fd);
    };
    place(options.input, inputEnd, 0);
    place(options.output, outputEnd, 1);
    if (options.errorsToOutput) dup2(1, 2);
    else place(options.errors, -1, 2);
    if (options.keepFd >= 0) fcntl(options.keepFd, F_SETFD, 0);
    if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0) _exit(127);
    for (const auto& [name, value] : options.environment) setenv(name.c_str(), value.c_str(), 1);
    if (options.niceness != 0) setpriority(PRIO_PROCESS, 0, options.niceness);
    if (options.argv[0].find('/') != std::string::npos) execv(argv[0], argv.data());
    else execvp(argv[0], argv.data());
    _exit(127);
}

} // namespace

Subprocess::~Subprocess()
{
    end();
}

bool Subprocess::start(const SubprocessOptions& options)
{
    end();
    if (options.argv.empty()) return false;
    int in[2] = {-1, -1}, out[2] = {-1, -1};
    if (options.input == SubprocessStream::Pipe && pipe2(in, O_CLOEXEC) != 0) return false;
    if (options.output == SubprocessStream::Pipe && pipe2(out, O_CLOEXEC) != 0) {
        if (in[0] >= 0) close(in[0]), close(in[1]);
        return false;
    }
    std::vector<char*> argv;
    for (const std::string& word : options.argv) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) becomeChild(options, parent, in[0], out[1], argv);
    if (in[0] >= 0) close(in[0]);
    if (out[1] >= 0) close(out[1]);
    if (pid < 0) {
        if (in[1] >= 0) close(in[1]);
        if (out[0] >= 0) close(out[0]);
        return false;
    }
    // Its own group from here on, whichever of the two runs first.
    setpgid(pid, pid);
    pid_ = pid;
    input_ = in[1];
    output_ = out[0];
    endSignal_ = options.endSignal;
    held_ = holdChild(pid, options.endSignal, true);
    return true;
}

void Subprocess::closeInput()
{
    if (input_ >= 0) close(input_);
    input_ = -1;
}

void Subprocess::closeOutput()
{
    if (output_ >= 0) close(output_);
    output_ = -1;
}

bool Subprocess::readOutput(std::string& out, size_t limit)
{
    bool whole = true;
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(output_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        if (out.size() + static_cast<size_t>(n) > limit) whole = false;
        else out.append(buffer, static_cast<size_t>(n));
    }
    closeOutput();
    return whole;
}

bool Subprocess::finished(int& status)
{
    if (pid_ <= 0) return false;
    int raw = 0;
    const pid_t done = waitpid(pid_, &raw, WNOHANG);
    if (done != pid_) return false;
    status = statusOf(raw);
    pid_ = -1;
    releaseChild(held_);
    held_ = -1;
    return true;
}

int Subprocess::wait(double seconds)
{
    if (pid_ <= 0) return -1;
    if (seconds < 0) {
        int raw = 0;
        pid_t done;
        while ((done = waitpid(pid_, &raw, 0)) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        releaseChild(held_);
        held_ = -1;
        return done < 0 ? -1 : statusOf(raw);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    int status = 0;
    while (!finished(status)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            end();
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return status;
}

void Subprocess::end()
{
    if (pid_ > 0) {
        kill(-pid_, endSignal_);
        kill(pid_, endSignal_);
        while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
    }
    release();
}

void Subprocess::release()
{
    releaseChild(held_);
    held_ = -1;
    closeInput();
    closeOutput();
}

namespace {

// The running program's folder with a trailing '/', or "" where its path
// cannot be read.
std::string thisProgramsFolder()
{
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return "";
    const std::string path(self, static_cast<size_t>(length));
    return path.substr(0, path.rfind('/') + 1);
}

} // namespace

std::string besideThisProgram(const std::string& tool)
{
    return thisProgramsFolder() + tool;
}

std::string installedDataFolder()
{
    const std::string folder = thisProgramsFolder();
    if (folder.empty()) return "";
    const std::string data = folder + ORVANTA_DATA_FROM_BIN;
    struct stat info {};
    if (stat((data + "/demo.toml").c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return "";
    return data;
}
