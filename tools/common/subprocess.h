// tools/common/subprocess: another program run by a tool, started the one way
// every tool starts one: its arguments and environment, its standard
// streams on pipes or /dev/null, its own process group, ended with that
// group however the tool ends (on the tool's signals through cleanup.h, on
// its death through PR_SET_PDEATHSIG), and waited on with a time limit.
//
//     SubprocessOptions options;
//     options.argv = {"ffprobe", "-v", "error", path};
//     options.output = SubprocessStream::Pipe;
//     Subprocess probe;
//     if (!probe.start(options)) ...            // no process: fork failed
//     std::string listing;
//     const bool whole = probe.readOutput(listing, limit);
//     const int status = probe.wait(60.0);       // 0 when it succeeded
//
// A program that cannot be run (not found, not executable) starts and ends
// with status 127, as a shell's would.
#pragma once

#include <csignal>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

enum class SubprocessStream {
    Inherit, // the tool's own
    Null,    // /dev/null
    Pipe,    // a pipe to the tool: Subprocess::input() or Subprocess::output()
};

struct SubprocessOptions {
    std::vector<std::string> argv; // argv[0] is looked up on the PATH unless it holds a '/'
    std::vector<std::pair<std::string, std::string>> environment; // added or replaced
    std::string workingDirectory;  // "": the tool's
    SubprocessStream input = SubprocessStream::Null;
    SubprocessStream output = SubprocessStream::Inherit;
    SubprocessStream errors = SubprocessStream::Inherit;
    bool errorsToOutput = false;   // standard error goes where standard output goes
    int keepFd = -1;               // a descriptor of the tool's the child keeps, under its number
    int niceness = 0;              // added to the tool's
    int endSignal = SIGTERM;       // ends it with the tool: SIGKILL for work thrown away
};

class Subprocess {
public:
    Subprocess() = default;
    ~Subprocess(); // ends it, as end() does, if it still runs
    Subprocess(const Subprocess&) = delete;
    Subprocess& operator=(const Subprocess&) = delete;

    // Starts the program. Failure: false when no process could be made (the
    // pipes or the fork failed); nothing is left open.
    bool start(const SubprocessOptions& options);

    pid_t pid() const { return pid_; }
    int input() const { return input_; }   // the write end of its standard input, or -1
    int output() const { return output_; } // the read end of its standard output, or -1
    void closeInput();
    void closeOutput();

    // Reads its standard output to the end, keeping at most `limit` bytes.
    // False when it wrote more than that (the rest is read and dropped).
    bool readOutput(std::string& out, size_t limit);

    // Waits for it to end, at most `seconds` (negative: as long as it
    // takes). Its exit status, 128 + N when signal N ended it, or -1 when the
    // time ran out, and it was then ended.
    int wait(double seconds = -1.0);

    // Whether it has ended, with its status as wait() gives it, without
    // waiting. Its pipes stay open until closed (what it wrote last can
    // still be read), or until end() or the destructor.
    bool finished(int& status);

    // Ends it, with its whole process group, by its end signal, and waits.
    void end();

private:
    void release();

    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    int held_ = -1; // its slot in the clean-up
    int endSignal_ = SIGTERM;
};

// The path of `tool` installed beside the running program (the build's bin
// folder, a release's), or the bare name where the program's own path
// cannot be read.
std::string besideThisProgram(const std::string& tool);

// The installed demo's data folder, where this program runs installed
// (PREFIX/share/orvanta for PREFIX/bin, as `make install` and a release lay
// them out): the folder, if it holds a demo.toml; else "".
std::string installedDataFolder();
