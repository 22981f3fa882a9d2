#include "xvfb.h"

#include "cleanup.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

XServer::XServer(int width, int height)
{
    int fds[2];
    if (pipe(fds) != 0) std::abort();
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    pid_ = fork();
    if (pid_ == 0) {
        // However the tool ends, even by SIGKILL or an abort, its server ends too.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        close(fds[0]);
        int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        dup2(devnull, 2);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
               "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    held_ = holdChild(pid_);
    std::string number;
    pollfd pfd = {fds[0], POLLIN, 0};
    while (number.find('\n') == std::string::npos && poll(&pfd, 1, 20000) > 0) {
        char c[16];
        ssize_t n = read(fds[0], c, sizeof c);
        if (n <= 0) break;
        number.append(c, static_cast<size_t>(n));
    }
    close(fds[0]);
    if (!number.empty() && number.find('\n') != std::string::npos) {
        display_ = ":" + number.substr(0, number.find('\n'));
    }
}

XServer::~XServer()
{
    stop();
}

void XServer::stop()
{
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        releaseChild(held_);
    }
    pid_ = -1;
    display_.clear();
}

