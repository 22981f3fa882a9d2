#include "parts.h"

#include "options.h"
#include "schedule.h"

#include "demo/timeline.h"

#include <algorithm>
#include <functional>
#include <cstdio>
#include <iterator>

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

// The settings every part of one render shares, as key=value words, in the
// order the tag writes them: the options the parts carry, written and read
// back as the options' table does, and what follows from them.
struct JobField {
    std::string key;
    std::function<std::string(const CapturePlan&)> write;
    std::function<bool(const std::string&, CapturePlan&)> read;
};

bool readPair(const std::string& value, char separator, long low, long high, long& a, long& b)
{
    const size_t at = value.find(separator);
    return at != std::string::npos && readInteger(value.substr(0, at), low, high, a) &&
           readInteger(value.substr(at + 1), low, high, b);
}

const std::vector<JobField>& jobFields()
{
    static const std::vector<JobField> fields = [] {
        std::vector<JobField> out;
        auto carried = [&](const char* key) {
            for (const CaptureOption& option : captureOptions()) {
                if (!option.tagKey || key != std::string(option.tagKey)) continue;
                // "-": the option was not given.
                out.push_back({key, option.tagValue, [&option](const std::string& value, CapturePlan& plan) {
                                   std::string error;
                                   return value == "-" || option.read({value}, plan, error);
                               }});
            }
        };
        carried("fps");
        carried("size");
        carried("from-row");
        out.push_back({"frames-of-all",
                       [](const CapturePlan& plan) {
                           long first = 0, last = 0;
                           writtenFrames(plan, first, last);
                           return std::to_string(first) + "-" + std::to_string(last);
                       },
                       [](const std::string& value, CapturePlan& plan) {
                           return readPair(value, '-', 0, 100000000, plan.firstFrame, plan.lastFrame) &&
                                  plan.lastFrame >= plan.firstFrame;
                       }});
        carried("scene-scale");
        carried("crf");
        carried("bitrate");
        carried("x264");
        out.push_back({"compo", [](const CapturePlan& plan) { return std::string(plan.compo ? "1" : "0"); },
                       [](const std::string& value, CapturePlan& plan) {
                           plan.compo = value == "1";
                           return value == "0" || value == "1";
                       }});
        out.push_back({"level", [](const CapturePlan& plan) { return plan.level; },
                       [](const std::string& value, CapturePlan& plan) {
                           plan.level = value;
                           return !value.empty() && value.size() <= 8 &&
                                  value.find_first_not_of("0123456789.") == std::string::npos;
                       }});
        carried("audio");
        // What the frames show: hashes of the demo's files.
        for (size_t k = 0; k < std::size(demoStateKeys); ++k) {
            std::string DemoState::* const field = demoStateFields[k];
            out.push_back({demoStateKeys[k], [field](const CapturePlan& plan) { return plan.shown.*field; },
                           [field](const std::string& value, CapturePlan& plan) {
                               plan.shown.*field = value;
                               return value.size() == 16 && value.find_first_not_of("0123456789abcdef") == std::string::npos;
                           }});
        }
        // An option the parts carry that the order above has not placed yet
        // goes last rather than being left out.
        for (const CaptureOption& option : captureOptions()) {
            if (!option.tagKey) continue;
            const bool placed = std::any_of(out.begin(), out.end(), [&](const JobField& field) { return field.key == option.tagKey; });
            if (!placed) carried(option.tagKey);
        }
        return out;
    }();
    return fields;
}

std::string jobText(const CapturePlan& plan)
{
    std::string text;
    for (const JobField& field : jobFields()) text += (text.empty() ? "" : " ") + field.key + "=" + field.write(plan);
    return text;
}

} // namespace

std::string partTag(const CapturePlan& plan, int part, int parts, long first, long last)
{
    return "orvanta-capture part=" + std::to_string(part) + "/" + std::to_string(parts) + " frames=" +
           std::to_string(first) + "-" + std::to_string(last) + "; " + jobText(plan);
}

std::string partDifference(const PartTag& a, const PartTag& b)
{
    std::string shown;
    for (size_t k = 0; k < std::size(demoStateKeys); ++k) {
        if (a.plan.shown.*demoStateFields[k] != b.plan.shown.*demoStateFields[k]) {
            shown += std::string(shown.empty() ? "" : ", ") + demoStateKeys[k];
        }
    }
    if (!shown.empty()) return "another state of the demo (its " + shown + " differ)";
    return a.job == b.job ? "" : "another render's settings";
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
    const std::vector<JobField>& job = jobFields();
    if (fields.size() != 2 + job.size() || fields[0].first != "part" || fields[1].first != "frames") return false;
    long part = 0, parts = 0;
    if (!readPair(fields[0].second, '/', 1, maxCaptureParts, part, parts) || part > parts ||
        !readPair(fields[1].second, '-', 0, 100000000, tag.first, tag.last) || tag.last < tag.first) {
        return false;
    }
    CapturePlan& plan = tag.plan;
    plan = CapturePlan();
    for (size_t i = 0; i < job.size(); ++i) {
        if (fields[2 + i].first != job[i].key || !job[i].read(fields[2 + i].second, plan)) return false;
    }
    plan.toRowGiven = true;
    plan.toRow = plan.endRow;
    tag.part = static_cast<int>(part);
    tag.parts = static_cast<int>(parts);
    tag.text = text;
    tag.job = text.substr(split + 2);
    return tag.first >= plan.firstFrame && tag.last <= plan.lastFrame;
}
