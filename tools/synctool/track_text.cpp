#include "track_text.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

std::string TextError::describe() const
{
    return file + ":" + std::to_string(line) + ": " + message;
}

namespace {

std::vector<std::string> splitWords(const std::string& line)
{
    std::vector<std::string> words;
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t' || line[at] == '\r')) ++at;
        if (at >= line.size() || line[at] == '#') break;
        size_t end = at;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\r' &&
               line[end] != '#')
            ++end;
        words.push_back(line.substr(at, end - at));
        at = end;
    }
    return words;
}

bool parseInteger(const std::string& word, long long low, long long high, long long& value)
{
    if (word.empty()) return false;
    const char* begin = word.c_str();
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(begin, &end, 10);
    return errno == 0 && end == begin + word.size() && value >= low && value <= high &&
           (std::isdigit(static_cast<unsigned char>(word[0])) || word[0] == '-' || word[0] == '+');
}

// The quiet NaN that "nan" stands for; any other NaN is written by its bits.
constexpr uint32_t plainNan = 0x7fc00000u;

bool parseValue(const std::string& word, float& value)
{
    if (word.empty()) return false;
    if (word.rfind("nan:", 0) == 0) {
        // nan:XXXXXXXX, the bits of a NaN with its sign and payload.
        if (word.size() != 12) return false;
        char* end = nullptr;
        const unsigned long bits = std::strtoul(word.c_str() + 4, &end, 16);
        if (*end != '\0' || !std::isxdigit(static_cast<unsigned char>(word[4]))) return false;
        const uint32_t narrow = static_cast<uint32_t>(bits);
        std::memcpy(&value, &narrow, sizeof value);
        return std::isnan(value);
    }
    const char* begin = word.c_str();
    char* end = nullptr;
    errno = 0;
    value = std::strtof(begin, &end);
    // Underflow to a subnormal or zero is fine; overflow is not a number here.
    return end == begin + word.size() && !(errno == ERANGE && std::isinf(value));
}

bool parseInterpolation(const std::string& word, int32_t& code)
{
    static const char* const names[] = {"step", "linear", "smooth", "ramp"};
    for (int i = 0; i < 4; ++i) {
        if (word == names[i]) {
            code = i;
            return true;
        }
    }
    long long value = 0;
    if (word.rfind("code:", 0) == 0 && parseInteger(word.substr(5), -128, 127, value)) {
        code = static_cast<int32_t>(value);
        return true;
    }
    return false;
}

bool validTrackName(const std::string& name)
{
    if (name.empty() || name == "." || name == "..") return false;
    for (char c : name) {
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x21 || c == 0x7f) return false;
    }
    return true;
}

std::string formatValue(float value)
{
    if (std::isnan(value)) {
        uint32_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        if (bits == plainNan) return "nan";
        char text[16];
        std::snprintf(text, sizeof text, "nan:%08x", bits);
        return text;
    }
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}

void appendInt32(std::string& out, int32_t value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((bits >> (8 * i)) & 0xff));
}

int32_t int32At(const std::string& bytes, size_t at)
{
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    int32_t value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace

bool parseTrackPosition(const std::string& word, int32_t& row, std::string& message)
{
    long long value = 0;
    if (word.find(':') == std::string::npos) {
        if (!parseInteger(word, INT32_MIN, INT32_MAX, value)) {
            message = "row '" + word + "' is not a whole number in the 32-bit range";
            return false;
        }
        row = static_cast<int32_t>(value);
        return true;
    }
    long long parts[3];
    size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        size_t colon = word.find(':', start);
        if ((i < 2) != (colon != std::string::npos)) {
            message = "position '" + word + "' is not bar:beat:row";
            return false;
        }
        const std::string part = word.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (!parseInteger(part, 0, INT32_MAX, parts[i]) || part[0] == '+') {
            message = "position '" + word + "' is not bar:beat:row";
            return false;
        }
        start = colon + 1;
    }
    if (parts[1] >= beatsPerBar || parts[2] >= rowsPerBeat) {
        message = "position '" + word + "': a bar has 4 beats (0-3) and a beat 4 rows (0-3)";
        return false;
    }
    value = parts[0] * rowsPerBar + parts[1] * rowsPerBeat + parts[2];
    if (value > INT32_MAX) {
        message = "position '" + word + "' lies beyond the last row";
        return false;
    }
    row = static_cast<int32_t>(value);
    return true;
}

