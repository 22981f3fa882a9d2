// How fast orvanta-live shows a saved file: the time from a shader file's
// save to the end of the first frame drawn with it (the compile time, which
// the player reports, apart), and from a track text's save to the end of the
// first frame with its values; and an edit made in the player (a key set by
// a command on its standard input) to the end of the first frame with it.
// The player runs at 320x180 on the demo's own files, in an X server of its
// own, with its console on a pipe: the save is timed from just before the
// rename, the frame's end by the status line of the frame after it.
//
// Then, in a window of 1280x720: the frames a second at a fixed full size
// and with the size following the frame rate; and a score's save to the
// moment its first bars are put into the playing music (the player's own
// report), against the whole tune's render, which was all there was before.
#include "subprocess.h"
#include "xvfb.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

class Player {
public:
    Player(const std::vector<std::string>& args, const std::string& display, const std::string& cwd = "")
    {
        SubprocessOptions options;
        options.argv = args;
        options.workingDirectory = cwd;
        options.input = SubprocessStream::Pipe;
        options.output = SubprocessStream::Pipe;
        // Every save is a new shader: no driver cache may answer for it.
        options.environment = {{"DISPLAY", display}, {"SDL_AUDIODRIVER", "none"}, {"MESA_SHADER_CACHE_DISABLE", "true"}};
        if (!player_.start(options)) std::abort();
        fd_ = player_.output();
        commands_ = player_.input();
    }

    void send(const std::string& line)
    {
        if (write(commands_, line.data(), line.size()) != static_cast<ssize_t>(line.size())) std::abort();
    }

    // Reads lines until one contains `text`; returns when it arrived, or
    // nothing after 60 s. The line itself is left in `line`.
    bool waitLine(const std::string& text, Clock::time_point& when, std::string& line)
    {
        const auto deadline = Clock::now() + std::chrono::seconds(60);
        for (;;) {
            const size_t end = buffer_.find('\n');
            if (end != std::string::npos) {
                line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                if (line.find(text) != std::string::npos) {
                    when = Clock::now();
                    return true;
                }
                continue;
            }
            pollfd p = {fd_, POLLIN, 0};
            if (Clock::now() > deadline || poll(&p, 1, 1000) < 0) return false;
            char chunk[4096];
            const ssize_t n = read(fd_, chunk, sizeof chunk);
            if (n <= 0 && p.revents) return false;
            if (n > 0) buffer_.append(chunk, static_cast<size_t>(n));
        }
    }

private:
    Subprocess player_; // ended with SIGTERM as it goes
    int fd_ = -1;
    int commands_ = -1;
    std::string buffer_;
};

std::string readText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void save(const fs::path& path, const std::string& text)
{
    const fs::path temporary = path.string() + ".new";
    std::ofstream(temporary, std::ios::binary) << text;
    fs::rename(temporary, path);
}

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Measure {
    std::vector<double> total;   // save to the end of the first frame drawn with it
    std::vector<double> noticed; // save to the player's line about it
    std::vector<double> compile; // as the player reports it
};

// Saves `file` (with a changing comment) `rounds` times, each time waiting
// for `notice`, then for the status line of the frame after the one that
// noticed.
Measure measure(Player& player, const fs::path& file, const std::string& comment, const std::string& notice,
                int rounds)
{
    const std::string original = readText(file);
    Measure m;
    for (int round = 0; round < rounds; ++round) {
        Clock::time_point seen, drawn;
        std::string line;
        const auto saved = Clock::now();
        save(file, original + comment + std::to_string(getpid()) + "." + std::to_string(round) + "\n");
        if (!player.waitLine(notice, seen, line)) break;
        const size_t in = line.find(" in ");
        m.compile.push_back(in == std::string::npos ? 0.0 : std::atof(line.c_str() + in + 4));
        if (!player.waitLine("; scene:", drawn, line) || !player.waitLine("; scene:", drawn, line)) break;
        m.total.push_back(ms(drawn - saved));
        m.noticed.push_back(ms(seen - saved));
        usleep(200000);
    }
    return m;
}

