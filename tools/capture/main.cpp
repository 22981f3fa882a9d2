// orvanta-capture: renders the demo offline at a fixed frame rate, however
// long each frame takes, with the demo's own frame code, and writes H.264
// video with the music (through the ffmpeg program), PNG frames, stills or
// a contact sheet. It renders in an X server of its own of the capture's
// size, with the scene scale of the full-scale screen build unless
// --scene-scale says otherwise.
#include "subprocess.h"
#include "cleanup.h"
#include "files.h"
#include "join.h"
#include "parts.h"
#include "plan.h"
#include "usage.h"
#include "xvfb.h"

#include "app/startup.h"
#include "demo/tracks.h"
#include "render/programs.h"
#include "render/render_screen.h"
#include "render/scene_index.h"

#include <GL/glew.h>
#include <stb/stb_easy_font.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

CapturePlan plan;
std::vector<unsigned char> picture; // RGBA, bottom row first, as GL reads it

// Top row first, for image files.
std::vector<unsigned char> flipped()
{
    std::vector<unsigned char> out(picture.size());
    const size_t stride = static_cast<size_t>(plan.width) * 4;
    for (int y = 0; y < plan.height; ++y) {
        std::memcpy(&out[static_cast<size_t>(y) * stride], &picture[static_cast<size_t>(plan.height - 1 - y) * stride], stride);
    }
    return out;
}

// Draws the frame at `seconds` of music; with `keep`, pulls its picture. The
// rows a capture draws are its seconds on the music's clock, as they always
// were, so that the same rows give the same frames to the bit.
void drawAt(double seconds, bool keep)
{
    if (keep) drawFrameInto(seconds * rowRate, picture);
    else drawFrameAt(seconds * rowRate);
}

// The frames drawn before `seconds`, at most a second's worth, so that pass
// 2's history matches a capture that reached this point from the start.
long warmUpFrames(double seconds)
{
    return std::min<long>(plan.fps, static_cast<long>(std::floor(seconds * plan.fps + 1e-9)));
}

// On a terminal, a bar redrawn in place a few times a second; in a log (a
// pipe, a file), a plain line every 5%. The run-up frames come first, shown
// as "warming up" and counted in the time left; a part's lines say which
// part they are.
class Progress {
public:
    Progress(long warm, long frames, std::string label = "")
        : warm_(warm), total_(warm + frames), label_(std::move(label)), start_(std::chrono::steady_clock::now()),
          terminal_(isatty(2) != 0)
    {
    }
    void update(long done)
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

private:
    long warm_;
    long total_;
    std::string label_;
    std::chrono::steady_clock::time_point start_;
    bool terminal_;
    std::chrono::steady_clock::time_point shown_{};
    int shownPercent_ = -5;
};

// Frames of the run-up before `seconds`, each reported as done.
void warmUp(double seconds, Progress* progress = nullptr)
{
    const long frames = warmUpFrames(seconds);
    for (long k = frames; k >= 1; --k) {
        drawAt(seconds - static_cast<double>(k) / plan.fps, false);
        if (progress) progress->update(frames - k + 1);
    }
}

