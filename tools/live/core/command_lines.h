// live/core/command_lines: commands on the player's standard input, cut into
// lines a bounded amount at a time, so that no flood of them can hold up a
// frame or grow without end.
//
//     CommandLines lines;
//     while (lines.wantsMore() && (n = read(fd, buffer, sizeof buffer)) > 0) lines.feed(buffer, n);
//     for (std::string line; ran < budget && lines.next(line); ++ran) run(line);
//     if (int dropped = lines.takeDropped()) say(...);
//
// A line longer than maxLineBytes is no command: it is dropped whole (up to
// its newline, however far that is) and counted, never run in pieces.
#pragma once

#include <cstddef>
#include <string>

class CommandLines {
public:
    static constexpr size_t maxLineBytes = 4096;
    // Bytes held before the reader stops taking more (the writer then waits
    // on the pipe).
    static constexpr size_t maxPendingBytes = 64 * 1024;

    void feed(const char* bytes, size_t size);

    // The next whole line, without its newline. False when none is whole.
    bool next(std::string& line);

    // Whether the reader should read more now.
    bool wantsMore() const { return buffer_.size() - start_ < maxPendingBytes; }

    // The count of lines dropped as too long since the last call.
    int takeDropped();

private:
    std::string buffer_;
    size_t start_ = 0;       // where the unread lines begin in buffer_
    bool discarding_ = false; // inside a line that is being dropped
    int dropped_ = 0;
};