// Sets a key by command `rounds` times, each time waiting for the player's
// line about it, then for the status line of the frame drawn with it (the
// command is taken before the frame is drawn); and times frames alone.
Measure measureEdits(Player& player, int rounds, std::vector<double>& frames)
{
    Measure m;
    Clock::time_point first, now;
    std::string line;
    // Lines read in one go share a time: a frame is the mean over twenty.
    player.waitLine("; scene:", first, line);
    int count = 0;
    while (count < 20 && player.waitLine("; scene:", now, line)) ++count;
    if (count > 0) frames.push_back(ms(now - first) / count);
    for (int round = 0; round < rounds; ++round) {
        Clock::time_point seen, drawn;
        const auto sent = Clock::now();
        player.send("key gain.r 0." + std::to_string(round + 1) + "\n");
        if (!player.waitLine("gain.r: key", seen, line) || !player.waitLine("; scene:", drawn, line)) break;
        m.total.push_back(ms(drawn - sent));
        m.noticed.push_back(ms(seen - sent));
        usleep(200000);
    }
    return m;
}

// Frames a second over `seconds`, after as long again to settle.
double framesASecond(Player& player, double seconds)
{
    Clock::time_point at;
    std::string line;
    const auto settle = Clock::now() + std::chrono::duration<double>(seconds);
    while (player.waitLine("; scene:", at, line) && at < settle) {
    }
    const auto start = at;
    int frames = 0;
    while (player.waitLine("; scene:", at, line) && at - start < std::chrono::duration<double>(seconds)) ++frames;
    return frames / std::chrono::duration<double>(at - start).count();
}

// The figure after `lead` in the first line with it, in seconds.
double secondsIn(const std::string& line, const std::string& lead)
{
    const size_t at = line.find(lead);
    return at == std::string::npos ? -1.0 : std::atof(line.c_str() + at + lead.size());
}

int largeWindow()
{
    XServer server(1280, 720);
    if (!server.ok()) return 1;
    const std::string live = std::string(ORVANTA_BIN_DIR) + "/orvanta-live";
    const std::vector<std::string> common = {live, "--window", "1280x720", "--data", ORVANTA_RUN_DIR, "--from", "64"};
    double fixed = 0, adaptive = 0;
    {
        std::vector<std::string> args = common;
        args.insert(args.end(), {"--resolution", "1280x720", "--scene-scale", "1"});
        Player player(args, server.display());
        fixed = framesASecond(player, 5.0);
    }
    {
        Player player(common, server.display());
        adaptive = framesASecond(player, 5.0);
    }
    double panel = 0;
    {
        Player player(common, server.display());
        player.send("panel on\n");
        panel = framesASecond(player, 5.0);
    }
    std::printf("Frames a second in a window of 1280x720 (the hall, row 64):\n"
                "  the whole chain at 1280x720 %5.1f\n  the size following the rate %5.1f (aim: 15 or more)\n"
                "  and with the track panel open %5.1f (aim: 15 or more)\n",
                fixed, adaptive, panel);

    const fs::path folder = fs::temp_directory_path() / ("orvanta-live-bench-score-" + std::to_string(getpid()));
    fs::create_directories(folder);
    fs::copy_file(fs::path(ORVANTA_SOURCE_DIR) / "data/music/orvanta.score", folder / "orvanta.score");
    fs::copy_file(fs::path(ORVANTA_RUN_DIR) / "tune.ogg", folder / "tune.ogg");
    std::vector<double> heard;
    double wholeTune = -1.0;
    {
        std::vector<std::string> args = {live, "--window", "1280x720", "--data", folder.string(), "--data",
                                         ORVANTA_RUN_DIR, "--score", (folder / "orvanta.score").string(), "--from", "400"};
        Player player(args, server.display());
        const std::string original = readText(folder / "orvanta.score");
        const std::string saw = "  osc saw      level 0.7\n", square = "  osc square   level 0.7\n";
        Clock::time_point at;
        std::string line;
        player.waitLine("; scene:", at, line);
        for (int round = 0; round < 6; ++round) {
            std::string text = original;
            if (round % 2 == 0) text.replace(text.find(saw), saw.size(), square);
            save(folder / "orvanta.score", text);
            if (!player.waitLine("the bars under way", at, line)) break;
            heard.push_back(secondsIn(line, "heard "));
            // The last round lets the whole tune finish; the others are ended
            // by the next save, as a maker's quick saves are.
            if (round < 5) {
                usleep(3000000);
            } else if (player.waitLine(": rendered, ", at, line)) {
                wholeTune = secondsIn(line, ": rendered, ");
            }
        }
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    if (heard.size() < 5) {
        std::fprintf(stderr, "live_bench: the player did not take the score's saves\n");
        return 1;
    }
    heard.resize(5);
    std::printf("A score's save to its first bars put into the music, 1280x720, median of 5: %.2f s (aim: under 3);\n"
                "  to the whole tune in place (all there was before): %.1f s\n",
                median(heard), wholeTune);
    return 0;
}

} // namespace

