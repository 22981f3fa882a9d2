#include "command_lines.h"

void CommandLines::feed(const char* bytes, size_t size)
{
    // Lines already taken are let go of in one move, not one at a time.
    if (start_ > 0 && start_ >= buffer_.size() / 2) {
        buffer_.erase(0, start_);
        start_ = 0;
    }
    buffer_.append(bytes, size);
}

bool CommandLines::next(std::string& line)
{
    for (;;) {
        const size_t end = buffer_.find('\n', start_);
        if (end == std::string::npos) {
            // An unfinished line already too long is dropped now, so that it
            // holds no memory while the rest of it comes.
            if (buffer_.size() - start_ > maxLineBytes) {
                if (!discarding_) ++dropped_;
                discarding_ = true;
                buffer_.clear();
                start_ = 0;
            }
            return false;
        }
        const size_t length = end - start_;
        const bool keep = !discarding_ && length <= maxLineBytes;
        if (!keep && !discarding_) ++dropped_;
        if (keep) line.assign(buffer_, start_, length);
        discarding_ = false;
        start_ = end + 1;
        if (keep) return true;
    }
}

int CommandLines::takeDropped()
{
    const int dropped = dropped_;
    dropped_ = 0;
    return dropped;
}
