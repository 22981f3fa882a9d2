// The tools' one way to run another program: its streams, its environment
// and folder, its exit status, a time limit, and its whole process group
// ended with it.
#include "subprocess.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

bool alive(pid_t pid)
{
    return kill(pid, 0) == 0 || errno != ESRCH;
}

} // namespace

TEST(Subprocess, GivesItsOutputStatusEnvironmentAndFolder)
{
    SubprocessOptions options;
    options.argv = {"sh", "-c", "echo \"$GREETING\"; pwd; echo oops >&2; exit 3"};
    options.environment = {{"GREETING", "hello"}};
    options.workingDirectory = "/";
    options.output = SubprocessStream::Pipe;
    options.errorsToOutput = true;
    Subprocess child;
    ASSERT_TRUE(child.start(options));
    std::string out;
    EXPECT_TRUE(child.readOutput(out, 1024));
    EXPECT_EQ(out, "hello\n/\noops\n");
    EXPECT_EQ(child.wait(10.0), 3);

    // Output past the limit is read and dropped, and said so.
    options.argv = {"sh", "-c", "head -c 5000 /dev/zero"};
    ASSERT_TRUE(child.start(options));
    out.clear();
    EXPECT_FALSE(child.readOutput(out, 100));
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(child.wait(10.0), 0);

    // A program that cannot be run ends as a shell's would.
    options.argv = {"/nonexistent/program"};
    ASSERT_TRUE(child.start(options));
    EXPECT_EQ(child.wait(10.0), 127);

    // Standard input on a pipe, its end the program's end of input.
    options.argv = {"cat"};
    options.input = SubprocessStream::Pipe;
    ASSERT_TRUE(child.start(options));
    ASSERT_EQ(write(child.input(), "frame", 5), 5);
    child.closeInput();
    out.clear();
    EXPECT_TRUE(child.readOutput(out, 100));
    EXPECT_EQ(out, "frame");
    EXPECT_EQ(child.wait(), 0);
}

// Past its time limit a program is ended, with whatever it started in its
// group, at once; so is one whose Subprocess goes away.
TEST(Subprocess, EndsWithItsGroupAtItsTimeLimit)
{
    SubprocessOptions options;
    options.argv = {"sh", "-c", "sleep 30 & echo $!; wait"};
    options.output = SubprocessStream::Pipe;
    Subprocess child;
    ASSERT_TRUE(child.start(options));
    char pid[32] = {};
    ASSERT_GT(read(child.output(), pid, sizeof pid - 1), 0);
    const pid_t grandchild = static_cast<pid_t>(std::atoi(pid));
    ASSERT_GT(grandchild, 0);
    const pid_t parent = child.pid();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(child.wait(0.3), -1);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5.0);
    EXPECT_FALSE(alive(parent));
    // The grandchild is the init process's to reap now: it is gone or a
    // zombie, never still sleeping.
    for (int i = 0; i < 25 && alive(grandchild); ++i) usleep(20000);
    std::string state;
    if (alive(grandchild)) {
        char line[256] = {};
        FILE* status = std::fopen(("/proc/" + std::to_string(grandchild) + "/stat").c_str(), "r");
        if (status) {
            if (std::fgets(line, sizeof line, status)) state = line;
            std::fclose(status);
        }
    }
    EXPECT_TRUE(state.empty() || state.find(") Z") != std::string::npos) << state;

    pid_t sleeper = -1;
    {
        Subprocess scoped;
        options.argv = {"sleep", "30"};
        options.output = SubprocessStream::Null;
        ASSERT_TRUE(scoped.start(options));
        sleeper = scoped.pid();
        int status = 0;
        EXPECT_FALSE(scoped.finished(status)) << "still running";
    }
    EXPECT_FALSE(alive(sleeper)) << "ended and reaped with its Subprocess";
}
