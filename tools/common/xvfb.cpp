#include "xvfb.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

XServer::XServer(int width, int height)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    SubprocessOptions options;
    options.argv = {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                    std::to_string(width) + "x" + std::to_string(height) + "x24", "-nolisten", "tcp", "-noreset"};
    options.input = SubprocessStream::Inherit;
    options.output = SubprocessStream::Null;
    options.errors = SubprocessStream::Null;
    options.keepFd = fds[1];
    // SIGTERM: the server removes its lock files as it ends.
    options.endSignal = SIGTERM;
    const bool started = server_.start(options);
    close(fds[1]);
    std::string number;
    pollfd pfd = {fds[0], POLLIN, 0};
    while (started && number.find('\n') == std::string::npos && poll(&pfd, 1, 20000) > 0) {
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
    server_.end();
    display_.clear();
}
