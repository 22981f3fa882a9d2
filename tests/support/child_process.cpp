#include "support/child_process.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

ChildProcess::ChildProcess(const ChildOptions& options)
{
    int out[2], err[2], in[2] = {-1, -1};
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        std::abort();
    }
    if (options.input == ChildStdin::Pipe && pipe2(in, O_CLOEXEC) != 0) {
        std::abort();
    }
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        if (options.input == ChildStdin::Pipe) {
            dup2(in[0], 0);
        } else if (options.input == ChildStdin::DevNull) {
            int null = open("/dev/null", O_RDONLY);
            dup2(null, 0);
        } else {
            close(0);
        }
        if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0) {
            _exit(127);
        }
        for (const auto& [name, value] : options.environment) {
            setenv(name.c_str(), value.c_str(), 1);
        }
        std::vector<char*> argv;
        for (const auto& arg : options.argv) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    outFd_ = out[0];
    errFd_ = err[0];
    if (options.input == ChildStdin::Pipe) {
        close(in[0]);
        inFd_ = in[1];
    }
    fcntl(outFd_, F_SETFL, O_NONBLOCK);
    fcntl(errFd_, F_SETFL, O_NONBLOCK);
}

ChildProcess::~ChildProcess()
{
    kill();
    if (inFd_ >= 0) close(inFd_);
    if (outFd_ >= 0) close(outFd_);
    if (errFd_ >= 0) close(errFd_);
}

bool ChildProcess::pump(int timeoutMs)
{
    pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
    int open = 0;
    for (auto& fd : fds) {
        if (fd.fd >= 0) ++open;
    }
    if (open == 0) {
        return false;
    }
    if (poll(fds, 2, timeoutMs) <= 0) {
        return true;
    }
    int* targets[2] = {&outFd_, &errFd_};
    std::string* buffers[2] = {&out_, &err_};
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || fds[i].revents == 0) continue;
        char chunk[4096];
        ssize_t n = read(fds[i].fd, chunk, sizeof chunk);
        if (n > 0) {
            buffers[i]->append(chunk, static_cast<size_t>(n));
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            close(fds[i].fd);
            *targets[i] = -1;
        }
    }
    return true;
}

bool ChildProcess::reap(bool block)
{
    if (status_) return true;
    int raw = 0;
    pid_t r = waitpid(pid_, &raw, block ? 0 : WNOHANG);
    if (r != pid_) return false;
    if (WIFEXITED(raw)) {
        status_ = WEXITSTATUS(raw);
    } else {
        status_ = -WTERMSIG(raw);
    }
    return true;
}

bool ChildProcess::waitFor(const std::function<bool(const std::string&, const std::string&)>& condition,
                           double seconds)
{
    const auto start = Clock::now();
    for (;;) {
        if (condition(out_, err_)) return true;
        if (secondsSince(start) > seconds) return false;
        if (!pump(20) && reap(false)) {
            return condition(out_, err_);
        }
    }
}

bool ChildProcess::waitForStdout(const std::string& text, double seconds)
{
    return waitFor([&](const std::string& out, const std::string&) {
        return out.find(text) != std::string::npos;
    }, seconds);
}

void ChildProcess::collect(double seconds)
{
    const auto start = Clock::now();
    while (secondsSince(start) < seconds) {
        if (!pump(20)) break;
    }
}

void ChildProcess::writeStdin(const std::string& bytes)
{
    if (inFd_ >= 0) {
        ssize_t written = write(inFd_, bytes.data(), bytes.size());
        (void)written;
    }
}

std::optional<int> ChildProcess::waitExit(double seconds)
{
    const auto start = Clock::now();
    while (secondsSince(start) <= seconds) {
        bool open = pump(20);
        if (reap(false) && !open) {
            return status_;
        }
        if (status_ && secondsSince(start) > seconds) break;
    }
    return status_;
}

bool ChildProcess::running()
{
    return !reap(false);
}

void ChildProcess::kill()
{
    if (pid_ > 0 && !reap(false)) {
        ::kill(pid_, SIGKILL);
        reap(true);
    }
}

ToolRun runTool(const std::vector<std::string>& argv, double seconds, const std::string& workingDirectory)
{
    ChildOptions options;
    options.argv = argv;
    options.workingDirectory = workingDirectory;
    ChildProcess child(options);
    const std::optional<int> status = child.waitExit(seconds);
    return {status.value_or(-999), child.out(), child.err()};
}

void ChildProcess::sendSignal(int signal)
{
    if (pid_ > 0 && !reap(false)) ::kill(pid_, signal);
}

int runningProcesses(const std::string& program, const std::string& text)
{
    namespace fs = std::filesystem;
    int count = 0;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        std::ifstream file(entry.path() / "cmdline", std::ios::binary);
        std::string cmdline((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        std::replace(cmdline.begin(), cmdline.end(), '\0', ' ');
        // A zombie has an empty command line: it is gone but for its status.
        if (cmdline.find(program) != std::string::npos && cmdline.find(text) != std::string::npos) ++count;
    }
    return count;
}

size_t countOccurrences(const std::string& text, const std::string& needle)
{
    size_t count = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size())) {
        ++count;
    }
    return count;
}

std::string testLibrary(const std::string& name)
{
    return std::string(ORVANTA_TEST_LIB_DIR) + "/lib" + name + ".so";
}

std::vector<std::pair<std::string, std::string>> glChildEnvironment(const std::string& extraPreload)
{
    std::string preload = testLibrary("keep_gl_modules");
    if (!extraPreload.empty()) preload += ":" + extraPreload;
    // A sanitized program insists that its runtime loads first; a preloaded
    // library of the tests' own does not change what it checks.
    std::string asan = "verify_asan_link_order=0";
    if (const char* current = std::getenv("ASAN_OPTIONS"); current && *current) {
        asan = std::string(current) + ":" + asan;
    }
    return {{"LD_PRELOAD", preload}, {"ASAN_OPTIONS", asan}};
}

double cpuSeconds(int pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The command's name, in parentheses, may hold spaces: count from after it.
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) return -1.0;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14 || i == 15) ticks += std::stod(field);
    }
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}
