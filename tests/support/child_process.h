// A program under test, started with pipes on its standard output and error
// (and optionally its standard input), read back without blocking the test.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

enum class ChildStdin { Closed, DevNull, Pipe };

struct ChildOptions {
    std::vector<std::string> argv;
    std::string workingDirectory;
    std::vector<std::pair<std::string, std::string>> environment; // added or replaced
    ChildStdin input = ChildStdin::DevNull;
};

class ChildProcess {
public:
    // Starts the program; a failure to start shows as exit status 127.
    explicit ChildProcess(const ChildOptions& options);
    ~ChildProcess(); // kills the child if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Reads output until the condition on (stdout, stderr) holds, the child
    // has exited and its pipes are drained, or the time is up. Returns whether
    // the condition held.
    bool waitFor(const std::function<bool(const std::string&, const std::string&)>& condition,
                 double seconds);
    bool waitForStdout(const std::string& text, double seconds);

    // Reads whatever arrives during the given time.
    void collect(double seconds);

    void writeStdin(const std::string& bytes);

    // Waits for the child to end and drains its output. Returns its exit
    // status, or -signal when a signal ended it, or nothing on time-out.
    std::optional<int> waitExit(double seconds);

    bool running();
    void kill();
    void sendSignal(int signal);

    const std::string& out() const { return out_; }
    const std::string& err() const { return err_; }
    int pid() const { return pid_; }

private:
    bool pump(int timeoutMs);
    bool reap(bool block);

    int pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    int inFd_ = -1;
    std::optional<int> status_;
    std::string out_;
    std::string err_;
};

// What a program run to its end gave: its exit status (-signal when a signal
// ended it, -999 when it outlived its time and was killed) and its output.
struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

// Runs a program with standard input on /dev/null, in `workingDirectory`
// when one is given, for at most `seconds`.
ToolRun runTool(const std::vector<std::string>& argv, double seconds, const std::string& workingDirectory = "");

// Processes now running whose command line holds `program` and `text` (its
// arguments joined by spaces), from /proc.
int runningProcesses(const std::string& program, const std::string& text);

// The CPU time, user and system, that process `pid` has used; -1 when it
// cannot be read.
double cpuSeconds(int pid);

// Counts the non-overlapping occurrences of needle in text.
size_t countOccurrences(const std::string& text, const std::string& needle);

// Environment for a GL program started by a test: the driver kept mapped
// until exit (keep_gl_modules.c) plus any further library to preload.
std::vector<std::pair<std::string, std::string>> glChildEnvironment(const std::string& extraPreload = "");

// Path of a shared library built for the tests.
std::string testLibrary(const std::string& name);
