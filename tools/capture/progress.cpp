#include "progress.h"

#include <cstdio>
#include <unistd.h>

Progress::Progress(long warm, long frames, std::string label)
    : warm_(warm), total_(warm + frames), label_(std::move(label)), start_(std::chrono::steady_clock::now()),
      terminal_(isatty(2) != 0)
{
}
void Progress::update(long done)
{
    const auto now = std::chrono::steady_clock::now();
    const int percent = total_ ? static_cast<int>(100 * done / total_) : 100;
    if (terminal_) {
        if (done != total_ && now - shown_ < std::chrono::milliseconds(250)) return;
    } else if (done != total_ && percent / 5 == shownPercent_ / 5) {
        return;
    }
    shown_ = now;
    shownPercent_ = percent;
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    const double rate = elapsed > 0 ? done / elapsed : 0.0;
    const double left = rate > 0 ? (total_ - done) / rate : 0.0;
    const int minutes = static_cast<int>(left) / 60, seconds = static_cast<int>(left) % 60;
    char what[96];
    if (warm_ > 0 && done <= warm_ && done < total_) {
        std::snprintf(what, sizeof what, "warming up %ld/%ld", done, warm_);
    } else {
        std::snprintf(what, sizeof what, "%ld/%ld frames", done - warm_, total_ - warm_);
    }
    if (!terminal_) {
        std::fprintf(stderr, "%s%3d%%  %s  %.1f fps  %d:%02d left\n", label_.c_str(), percent, what, rate, minutes,
                     seconds);
        return;
    }
    const int filled = total_ ? static_cast<int>(30 * done / total_) : 30;
    std::fprintf(stderr, "\r%s[%-30s] %s  %.1f fps  %d:%02d left ", label_.c_str(), std::string(filled, '#').c_str(),
                 what, rate, minutes, seconds);
    if (done == total_) std::fputc('\n', stderr);
}