int main()
{
    XServer server(320, 180);
    if (!server.ok()) return 1;
    const fs::path folder = fs::temp_directory_path() / ("orvanta-live-bench-" + std::to_string(getpid()));
    fs::create_directories(folder);
    fs::copy_file(fs::path(ORVANTA_RUN_DIR) / "hall.fsh", folder / "hall.fsh");
    fs::copy_file(fs::path(ORVANTA_SOURCE_DIR) / "data/tracks/demo.tracks", folder / "demo.tracks");
    int status = 0;
    {
        Player player({std::string(ORVANTA_BIN_DIR) + "/orvanta-live", "--window", "320x180", "--data", folder.string(),
                       "--data", ORVANTA_RUN_DIR, "--tracks", (folder / "demo.tracks").string(), "--from", "64"},
                      server.display());
        Clock::time_point ready;
        std::string line;
        if (!player.waitLine("; scene:", ready, line)) {
            std::fprintf(stderr, "live_bench: orvanta-live drew no frame\n");
            status = 1;
        } else {
            const Measure shader = measure(player, folder / "hall.fsh", "// ", "hall.fsh: 1 program rebuilt", 10);
            const Measure tracks = measure(player, folder / "demo.tracks", "# ", "demo.tracks: 31 of 31 tracks", 10);
            player.send("pause\n");
            std::vector<double> frames;
            const Measure edits = measureEdits(player, 10, frames);
            if (shader.total.empty() || tracks.total.empty() || edits.total.empty() || frames.empty()) {
                std::fprintf(stderr, "live_bench: the player did not take the saves\n");
                status = 1;
            } else {
                const double total = median(shader.total), compile = median(shader.compile);
                const double noticed = median(shader.noticed);
                std::printf("Save to the end of the first frame drawn with it, 320x180, median of %zu:\n",
                            shader.total.size());
                std::printf("  shader (hall.fsh)      %6.1f ms: taken in %.1f ms, of which compile and link %.1f ms;\n"
                            "                         the frame drawn with it %.1f ms, the driver's own compile on\n"
                            "                         first use included (aim: under 100 plus the compile)\n",
                            total, noticed, compile, total - noticed);
                std::printf("  track text (31 tracks) %6.1f ms: taken in %.1f ms (aim: under 50)\n", median(tracks.total),
                            median(tracks.noticed));
                std::printf("  a key set in the player %5.1f ms: taken in %.1f ms; a frame alone %.1f ms (aim: a frame\n"
                            "                         plus under 20)\n",
                            median(edits.total), median(edits.noticed), median(frames));
            }
        }
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return status == 0 ? largeWindow() : status;
}
