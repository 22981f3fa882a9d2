#include "parts.h"

#include "demo/timeline.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

long keyframeInterval(const CapturePlan& plan)
{
    return 2L * plan.fps;
}

bool partFrames(const CapturePlan& plan, int part, int parts, long& first, long& last)
{
    long from = 0, to = 0;
    writtenFrames(plan, from, to);
    const long interval = keyframeInterval(plan);
    const long spans = to < from ? 0 : (to - from) / interval + 1;
    if (parts < 1 || part < 1 || part > parts || spans < parts) return false;
    first = from + spans * (part - 1) / parts * interval;
    last = std::min(to, from + spans * part / parts * interval - 1);
    return true;
}

std::string partPath(const std::string& out, int part, int parts)
{
    const std::string suffix = ".mp4";
    const bool mp4 = out.size() > suffix.size() && out.compare(out.size() - suffix.size(), suffix.size(), suffix) == 0;
    const std::string base = mp4 ? out.substr(0, out.size() - suffix.size()) : out;
    const int width = static_cast<int>(std::to_string(parts).size());
    char name[64];
    std::snprintf(name, sizeof name, ".part%0*dof%d.mp4", width, part, parts);
    return base + name;
}

namespace {

// The settings that every part of one render shares, as key=value words.
std::string jobText(const CapturePlan& plan)
{
    long first = 0, last = 0;
    writtenFrames(plan, first, last);
    char text[512];
    std::snprintf(text, sizeof text,
                  "fps=%d size=%dx%d from-row=%.17g frames-of-all=%ld-%ld scene-scale=%.9g crf=%d bitrate=%s "
                  "x264=%s compo=%d level=%s audio=%s",
                  plan.fps, plan.width, plan.height, plan.fromRow, first, last, static_cast<double>(plan.sceneScale),
                  plan.crf, plan.bitrate.empty() ? "-" : plan.bitrate.c_str(), plan.x264Preset.c_str(),
                  plan.compo ? 1 : 0, plan.level.c_str(), plan.audioBitrate.c_str());
    return text;
}

} // namespace

std::string partTag(const CapturePlan& plan, int part, int parts, long first, long last)
{
    return "orvanta-capture part=" + std::to_string(part) + "/" + std::to_string(parts) + " frames=" +
           std::to_string(first) + "-" + std::to_string(last) + "; " + jobText(plan);
}

bool parsePartTag(const std::string& text, PartTag& tag)
{
    const std::string head = "orvanta-capture ";
    const size_t split = text.find("; ");
    if (text.rfind(head, 0) != 0 || split == std::string::npos || text.size() > 1024) return false;
    std::vector<std::pair<std::string, std::string>> fields;
    for (size_t at = head.size(); at < text.size();) {
        size_t end = text.find(' ', at);
        if (end == std::string::npos) end = text.size();
        std::string word = text.substr(at, end - at);
        if (!word.empty() && word.back() == ';') word.pop_back();
        const size_t equals = word.find('=');
        if (equals == std::string::npos) return false;
        fields.emplace_back(word.substr(0, equals), word.substr(equals + 1));
        at = end + 1;
    }
    const char* const keys[] = {"part", "frames", "fps", "size", "from-row", "frames-of-all", "scene-scale",
                                "crf", "bitrate", "x264", "compo", "level", "audio"};
    if (fields.size() != std::size(keys)) return false;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].first != keys[i]) return false;
    }
    auto pair = [](const std::string& value, char separator, long low, long high, long& a, long& b) {
        const size_t at = value.find(separator);
        return at != std::string::npos && readInteger(value.substr(0, at), low, high, a) &&
               readInteger(value.substr(at + 1), low, high, b);
    };
    long part = 0, parts = 0, fps = 0, width = 0, height = 0;
    CapturePlan& plan = tag.plan;
    plan = CapturePlan();
    double scale = 0;
    if (!pair(fields[0].second, '/', 1, maxCaptureParts, part, parts) || part > parts ||
        !pair(fields[1].second, '-', 0, 100000000, tag.first, tag.last) || tag.last < tag.first ||
        !readInteger(fields[2].second, 1, 240, fps) || !pair(fields[3].second, 'x', 16, 8192, width, height) ||
        !readNumber(fields[4].second, plan.fromRow) || plan.fromRow < 0 || plan.fromRow > endRow ||
        !pair(fields[5].second, '-', 0, 100000000, plan.firstFrame, plan.lastFrame) ||
        plan.lastFrame < plan.firstFrame || !readNumber(fields[6].second, scale)) {
        return false;
    }
    plan.fps = static_cast<int>(fps);
    plan.width = static_cast<int>(width);
    plan.height = static_cast<int>(height);
    plan.sceneScale = static_cast<float>(scale);
    long crf = 0, compo = 0;
    if (!readInteger(fields[7].second, 0, 51, crf) || (fields[8].second != "-" && !readRate(fields[8].second, 100e3, 1000e6)) ||
        !readInteger(fields[10].second, 0, 1, compo) || !readRate(fields[12].second, 32e3, 512e3)) {
        return false;
    }
    plan.crf = static_cast<int>(crf);
    plan.bitrate = fields[8].second == "-" ? "" : fields[8].second;
    plan.x264Preset = fields[9].second;
    plan.compo = compo == 1;
    plan.level = fields[11].second;
    plan.audioBitrate = fields[12].second;
    plan.toRowGiven = true;
    plan.toRow = endRow;
    tag.part = static_cast<int>(part);
    tag.parts = static_cast<int>(parts);
    tag.text = text;
    tag.job = text.substr(split + 2);
    return tag.first >= plan.firstFrame && tag.last <= plan.lastFrame;
}