bool parseTrackText(const std::string& text, const std::string& fileName, std::vector<TextTrack>& tracks,
                    TextError& error)
{
    std::vector<TextTrack> parsed;
    auto fail = [&](int line, const std::string& message) {
        error = {fileName, line, message};
        return false;
    };
    auto named = [&](const std::string& name) {
        for (const auto* list : {&tracks, &parsed}) {
            for (const TextTrack& track : *list) {
                if (track.name == name) return &track;
            }
        }
        return static_cast<const TextTrack*>(nullptr);
    };

    int lineNumber = 0;
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        ++lineNumber;
        at = end + 1;
        if (line.find('\0') != std::string::npos) return fail(lineNumber, "NUL byte in the text");

        const std::vector<std::string> words = splitWords(line);
        if (words.empty()) continue;
        if (words[0] == "track") {
            if (words.size() != 2) return fail(lineNumber, "expected 'track NAME'");
            if (!validTrackName(words[1])) {
                return fail(lineNumber, "track name '" + words[1] + "' cannot be part of a file name");
            }
            if (const TextTrack* earlier = named(words[1])) {
                return fail(lineNumber, "track '" + words[1] + "' is named twice (first on line " +
                                            std::to_string(earlier->line) + ")");
            }
            parsed.push_back({words[1], {}, lineNumber});
            continue;
        }
        if (parsed.empty()) return fail(lineNumber, "key before the first 'track NAME' line");
        if (words.size() != 3) return fail(lineNumber, "expected 'POSITION VALUE INTERPOLATION'");

        TrackKey key{};
        std::string message;
        if (!parseTrackPosition(words[0], key.row, message)) return fail(lineNumber, message);
        if (!parseValue(words[1], key.value)) {
            return fail(lineNumber, "value '" + words[1] + "' is not a number");
        }
        if (!parseInterpolation(words[2], key.interpolation)) {
            return fail(lineNumber, "unknown interpolation '" + words[2] +
                                        "' (step, linear, smooth, ramp or code:N)");
        }
        std::vector<TrackKey>& keys = parsed.back().keys;
        if (!keys.empty() && key.row <= keys.back().row) {
            return fail(lineNumber, "rows out of order: row " + std::to_string(key.row) +
                                        " does not come after row " + std::to_string(keys.back().row));
        }
        if (keys.size() >= static_cast<size_t>(INT32_MAX)) return fail(lineNumber, "too many keys");
        keys.push_back(key);
    }
    tracks.insert(tracks.end(), parsed.begin(), parsed.end());
    return true;
}

std::string formatTrackText(const std::vector<TextTrack>& tracks)
{
    static const char* const names[] = {"step", "linear", "smooth", "ramp"};
    std::string out;
    for (size_t t = 0; t < tracks.size(); ++t) {
        if (t > 0) out += "\n";
        out += "track " + tracks[t].name + "\n";
        for (const TrackKey& key : tracks[t].keys) {
            std::string position;
            if (key.row >= 0) {
                position = std::to_string(key.row / rowsPerBar) + ":" +
                           std::to_string(key.row % rowsPerBar / rowsPerBeat) + ":" +
                           std::to_string(key.row % rowsPerBeat);
            } else {
                position = std::to_string(key.row);
            }
            const std::string interpolation = key.interpolation >= 0 && key.interpolation <= 3
                                                   ? names[key.interpolation]
                                                   : "code:" + std::to_string(key.interpolation);
            char line[128];
            std::snprintf(line, sizeof line, "  %-10s %-16s %s  # row %d\n", position.c_str(),
                          formatValue(key.value).c_str(), interpolation.c_str(), key.row);
            out += line;
        }
    }
    return out;
}

std::string encodeTrackFile(const std::vector<TrackKey>& keys)
{
    std::string out;
    out.reserve(4 + 9 * keys.size());
    appendInt32(out, static_cast<int32_t>(keys.size()));
    for (const TrackKey& key : keys) {
        appendInt32(out, key.row);
        int32_t bits;
        std::memcpy(&bits, &key.value, sizeof bits);
        appendInt32(out, bits);
        out.push_back(static_cast<char>(static_cast<uint8_t>(key.interpolation & 0xff)));
    }
    return out;
}

std::vector<TrackKey> decodeTrackFile(const std::string& bytes, std::vector<TrackFileProblem>& problems)
{
    std::vector<TrackKey> keys;
    if (bytes.size() < 4) {
        if (!bytes.empty()) {
            problems.push_back({-1, "file of " + std::to_string(bytes.size()) + " bytes holds no key count"});
        }
        return keys;
    }
    const int32_t count = int32At(bytes, 0);
    if (count < 0) {
        problems.push_back({-1, "negative key count " + std::to_string(count)});
        return keys;
    }
    const size_t complete = (bytes.size() - 4) / 9;
    if (static_cast<size_t>(count) > complete) {
        problems.push_back({-1, "count " + std::to_string(count) + " beyond the file, which holds " +
                                    std::to_string(complete) + " complete keys"});
    }
    const size_t used = std::min(complete, static_cast<size_t>(count));
    for (size_t i = 0; i < used; ++i) {
        const size_t at = 4 + 9 * i;
        TrackKey key{};
        key.row = int32At(bytes, at);
        const int32_t bits = int32At(bytes, at + 4);
        std::memcpy(&key.value, &bits, sizeof key.value);
        key.interpolation = static_cast<int8_t>(static_cast<unsigned char>(bytes[at + 8]));
        const int index = static_cast<int>(i);
        if (!keys.empty() && key.row <= keys.back().row) {
            problems.push_back({index, "row " + std::to_string(key.row) + " does not come after row " +
                                           std::to_string(keys.back().row) +
                                           " (the reader drops this key and all after it)"});
        }
        if (key.interpolation < 0 || key.interpolation > 3) {
            problems.push_back({index, "invalid interpolation code " + std::to_string(key.interpolation) +
                                           " (samples as 0.0 up to the next key)"});
        }
        keys.push_back(key);
    }
    const size_t end = 4 + 9 * used;
    if (bytes.size() > end && static_cast<size_t>(count) <= complete) {
        problems.push_back({-1, std::to_string(bytes.size() - end) + " trailing bytes after the last key"});
    } else if (static_cast<size_t>(count) > complete && bytes.size() > end) {
        problems.push_back({-1, "a key cut after " + std::to_string(bytes.size() - end) + " of its 9 bytes"});
    }
    return keys;
}
