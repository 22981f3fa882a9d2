// The live player under test: started in an X server of its own on a data
// folder of the test's, with its console followed frame by frame; and the
// shaders and saves the live player's tests share.
#pragma once

#include "support/demo_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

inline const char* const blankPass = "#version 430 core\nout vec4 c;\nvoid main() { c = vec4(0.0); }\n";

inline std::string solidColour(const char* rgb)
{
    return std::string("#version 430 core\nout vec4 c;\nvoid main() { c = vec4(") + rgb + ", 1.0); }\n";
}

// Pass 4 shows the grade's gain; the final pass shows pass 4.
inline const char* const gainPass = "#version 430 core\nuniform vec3 gain;\nout vec4 c;\nvoid main() { c = vec4(gain, 1.0); }\n";
inline const char* const showPassFour =
    "#version 430 core\nuniform sampler2D iChannel0;\nout vec4 c;\n"
    "void main() { c = texelFetch(iChannel0, ivec2(gl_FragCoord.xy), 0); }\n";

// Scene 0 from row 0, scene 1 from row 64, scene 2 from row 128.
inline const char* const cutTracks = "track scene\n  0 0 step\n  4:0:0 1 step\n  8:0:0 2 step\n";

// Writes a new file beside the old one and renames it over, as editors do.
inline void save(const TempDir& dir, const std::string& name, const std::string& text)
{
    dir.write("." + name + ".new", text);
    std::filesystem::rename(dir.file("." + name + ".new"), dir.file(name));
}

inline long red(long colour)
{
    return (colour >> 16) & 0xff;
}
inline long green(long colour)
{
    return (colour >> 8) & 0xff;
}
inline long blue(long colour)
{
    return colour & 0xff;
}

// The screen and window the player gets (320x180 unless a test needs
// another), and what its environment adds (SDL's audio driver "none"
// unless replaced).
struct LiveScreen {
    int width = 320;
    int height = 180;
    std::vector<std::pair<std::string, std::string>> environment;
};

class LivePlayer {
public:
    // Starts the player with `data` before the run folder, and waits until
    // it draws. `prefix` runs before the player's command line (a shell that
    // limits it).
    LivePlayer(const TempDir& data, std::vector<std::string> arguments, ChildStdin input = ChildStdin::DevNull,
               const std::vector<std::string>& prefix = {}, const LiveScreen& screen = {})
        : LivePlayer(data.path(), arguments, input, prefix, screen)
    {
    }
    LivePlayer(const std::string& data, std::vector<std::string> arguments, ChildStdin input = ChildStdin::DevNull,
               const std::vector<std::string>& prefix = {}, const LiveScreen& screen = {})
        : server_(screen.width, screen.height)
    {
        ChildOptions options;
        options.input = input;
        options.argv = prefix;
        options.argv.insert(options.argv.end(),
                            {binary("orvanta-live"), "--window",
                             std::to_string(screen.width) + "x" + std::to_string(screen.height), "--data", data,
                             "--data", ORVANTA_RUN_DIR});
        options.argv.insert(options.argv.end(), arguments.begin(), arguments.end());
        options.environment = glChildEnvironment();
        options.environment.emplace_back("DISPLAY", server_.display());
        options.environment.emplace_back("SDL_AUDIODRIVER", "none");
        options.environment.insert(options.environment.end(), screen.environment.begin(), screen.environment.end());
        child_ = std::make_unique<ChildProcess>(options);
        started_ = child_->waitFor([](const std::string& out, const std::string&) { return frameLines(out) >= 3; }, 120.0);
        EXPECT_TRUE(started_) << "no frames; stdout: " << child_->out() << "\nstderr: " << child_->err();
    }

    // Ends the player as a person would, so that it cleans up; a player that
    // does not end is killed.
    ~LivePlayer()
    {
        child_->sendSignal(SIGTERM);
        child_->waitExit(60.0);
    }

    ChildProcess& process() { return *child_; }
    void stopServer() { server_.stop(); }

    // The folder the player reads its files through, from its first line.
    std::string staging() const
    {
        const std::string& out = child_->out();
        const std::string lead = "; reading through ";
        const size_t at = out.find(lead);
        return at == std::string::npos ? "" : out.substr(at + lead.size(), out.find('\n', at) - at - lead.size());
    }
    const std::string& display() const { return server_.display(); }
    bool started() const { return started_; }

    // Status lines ("0x...; scene:N") in the output, after byte `mark`.
    static size_t frameLines(const std::string& out, size_t mark = 0)
    {
        size_t count = 0;
        std::istringstream in(out.substr(std::min(mark, out.size())));
        for (std::string line; std::getline(in, line);) count += line.rfind("0x", 0) == 0 ? 1 : 0;
        return count;
    }

    // Waits for `text` on standard output after byte `mark`; returns where it
    // ends, or npos.
    size_t waitFor(const std::string& text, size_t mark, double seconds = 60.0)
    {
        size_t at = std::string::npos;
        child_->waitFor([&](const std::string& out, const std::string&) {
            at = out.find(text, std::min(mark, out.size()));
            return at != std::string::npos;
        }, seconds);
        return at == std::string::npos ? at : at + text.size();
    }

    // Waits until `frames` frames have been drawn after byte `mark`.
    bool waitFrames(size_t mark, size_t frames)
    {
        return child_->waitFor([&](const std::string& out, const std::string&) {
            return frameLines(out, mark) >= frames;
        }, 60.0);
    }

    // The rows of the status lines after byte `mark`.
    std::vector<int> rows(size_t mark) const
    {
        std::vector<int> found;
        std::istringstream in(child_->out().substr(std::min(mark, child_->out().size())));
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("0x", 0) == 0 && line.find("; scene:") != std::string::npos) {
                found.push_back(static_cast<int>(std::strtol(line.c_str() + 2, nullptr, 16)));
            }
        }
        return found;
    }

    // Presses keys, lets two frames pass (the first may have begun before
    // the keys arrived), and returns the output's length then: every frame
    // after that mark sees the keys' effect. Waits for two of them.
    size_t press(const std::vector<std::string>& keys)
    {
        if (!keys.empty()) pressKeys(server_.display(), keys);
        waitFrames(child_->out().size(), 2);
        const size_t mark = child_->out().size();
        waitFrames(mark, 2);
        return mark;
    }

    long pixel(int x, int y) const { return screenPixel(server_.display(), x, y); }

    // Whether the error colour of the overlay's text shows in the top band.
    bool showsError() const
    {
        const std::vector<long> band = screenPixels(server_.display(), 0, 0, 320, 40);
        return std::any_of(band.begin(), band.end(), [](long c) { return red(c) > 200 && green(c) < 140 && blue(c) < 140; });
    }

private:
    XServer server_;
    std::unique_ptr<ChildProcess> child_;
    bool started_ = false;
};

// A data folder whose scene 0 and final pass are the test's; everything else
// comes from the run folder.
inline void writeTestScene(const TempDir& data, const std::string& passFour, const std::string& finalPass)
{
    data.write("hall.fsh", blankPass);
    data.write("hall_b.fsh", blankPass);
    data.write("hall_c.fsh", blankPass);
    data.write("hall_d.fsh", passFour);
    data.write("AA.fsh", finalPass);
    data.write("t.tracks", "track scene\n  0 0 step\n");
}
