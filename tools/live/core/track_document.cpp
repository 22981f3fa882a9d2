#include "track_document.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Span {
    size_t begin;
    size_t end;
};

// Where the words of a line stand, as the parser splits them (a '#' starts
// a comment).
std::vector<Span> wordSpans(const std::string& line)
{
    std::vector<Span> spans;
    size_t at = 0;
    auto blank = [&](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (at < line.size()) {
        while (at < line.size() && blank(line[at])) ++at;
        if (at >= line.size() || line[at] == '#') break;
        size_t end = at;
        while (end < line.size() && !blank(line[end]) && line[end] != '#') ++end;
        spans.push_back({at, end});
        at = end;
    }
    return spans;
}

// Replaces the words of `line` that `words` gives (empty, or the same
// word: keep). Up to the first word that changes length the line keeps its
// bytes, tabs included; the words after it keep their columns where there
// is room, and any comment after them too, so that aligned keys stay
// aligned.
std::string replaceWords(const std::string& line, const std::vector<std::string>& words)
{
    const std::vector<Span> spans = wordSpans(line);
    if (spans.empty()) return line;
    std::string out = line.substr(0, spans[0].begin);
    auto padTo = [&](size_t column) { out.append(out.size() < column ? column - out.size() : 1, ' '); };
    for (size_t i = 0; i < spans.size(); ++i) {
        if (i > 0) {
            if (out.size() == spans[i - 1].end) out += line.substr(spans[i - 1].end, spans[i].begin - spans[i - 1].end);
            else padTo(spans[i].begin);
        }
        const bool replaced = i < words.size() && !words[i].empty();
        out += replaced ? words[i] : line.substr(spans[i].begin, spans[i].end - spans[i].begin);
    }
    const std::string tail = line.substr(spans.back().end);
    if (out.size() == spans.back().end) return out + tail;
    const size_t comment = tail.find_first_not_of(" \t\r");
    if (comment == std::string::npos) return out + tail;
    padTo(spans.back().end + comment);
    return out + tail.substr(comment);
}

// A key line laid out as `model` (another key line) is.
std::string keyLineLike(const std::string& model, int32_t row, const std::string& value, const std::string& mode)
{
    const std::vector<Span> spans = wordSpans(model);
    if (spans.size() < 3) return "  " + std::to_string(row) + " " + value + " " + mode;
    const bool barBeatRow = model.substr(spans[0].begin, spans[0].end - spans[0].begin).find(':') != std::string::npos;
    std::string out = model.substr(0, spans[0].begin) + trackPositionText(row, barBeatRow);
    // Tabs between the words are kept as they are; spaces line the words up
    // with the model's columns.
    auto separate = [&](size_t word) {
        const std::string gap = model.substr(spans[word - 1].end, spans[word].begin - spans[word - 1].end);
        if (gap.find('\t') != std::string::npos) out += gap;
        else out.append(out.size() < spans[word].begin ? spans[word].begin - out.size() : 1, ' ');
    };
    separate(1);
    out += value;
    separate(2);
    out += mode;
    return out;
}

} // namespace

const char* interpolationName(int32_t code)
{
    static const char* const names[] = {"step", "linear", "smooth", "ramp"};
    return code >= 0 && code < 4 ? names[code] : "";
}

std::string trackPositionText(int32_t row, bool barBeatRow)
{
    if (!barBeatRow || row < 0) return std::to_string(row);
    return std::to_string(row / rowsPerBar) + ":" + std::to_string(row % rowsPerBar / rowsPerBeat) + ":" +
           std::to_string(row % rowsPerBeat);
}

std::string interpolationText(int32_t code)
{
    return code >= 0 && code < 4 ? interpolationName(code) : "code:" + std::to_string(code);
}

std::string shortestFloatText(float value)
{
    char text[32];
    for (int digits = 1; digits <= 9; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
        if (std::strtof(text, nullptr) == value) break;
    }
    return text;
}

namespace {

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> out;
    size_t at = 0;
    for (;;) {
        const size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            out.push_back(text.substr(at));
            return out;
        }
        out.push_back(text.substr(at, end - at));
        at = end + 1;
    }
}

} // namespace

const std::string& TrackDocument::text() const
{
    if (!joined_) {
        size_t size = lines_.size();
        for (const std::string& line : lines_) size += line.size();
        text_.clear();
        text_.reserve(size);
        for (size_t i = 0; i < lines_.size(); ++i) {
            if (i) text_ += '\n';
            text_ += lines_[i];
        }
        joined_ = true;
    }
    return text_;
}

