#include "support/demo_process.h"

#include "vorbis_writer.h"
#include "support/temp_dir.h"

#include <cstdlib>
#include <sstream>

namespace {

// The program table as the demo builds it: the final pass, then for each
// scene its own scene and feedback passes and the shared blur and grade.
std::vector<std::string> tableFragmentFiles()
{
    std::vector<std::string> files = {"AA.fsh"};
    for (const char* scene : {"hall", "whirligig", "ball_scene", "flyby", "tunnel", "ribbon"}) {
        files.insert(files.end(), {std::string(scene) + ".fsh", std::string(scene) + "_b.fsh", "hall_c.fsh", "hall_d.fsh"});
    }
    return files;
}

std::string banner(const std::string& file)
{
    return "---------------------\nOpening shader file: " + file + "\n---------------------\n\n\n\n\n";
}

bool parseHex(const std::string& text, int32_t& value)
{
    if (text.empty() || text.size() > 8) return false;
    char* end = nullptr;
    const unsigned long bits = std::strtoul(text.c_str(), &end, 16);
    if (*end != '\0') return false;
    value = static_cast<int32_t>(static_cast<uint32_t>(bits));
    return true;
}

} // namespace

std::string expectedStartupTranscript()
{
    const std::string compiled = "\n COMPILATION SUCCESSFULL \n";
    std::string text = "----------------\n";
    for (const std::string& fragment : tableFragmentFiles()) {
        text += banner("test.vsh") + compiled + banner(fragment) + compiled;
    }
    for (int mesh = 0; mesh < 5; ++mesh) {
        text += "\n[\n Vertex Array Object: " + std::to_string(mesh) +
                "\n Number of vertices: 4\n Number of indices: 6\n Number of texture coordinates: 4\n]\n";
    }
    return text;
}

std::unique_ptr<ChildProcess> startDemo(const RunFolder& folder, const XServer& server, const DemoOptions& demo)
{
    ChildOptions options;
    options.argv = {binary(demo.executable)};
    if (demo.lineBuffered) {
        options.argv.insert(options.argv.begin(), {"stdbuf", "-oL"});
    }
    options.workingDirectory = folder.path();
    options.environment = glChildEnvironment(demo.preload);
    options.environment.emplace_back("DISPLAY", server.display());
    for (const auto& variable : demo.environment) options.environment.push_back(variable);
    options.input = demo.input;
    return std::make_unique<ChildProcess>(options);
}

StatusLines statusLines(const std::string& out)
{
    StatusLines lines;
    const std::string startup = expectedStartupTranscript();
    std::istringstream stream(out.compare(0, startup.size(), startup) == 0 ? out.substr(startup.size()) : out);
    std::string line;
    while (std::getline(stream, line)) {
        if (line == "FORWARDS") {
            ++lines.forwards;
            continue;
        }
        if (line == "BACKWARDS") {
            ++lines.backwards;
            continue;
        }
        const size_t split = line.find("; scene:");
        int32_t row = 0, scene = 0;
        if (line.compare(0, 2, "0x") != 0 || split == std::string::npos ||
            !parseHex(line.substr(2, split - 2), row) || !parseHex(line.substr(split + 8), scene)) {
            // A line still being written at the end of the output is not an error.
            if (!stream.eof()) lines.clean = false;
            continue;
        }
        lines.rows.push_back(row);
        lines.scenes.push_back(scene);
    }
    return lines;
}

StatusLines statusLinesSince(const std::string& out, size_t mark)
{
    const size_t start = mark == 0 ? 0 : out.find('\n', mark - 1);
    if (start == std::string::npos) return {};
    return statusLines(out.substr(mark == 0 ? 0 : start + 1));
}

void pressKeys(const std::string& display, const std::vector<std::string>& keys, int delayMs)
{
    ChildOptions options;
    options.argv = {"xdotool", "key", "--delay", std::to_string(delayMs)};
    options.argv.insert(options.argv.end(), keys.begin(), keys.end());
    options.environment = {{"DISPLAY", display}};
    ChildProcess xdotool(options);
    xdotool.waitExit(30.0);
}

void dragMouse(const std::string& display, unsigned long window, const std::vector<std::pair<int, int>>& points)
{
    ChildOptions options;
    options.argv = {"xdotool"};
    for (size_t i = 0; i < points.size(); ++i) {
        options.argv.insert(options.argv.end(), {"mousemove", "--window", std::to_string(window), "--sync",
                                                 std::to_string(points[i].first),
                                                 std::to_string(points[i].second), "sleep", "0.1"});
        if (i == 0) options.argv.insert(options.argv.end(), {"mousedown", "1", "sleep", "0.1"});
    }
    options.argv.insert(options.argv.end(), {"mouseup", "1"});
    options.environment = {{"DISPLAY", display}};
    ChildProcess xdotool(options);
    xdotool.waitExit(30.0);
}

const std::string& silentTune()
{
    static TempDir dir;
    static const std::string path = [] {
        const std::string file = dir.file("tune.ogg");
        if (!writeSilentOgg(file, 44100, 2, 142.0)) std::abort();
        return file;
    }();
    return path;
}
