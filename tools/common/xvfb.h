// tools/common/xvfb: a private X server (Xvfb) of a chosen screen size, for
// the tools and tests that render without a display of their own.
//
//     XServer server(1920, 1080);
//     setenv("DISPLAY", server.display().c_str(), 1);
#pragma once

#include "subprocess.h"

#include <string>

class XServer {
public:
    // Starts Xvfb on a free display with one screen of width x height at
    // depth 24. The server ends with the process that started it, however
    // that ends, and with the clean-up on signals. Failure: ok() is false and
    // display() empty.
    XServer(int width, int height);
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // Ends the server and waits for it; the destructor does the same. For a
    // process that leaves by _Exit, which runs no destructors. Safe to call
    // twice; ok() is false afterwards.
    void stop();

    bool ok() const { return !display_.empty(); }
    const std::string& display() const { return display_; }

private:
    Subprocess server_;
    std::string display_;
};