void TrackDocument::insertLine(size_t at, const std::string& line)
{
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), line);
    for (size_t& l : trackLines_) l += l >= at ? 1 : 0;
    for (Marker& m : markers_) m.line += m.line >= at ? 1 : 0;
    for (std::vector<size_t>& keys : keyLines_) {
        for (size_t& l : keys) l += l >= at ? 1 : 0;
    }
    joined_ = false;
}

void TrackDocument::eraseLine(size_t at)
{
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(at));
    for (size_t& l : trackLines_) l -= l > at ? 1 : 0;
    for (Marker& m : markers_) m.line -= m.line > at ? 1 : 0;
    for (std::vector<size_t>& keys : keyLines_) {
        for (size_t& l : keys) l -= l > at ? 1 : 0;
    }
    joined_ = false;
}

bool TrackDocument::load(const std::string& text, const std::string& fileName, TextError& error)
{
    std::vector<TextTrack> tracks;
    if (!parseTrackText(text, fileName, tracks, error)) return false;
    // The parser has checked every line: here only where each key stands.
    std::vector<size_t> trackLines;
    std::vector<std::vector<size_t>> keyLines;
    size_t line = 0, at = 0;
    while (at <= text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string content = text.substr(at, end - at);
        const std::vector<Span> spans = wordSpans(content);
        if (spans.size() == 2 && content.compare(spans[0].begin, 5, "track") == 0 && spans[0].end - spans[0].begin == 5) {
            trackLines.push_back(line);
            keyLines.emplace_back();
        } else if (spans.size() == 3 && !keyLines.empty()) {
            keyLines.back().push_back(line);
        }
        ++line;
        at = end + 1;
    }
    const std::vector<std::string> split = splitLines(text);
    lines_ = split;
    markers_ = findMarkers(split);
    // New lines end as the text's first line does.
    const size_t firstEnd = text.find('\n');
    crlf_ = firstEnd != std::string::npos && firstEnd > 0 && text[firstEnd - 1] == '\r';
    text_ = text;
    joined_ = true;
    fileName_ = fileName;
    tracks_ = std::move(tracks);
    trackLines_ = std::move(trackLines);
    keyLines_ = std::move(keyLines);
    return true;
}

const TextTrack* TrackDocument::find(const std::string& name) const
{
    for (const TextTrack& track : tracks_) {
        if (track.name == name) return &track;
    }
    return nullptr;
}

bool TrackDocument::rebuild(const std::vector<std::string>& lines, std::string& message)
{
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) text += (i ? "\n" : "") + lines[i];
    TextError error;
    if (!load(text, fileName_, error)) {
        message = error.describe();
        return false;
    }
    return true;
}

std::string TrackDocument::styleLine() const
{
    for (size_t t = tracks_.size(); t-- > 0;) {
        if (!keyLines_[t].empty()) return lines_[keyLines_[t].back()];
    }
    return "";
}

// A key line after `model`, else in the text's style, else plain.
std::string TrackDocument::newKeyLine(const std::string& model, int32_t row, const std::string& value,
                                      const std::string& mode) const
{
    std::string like = model.empty() ? styleLine() : model;
    if (!like.empty() && like.back() == '\r') like.pop_back();
    if (like.empty()) return "  " + std::to_string(row) + " " + value + " " + mode;
    return keyLineLike(like, row, value, mode);
}

bool TrackDocument::checkRow(int32_t row, std::string& message) const
{
    if (row >= 0 && row <= lastRow) return true;
    message = "row " + std::to_string(row) + " is outside the music (0 to " + std::to_string(lastRow) + ")";
    return false;
}

