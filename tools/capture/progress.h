// capture/progress: how far a capture is, on standard error. On a terminal,
// a bar redrawn in place a few times a second; in a log (a pipe, a file), a
// plain line every 5%. The run-up frames come first, shown as "warming up"
// and counted in the time left; a part's lines say which part they are.
#pragma once

#include <chrono>
#include <string>

class Progress {
public:
    Progress(long warm, long frames, std::string label = "");
    void update(long done);

private:
    long warm_;
    long total_;
    std::string label_;
    std::chrono::steady_clock::time_point start_;
    bool terminal_;
    std::chrono::steady_clock::time_point shown_{};
    int shownPercent_ = -5;
};