// ffmpeg reading raw frames on its standard input.
class Encoder {
public:
    // A whole video with the music; a part (with its tag) the video alone.
    bool start(const std::string& path, double startSeconds, long frames, const std::string& tag)
    {
        const std::string size = std::to_string(plan.width) + "x" + std::to_string(plan.height);
        const std::string tune = (fs::path(plan.dataDir) / "tune.ogg").string();
        char seconds[64], duration[64];
        std::snprintf(seconds, sizeof seconds, "%.6f", startSeconds);
        std::snprintf(duration, sizeof duration, "%.6f", static_cast<double>(frames) / plan.fps);
        std::vector<std::string> all = {
            "ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y",
            "-f", "rawvideo", "-pix_fmt", "rgba", "-s", size, "-r", std::to_string(plan.fps), "-i", "pipe:0"};
        if (tag.empty()) {
            all.insert(all.end(), {"-ss", seconds, "-t", duration, "-i", tune, "-map", "0:v", "-map", "1:a"});
            for (const std::string& option : encoderOptions(plan)) all.push_back(option);
        } else {
            for (const std::string& option : videoEncoderOptions(plan)) all.push_back(option);
            all.insert(all.end(), {"-an", "-metadata", "comment=" + tag, "-movflags", "+faststart"});
        }
        all.insert(all.end(), {"-f", "mp4", path});
        SubprocessOptions options;
        options.argv = all;
        options.input = SubprocessStream::Pipe;
        options.endSignal = SIGKILL; // a video cut short is thrown away
        return ffmpeg_.start(options);
    }
    bool write(const std::vector<unsigned char>& frame)
    {
        size_t done = 0;
        while (done < frame.size()) {
            const ssize_t n = ::write(ffmpeg_.input(), frame.data() + done, frame.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }
    bool finish()
    {
        ffmpeg_.closeInput();
        return ffmpeg_.pid() > 0 && ffmpeg_.wait() == 0;
    }

private:
    Subprocess ffmpeg_;
};

bool programOnPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "";
    for (size_t start = 0; start <= folders.size();) {
        const size_t end = std::min(folders.find(':', start), folders.size());
        const std::string candidate = folders.substr(start, end - start) + "/" + name;
        if (end > start && access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

int fail(const std::string& message, TemporaryFile* partial = nullptr)
{
    if (partial) discardTemporary(*partial);
    std::fprintf(stderr, "\norvanta-capture: %s\n", message.c_str());
    return 1;
}

// The frames this run writes, and where: the whole selection, or a part of it.
void framesToWrite(long& first, long& last, std::string& out)
{
    writtenFrames(plan, first, last);
    out = plan.out;
    if (plan.parts > 0) {
        partFrames(plan, plan.part, plan.parts, first, last);
        out = partPath(plan.out, plan.part, plan.parts);
    }
}

int captureFrames()
{
    long first = 0, last = 0;
    std::string out;
    framesToWrite(first, last, out);
    if (first > last) return fail("--frames lies beyond the capture's " + std::to_string(frameCount(plan)) + " frames");
    const long count = last - first + 1;
    Encoder encoder;
    // ffmpeg writes over a name this run created exclusively, never one
    // that could have been planted.
    TemporaryFile temporary;
    const std::string tag = plan.parts > 0 ? partTag(plan, plan.part, plan.parts, first, last) : "";
    const std::string label =
        plan.parts > 0 ? "part " + std::to_string(plan.part) + "/" + std::to_string(plan.parts) + ": " : "";
    if (plan.output == CaptureOutput::Video) {
        std::string error;
        if (!createTemporary(out, ".mp4", temporary, error)) return fail(error);
        close(temporary.fd);
        temporary.fd = -1;
        if (!encoder.start(temporary.path, frameSeconds(plan, first), count, tag)) {
            return fail("cannot start ffmpeg", &temporary);
        }
    }
    if (plan.output == CaptureOutput::Frames) {
        std::error_code error;
        fs::create_directories(plan.out, error);
    }
    const long warm = warmUpFrames(frameSeconds(plan, first));
    Progress progress(warm, count, label);
    warmUp(frameSeconds(plan, first), &progress);
    for (long i = first; i <= last; ++i) {
        drawAt(frameSeconds(plan, i), true);
        if (plan.output == CaptureOutput::Video) {
            if (!encoder.write(picture)) {
                encoder.finish();
                return fail("ffmpeg stopped taking frames", &temporary);
            }
        } else {
            char name[32];
            std::snprintf(name, sizeof name, "frame_%06ld.png", i);
            const std::vector<unsigned char> image = flipped();
            std::string error;
            if (!writePngAtomically(plan.out + name, plan.width, plan.height, image.data(), error)) {
                return fail(error);
            }
        }
        progress.update(warm + i - first + 1);
    }
    if (plan.output == CaptureOutput::Video) {
        if (!encoder.finish()) return fail("ffmpeg failed", &temporary);
        std::string error;
        if (!commitTemporary(temporary, out, error)) return fail(error);
    }
    if (plan.parts > 0) std::fprintf(stderr, "%sframes %ld-%ld in %s\n", label.c_str(), first, last, out.c_str());
    return 0;
}

int captureStills()
{
    std::error_code error;
    fs::create_directories(plan.out, error);
    Progress progress(0, static_cast<long>(plan.stills.size()));
    long done = 0;
    for (const std::string& row : plan.stills) {
        const double seconds = std::strtod(row.c_str(), nullptr) / rowRate;
        warmUp(seconds);
        drawAt(seconds, true);
        const std::vector<unsigned char> image = flipped();
        std::string error;
        if (!writePngAtomically(plan.out + "row_" + row + ".png", plan.width, plan.height, image.data(), error)) {
            return fail(error);
        }
        progress.update(++done);
    }
    return 0;
}

// Text in white on an RGBA image, with stb_easy_font's quads filled.
void label(std::vector<unsigned char>& image, int width, int x, int y, const std::string& text)
{
    static float buffer[64 * 1024];
    const int quads = stb_easy_font_print(0, 0, const_cast<char*>(text.c_str()), nullptr, buffer, sizeof buffer);
    for (int q = 0; q < quads; ++q) {
        const float* v = &buffer[q * 16]; // four vertices of x, y, z, colour
        const int x0 = x + static_cast<int>(v[0]), y0 = y + static_cast<int>(v[1]);
        const int x1 = x + static_cast<int>(v[8]), y1 = y + static_cast<int>(v[9]);
        for (int py = y0; py < y1; ++py) {
            for (int px = x0; px < x1; ++px) {
                const size_t i = (static_cast<size_t>(py) * static_cast<size_t>(width) + static_cast<size_t>(px)) * 4;
                if (i + 3 < image.size()) image[i] = image[i + 1] = image[i + 2] = image[i + 3] = 255;
            }
        }
    }
}

int captureContactSheet()
{
    const std::vector<double> rows = contactRows(plan);
    const int columns = std::min<int>(6, static_cast<int>(rows.size()));
    const int labelHeight = 14;
    const int cellWidth = plan.width, cellHeight = plan.height + labelHeight;
    const int sheetRows = static_cast<int>((rows.size() + columns - 1) / columns);
    const int sheetWidth = columns * cellWidth, sheetHeight = sheetRows * cellHeight;
    std::vector<unsigned char> sheet(static_cast<size_t>(sheetWidth) * sheetHeight * 4, 0);
    for (size_t i = 3; i < sheet.size(); i += 4) sheet[i] = 255;
    Progress progress(0, static_cast<long>(rows.size()));
    for (size_t cell = 0; cell < rows.size(); ++cell) {
        const double seconds = rows[cell] / rowRate;
        warmUp(seconds);
        drawAt(seconds, true);
        const int scene = truncateToInt(sampleTrack(DemoTrack::Scene, rows[cell]));
        const std::vector<unsigned char> image = flipped();
        const int cx = static_cast<int>(cell % columns) * cellWidth, cy = static_cast<int>(cell / columns) * cellHeight;
        for (int y = 0; y < plan.height; ++y) {
            std::memcpy(&sheet[(static_cast<size_t>(cy + y) * sheetWidth + cx) * 4],
                        &image[static_cast<size_t>(y) * plan.width * 4], static_cast<size_t>(plan.width) * 4);
        }
        char text[64];
        std::snprintf(text, sizeof text, "row %g  scene %d", rows[cell], scene);
        label(sheet, sheetWidth, cx + 3, cy + plan.height + 3, text);
        progress.update(static_cast<long>(cell + 1));
    }
    std::string error;
    if (!writePngAtomically(plan.out, sheetWidth, sheetHeight, sheet.data(), error)) return fail(error);
    return 0;
}

// Every file the capture reads from the run folder.
std::vector<std::string> inputFiles()
{
    std::vector<std::string> names = {programVertexFile, "logo.png", "tune.ogg"};
    names.insert(names.end(), std::begin(programFragmentFiles), std::end(programFragmentFiles));
    for (const char* track : demoTrackNames) names.push_back(std::string("sync_") + track + ".track");
    std::vector<std::string> paths;
    for (const std::string& name : names) paths.push_back((fs::path(plan.dataDir) / name).string());
    return paths;
}

} // namespace

int main(int argc, char** argv)
{
    std::string error;
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(captureUsage, stdout);
        return 0;
    }
    if (!parseCapturePlan(argc, argv, plan, error)) return usageError("orvanta-capture", error, captureUsage);
    if (plan.output == CaptureOutput::Video || plan.output == CaptureOutput::ContactSheet) {
        const std::string input = inputWrittenBy(plan.out, inputFiles());
        if (!input.empty()) {
            return usageError("orvanta-capture", "the output " + plan.out + " is the input " + input, captureUsage);
        }
    }
    endOnSignals();
    if (!fs::exists(fs::path(plan.dataDir) / "tune.ogg")) {
        return fail("no tune.ogg in " + plan.dataDir + ": the music is the capture's clock");
    }
    // Output paths are taken before the working directory changes.
    plan.out = fs::absolute(plan.out).string() + (plan.out.back() == '/' ? "/" : "");
    if (plan.out.size() > 1 && plan.out.substr(plan.out.size() - 2) == "//") plan.out.pop_back();
    if (plan.output == CaptureOutput::Join) return joinParts(plan);
    if (plan.parts > 0) {
        long first = 0, last = 0;
        std::string out;
        framesToWrite(first, last, out);
        const std::string input = inputWrittenBy(out, inputFiles());
        if (!input.empty()) {
            return usageError("orvanta-capture", "the output " + out + " is the input " + input, captureUsage);
        }
        if (plan.resume && partIsComplete(plan, out, first, last)) {
            std::fprintf(stderr, "part %d/%d: frames %ld-%ld in %s are complete: kept\n", plan.part, plan.parts, first,
                         last, out.c_str());
            return 0;
        }
    }

    // Through an X server of the capture's size where Xvfb is there, as
    // before; through EGL when asked, or when there is no Xvfb and no display.
    const bool egl = plan.gl == CaptureGl::Egl ||
                     (plan.gl == CaptureGl::Auto && !programOnPath("Xvfb") && !std::getenv("DISPLAY"));
    std::unique_ptr<XServer> server;
    if (!egl) {
        server = std::make_unique<XServer>(plan.width, plan.height);
        if (!server->ok()) return fail("cannot start Xvfb");
        setenv("DISPLAY", server->display().c_str(), 1);
    }
    setenv("SDL_AUDIODRIVER", "none", 1); // silent: the capture sets the position itself
    std::signal(SIGPIPE, SIG_IGN);

    // The demo's own start-up, its log kept off the capture's console. The
    // music never plays: each frame holds it at the frame's row. The command
    // line is the capture's, not the window system's.
    std::streambuf* console = std::cout.rdbuf(nullptr);
    DemoStartup startup;
    startup.window = egl ? WindowMode::Offscreen : WindowMode::Screen;
    startup.windowWidth = plan.width;
    startup.windowHeight = plan.height;
    startup.sceneScale = plan.sceneScale;
    startup.dataFolder = plan.dataDir;
    int startupArgc = 1;
    // A broken shader is reported below; nothing may wait for a key.
    if (!std::freopen("/dev/null", "r", stdin)) return fail("cannot read /dev/null");
    const bool started = startDemo(startupArgc, argv, startup, error);
    std::cout.rdbuf(console);
    if (!started) {
        cleanUpNow();
        return fail(error);
    }
    const std::vector<ProgramProblem> broken = brokenPrograms();
    for (const ProgramProblem& problem : broken) {
        std::fprintf(stderr, "orvanta-capture: %s/%s does not compile:\n%s", plan.dataDir.c_str(),
                     problem.file.c_str(), problem.log.c_str());
    }
    if (!broken.empty()) {
        cleanUpNow();
        std::fflush(stderr);
        std::_Exit(1);
    }
    console = std::cout.rdbuf(nullptr);
    picture.assign(static_cast<size_t>(plan.width) * plan.height * 4, 0);

    int status = 0;
    switch (plan.output) {
    case CaptureOutput::Video:
    case CaptureOutput::Frames: status = captureFrames(); break;
    case CaptureOutput::Stills: status = captureStills(); break;
    case CaptureOutput::ContactSheet: status = captureContactSheet(); break;
    case CaptureOutput::Join: break; // joined above, without a picture
    }
    std::cout.rdbuf(console);
    std::fflush(stderr);
    cleanUpNow(); // the server and ffmpeg, the temporary video; _Exit runs no destructors
    std::_Exit(status); // the window system's exit path is not needed
}