bool TrackDocument::setKey(const std::string& name, int32_t row, float value, int32_t interpolation,
                           std::string& message, const std::string& typed)
{
    if (!checkRow(row, message)) return false;
    if (!std::isfinite(value)) {
        message = "a key's value is a finite number";
        return false;
    }
    if (interpolation < -1 || interpolation > 3) {
        message = "the interpolation is step, linear, smooth or ramp";
        return false;
    }
    // The value as the maker typed it, where it reads back as exactly this
    // value and is one word of the text.
    float typedValue = 0;
    char* end = nullptr;
    const bool asTyped = !typed.empty() && typed.size() <= 32 && typed.find_first_of(" \t\r\n#") == std::string::npos &&
                         (typedValue = std::strtof(typed.c_str(), &end), *end == '\0') &&
                         std::memcmp(&typedValue, &value, sizeof value) == 0;
    const std::string valueText = asTyped ? typed : shortestFloatText(value);
    const std::string newline = crlf_ ? "\r" : "";
    const TextTrack* track = find(name);
    if (!track) {
        std::vector<std::string> lines = lines_;
        // A track of its own at the end, after a blank line, ending the
        // text with a newline.
        if (!lines.empty() && lines.back().empty()) lines.pop_back();
        if (!lines.empty() && !lines.back().empty() && lines.back() != "\r") lines.push_back(newline);
        lines.push_back("track " + name + newline);
        lines.push_back(newKeyLine("", row, valueText, interpolationName(interpolation < 0 ? 1 : interpolation)) + newline);
        lines.emplace_back();
        return rebuild(lines, message);
    }
    const size_t t = static_cast<size_t>(track - tracks_.data());
    const std::vector<TrackKey>& keys = track->keys;
    const auto after = std::lower_bound(keys.begin(), keys.end(), row,
                                        [](const TrackKey& key, int32_t r) { return key.row < r; });
    const size_t index = static_cast<size_t>(after - keys.begin());
    if (after != keys.end() && after->row == row) {
        // The same value and interpolation: nothing to write.
        if (std::memcmp(&after->value, &value, sizeof value) == 0 &&
            (interpolation < 0 || interpolation == after->interpolation)) {
            return true;
        }
        const std::string mode = interpolation < 0 ? "" : interpolationName(interpolation);
        std::string& line = lines_[keyLines_[t][index]];
        line = replaceWords(line, {"", valueText, mode});
        tracks_[t].keys[index].value = value;
        if (interpolation >= 0) tracks_[t].keys[index].interpolation = interpolation;
        joined_ = false;
        return true;
    }
    // The key it follows sets its style; the first key follows the one after.
    const bool hasBefore = index > 0;
    const size_t model = hasBefore ? keyLines_[t][index - 1] : (index < keys.size() ? keyLines_[t][index] : 0);
    const int32_t mode = interpolation >= 0 ? interpolation
                         : hasBefore        ? keys[index - 1].interpolation
                         : index < keys.size() ? keys[index].interpolation
                                               : 1;
    const std::string line =
        newKeyLine(keys.empty() ? "" : lines_[model], row, valueText, interpolationText(mode)) +
        newline;
    const size_t insertAt = hasBefore ? keyLines_[t][index - 1] + 1
                            : keys.empty() ? trackLines_[t] + 1
                                           : keyLines_[t][0];
    insertLine(insertAt, line);
    tracks_[t].keys.insert(tracks_[t].keys.begin() + static_cast<std::ptrdiff_t>(index), TrackKey{row, value, mode});
    keyLines_[t].insert(keyLines_[t].begin() + static_cast<std::ptrdiff_t>(index), insertAt);
    return true;
}

bool TrackDocument::removeKey(const std::string& name, int32_t row, std::string& message)
{
    const TextTrack* track = find(name);
    const size_t t = track ? static_cast<size_t>(track - tracks_.data()) : 0;
    for (size_t k = 0; track && k < track->keys.size(); ++k) {
        if (track->keys[k].row != row) continue;
        const size_t line = keyLines_[t][k];
        tracks_[t].keys.erase(tracks_[t].keys.begin() + static_cast<std::ptrdiff_t>(k));
        keyLines_[t].erase(keyLines_[t].begin() + static_cast<std::ptrdiff_t>(k));
        eraseLine(line);
        return true;
    }
    message = track ? name + " has no key at row " + std::to_string(row) : "no track '" + name + "' in the text";
    return false;
}

bool TrackDocument::setInterpolation(const std::string& name, int32_t row, int32_t interpolation, std::string& message)
{
    if (interpolation < 0 || interpolation > 3) {
        message = "the interpolation is step, linear, smooth or ramp";
        return false;
    }
    const TextTrack* track = find(name);
    const size_t t = track ? static_cast<size_t>(track - tracks_.data()) : 0;
    for (size_t k = 0; track && k < track->keys.size(); ++k) {
        if (track->keys[k].row != row) continue;
        if (track->keys[k].interpolation == interpolation) return true;
        std::string& line = lines_[keyLines_[t][k]];
        line = replaceWords(line, {"", "", interpolationName(interpolation)});
        tracks_[t].keys[k].interpolation = interpolation;
        joined_ = false;
        return true;
    }
    message = track ? name + " has no key at row " + std::to_string(row) : "no track '" + name + "' in the text";
    return false;
}

