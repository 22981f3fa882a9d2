// The track document's markers: named rows kept as comment lines
// ("#mark NAME POS"), found when a text loads, set and taken away as edits.
#include "track_document.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace {

bool validMarkerName(const std::string& name)
{
    // A name starts with a letter, so that none reads as a position.
    if (name.empty() || name.size() > 64 || !std::isalpha(static_cast<unsigned char>(name[0]))) return false;
    for (char c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-' && c != '.') return false;
    }
    return true;
}

} // namespace

std::vector<TrackDocument::Marker> TrackDocument::findMarkers(const std::vector<std::string>& lines)
{
    std::vector<Marker> markers;
    for (size_t l = 0; l < lines.size(); ++l) {
        if (lines[l].rfind("#mark ", 0) != 0) continue;
        std::istringstream words(lines[l].substr(6));
        std::string name, position, extra;
        int32_t row = 0;
        std::string ignored;
        if (!(words >> name >> position) || (words >> extra) || !validMarkerName(name) ||
            !parseTrackPosition(position, row, ignored)) {
            continue;
        }
        const bool named = std::any_of(markers.begin(), markers.end(), [&](const Marker& m) { return m.name == name; });
        if (!named) markers.push_back({name, row, l});
    }
    return markers;
}

const int32_t* TrackDocument::marker(const std::string& name) const
{
    for (const Marker& m : markers_) {
        if (m.name == name) return &m.row;
    }
    return nullptr;
}

bool TrackDocument::setMarker(const std::string& name, int32_t row, std::string& message)
{
    if (!validMarkerName(name)) {
        message = "a marker's name is a letter, then up to 63 letters, digits, '_', '-' or '.'";
        return false;
    }
    if (!checkRow(row, message)) return false;
    const std::string line = "#mark " + name + " " + trackPositionText(row, true) + (crlf_ ? "\r" : "");
    std::vector<std::string> lines = lines_;
    const auto existing = std::find_if(markers_.begin(), markers_.end(), [&](const Marker& m) { return m.name == name; });
    if (existing != markers_.end()) {
        if (existing->row == row) return true;
        lines[existing->line] = line;
    } else {
        // At the end, before the text's last newline.
        const bool endsInNewline = !lines.empty() && lines.back().empty();
        if (endsInNewline) lines.pop_back();
        lines.push_back(line);
        lines.emplace_back();
    }
    return rebuild(lines, message);
}

bool TrackDocument::removeMarker(const std::string& name, std::string& message)
{
    const auto existing = std::find_if(markers_.begin(), markers_.end(), [&](const Marker& m) { return m.name == name; });
    if (existing == markers_.end()) {
        message = "no marker named '" + name.substr(0, 64) + "'";
        return false;
    }
    std::vector<std::string> lines = lines_;
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(existing->line));
    return rebuild(lines, message);
}