bool TrackDocument::moveKey(const std::string& name, int32_t from, int32_t to, std::string& message)
{
    if (!checkRow(to, message)) return false;
    const TextTrack* track = find(name);
    if (!track) {
        message = "no track '" + name + "' in the text";
        return false;
    }
    const size_t t = static_cast<size_t>(track - tracks_.data());
    const std::vector<TrackKey>& keys = track->keys;
    const auto key = std::find_if(keys.begin(), keys.end(), [&](const TrackKey& k) { return k.row == from; });
    if (key == keys.end()) {
        message = name + " has no key at row " + std::to_string(from);
        return false;
    }
    const size_t k = static_cast<size_t>(key - keys.begin());
    // Past a neighbour it would swap order: the text keeps rows increasing.
    if ((k > 0 && keys[k - 1].row >= to) || (k + 1 < keys.size() && keys[k + 1].row <= to)) {
        message = name + ": row " + std::to_string(to) + " is past the next key; move it there or delete one";
        return false;
    }
    std::string& line = lines_[keyLines_[t][k]];
    const std::vector<Span> spans = wordSpans(line);
    const bool barBeatRow = line.substr(spans[0].begin, spans[0].end - spans[0].begin).find(':') != std::string::npos;
    line = replaceWords(line, {trackPositionText(to, barBeatRow)});
    tracks_[t].keys[k].row = to;
    joined_ = false;
    return true;
}

bool TrackDocument::rewriteTrack(const std::string& name, const std::vector<TrackKey>& keys,
                                 const std::vector<int>& origin, std::string& message, bool pastEnd)
{
    const TextTrack* track = find(name);
    if (!track) {
        message = "no track '" + name + "' in the text";
        return false;
    }
    for (size_t i = 0; i < keys.size(); ++i) {
        // A key the text has past the end of the music may stay there.
        const bool kept = origin[i] >= 0 && track->keys[static_cast<size_t>(origin[i])].row == keys[i].row;
        if (!kept && !(pastEnd && keys[i].row > lastRow) && !checkRow(keys[i].row, message)) return false;
        if (i > 0 && keys[i].row <= keys[i - 1].row) {
            message = name + ": two keys on row " + std::to_string(keys[i].row);
            return false;
        }
    }
    const size_t t = static_cast<size_t>(track - tracks_.data());
    const std::vector<TrackKey>& old = track->keys;
    const std::vector<std::string>& lines = lines_;
    // Which new key each old key line becomes, if any.
    std::vector<int> becomes(old.size(), -1);
    for (size_t i = 0; i < keys.size(); ++i) {
        if (origin[i] >= 0) becomes[static_cast<size_t>(origin[i])] = static_cast<int>(i);
    }
    std::vector<std::string> out;
    size_t next = 0; // the next new key to write
    std::string model = old.empty() ? std::string() : lines[keyLines_[t][0]];
    auto writeNew = [&](size_t upTo) {
        for (; next < upTo; ++next) {
            const TrackKey& key = keys[next];
            const std::string value = shortestFloatText(key.value), mode = interpolationText(key.interpolation);
            out.push_back(newKeyLine(model, key.row, value, mode) + (crlf_ ? "\r" : ""));
            model = out.back();
        }
    };
    size_t k = 0; // the next old key line
    for (size_t line = 0; line < lines.size(); ++line) {
        if (k < old.size() && line == keyLines_[t][k]) {
            const int into = becomes[k++];
            if (into < 0) {
                if (k == old.size()) writeNew(keys.size());
                continue;
            }
            writeNew(static_cast<size_t>(into));
            const TrackKey& was = old[static_cast<size_t>(origin[static_cast<size_t>(into)])];
            const TrackKey& key = keys[static_cast<size_t>(into)];
            const std::vector<Span> spans = wordSpans(lines[line]);
            const bool barBeatRow =
                lines[line].substr(spans[0].begin, spans[0].end - spans[0].begin).find(':') != std::string::npos;
            const bool sameValue = std::memcmp(&was.value, &key.value, sizeof key.value) == 0;
            out.push_back(replaceWords(lines[line], {key.row == was.row ? "" : trackPositionText(key.row, barBeatRow),
                                                     sameValue ? "" : shortestFloatText(key.value),
                                                     key.interpolation == was.interpolation
                                                         ? ""
                                                         : interpolationText(key.interpolation)}));
            model = out.back();
            next = static_cast<size_t>(into) + 1;
            if (k == old.size()) writeNew(keys.size());
            continue;
        }
        out.push_back(lines[line]);
        // A track without keys, or whose key lines all went: after its header
        // (or where its last key stood).
        if (line == trackLines_[t] && old.empty()) writeNew(keys.size());
    }
    writeNew(keys.size());
    return rebuild(out, message);
}
