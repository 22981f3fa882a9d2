#include "score.h"

#include <cerrno>
#include <cstdio>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace {

struct Line {
    int number;
    std::vector<std::string> words;
};

// A comment starts at a '#' that begins a word: "F#3" is a note.
std::vector<std::string> split(const std::string& text)
{
    std::vector<std::string> words;
    size_t comment = 0;
    while ((comment = text.find('#', comment)) != std::string::npos &&
           !(comment == 0 || std::isspace(static_cast<unsigned char>(text[comment - 1])))) {
        ++comment;
    }
    std::istringstream in(text.substr(0, comment));
    std::string word;
    while (in >> word) words.push_back(word);
    return words;
}

class Parser {
public:
    Parser(const std::string& file, Song& song, ScoreError& error) : file_(file), song_(song), error_(error) {}

    bool fail(int line, const std::string& message)
    {
        error_ = {file_, line, message};
        return false;
    }

    bool number(const Line& line, const std::string& word, double low, double high, double& value)
    {
        char* end = nullptr;
        errno = 0;
        const double parsed = std::strtod(word.c_str(), &end);
        if (word.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(parsed)) {
            return fail(line.number, "'" + word + "' is not a number");
        }
        if (parsed < low || parsed > high) {
            std::ostringstream range;
            range << "'" << word << "' is outside " << low << " to " << high;
            return fail(line.number, range.str());
        }
        value = parsed;
        return true;
    }

    bool integer(const Line& line, const std::string& word, int low, int high, int& value)
    {
        double parsed = 0;
        if (!number(line, word, low, high, parsed)) return false;
        if (parsed != std::floor(parsed)) return fail(line.number, "'" + word + "' is not a whole number");
        value = static_cast<int>(parsed);
        return true;
    }

    // "key value key value ..." from word `first` on; each key must be known.
    bool pairs(const Line& line, size_t first, const std::map<std::string, std::pair<double, double>>& known,
               std::map<std::string, double>& values)
    {
        if ((line.words.size() - first) % 2 != 0) {
            return fail(line.number, "expected 'name value' pairs after '" + line.words[0] + "'");
        }
        for (size_t i = first; i < line.words.size(); i += 2) {
            auto found = known.find(line.words[i]);
            if (found == known.end()) {
                return fail(line.number, "unknown parameter '" + line.words[i] + "' for '" + line.words[0] + "'");
            }
            double value = 0;
            if (!number(line, line.words[i + 1], found->second.first, found->second.second, value)) return false;
            values[line.words[i]] = value;
        }
        return true;
    }

    bool envelope(const Line& line, size_t first, Envelope& env)
    {
        std::map<std::string, double> v;
        if (!pairs(line, first, {{"attack", {0, 30}}, {"decay", {0, 30}}, {"sustain", {0, 1}}, {"release", {0, 30}}}, v))
            return false;
        if (v.count("attack")) env.attack = v["attack"];
        if (v.count("decay")) env.decay = v["decay"];
        if (v.count("sustain")) env.sustain = v["sustain"];
        if (v.count("release")) env.release = v["release"];
        return true;
    }

    int instrumentIndex(const std::string& name) const
    {
        for (size_t i = 0; i < song_.instruments.size(); ++i) {
            if (song_.instruments[i].name == name) return static_cast<int>(i);
        }
        return -1;
    }

    int patternIndex(const std::string& name) const
    {
        for (size_t i = 0; i < song_.patterns.size(); ++i) {
            if (song_.patterns[i].name == name) return static_cast<int>(i);
        }
        return -1;
    }

    bool songLine(const Line& line)
    {
        const std::string& key = line.words[0];
        if (key == "delay") {
            std::map<std::string, double> v;
            if (!pairs(line, 1, {{"rows", {0.25, 64}}, {"feedback", {0, 0.95}}, {"damp", {0, 1}}}, v)) return false;
            if (v.count("rows")) song_.delay.rows = v["rows"];
            if (v.count("feedback")) song_.delay.feedback = v["feedback"];
            if (v.count("damp")) song_.delay.damp = v["damp"];
            return true;
        }
        if (key == "reverb") {
            std::map<std::string, double> v;
            if (!pairs(line, 1, {{"size", {0, 1}}, {"damp", {0, 1}}, {"width", {0, 1}}}, v)) return false;
            if (v.count("size")) song_.reverb.size = v["size"];
            if (v.count("damp")) song_.reverb.damp = v["damp"];
            if (v.count("width")) song_.reverb.width = v["width"];
            return true;
        }
        if (key == "sidechain") {
            std::map<std::string, double> v;
            if (!pairs(line, 1, {{"attack", {0.0005, 0.1}}, {"release", {0.01, 2}}}, v)) return false;
            if (v.count("attack")) song_.sidechain.attack = v["attack"];
            if (v.count("release")) song_.sidechain.release = v["release"];
            return true;
        }
        if (key == "eq") return eqLine(line);
        if (key == "compressor") {
            std::map<std::string, double> v;
            if (!pairs(line, 1, {{"threshold", {-60, 0}}, {"ratio", {1, 20}}, {"attack", {0.0001, 1}},
                                 {"release", {0.005, 5}}}, v))
                return false;
            if (v.count("threshold")) song_.compressor.threshold = v["threshold"];
            if (v.count("ratio")) song_.compressor.ratio = v["ratio"];
            if (v.count("attack")) song_.compressor.attack = v["attack"];
            if (v.count("release")) song_.compressor.release = v["release"];
            return true;
        }
        if (line.words.size() != 2) return fail(line.number, "expected '" + key + " VALUE'");
        const std::string& word = line.words[1];
        if (key == "tempo") return number(line, word, 20, 400, song_.tempo);
        if (key == "rows_per_beat") return integer(line, word, 1, 32, song_.rowsPerBeat);
        if (key == "beats_per_bar") return integer(line, word, 1, 16, song_.beatsPerBar);
        if (key == "ticks_per_row") return integer(line, word, 1, 32, song_.ticksPerRow);
        if (key == "rows") return integer(line, word, 1, 100000, song_.rows);
        if (key == "tail") return number(line, word, 0, 30, song_.tail);
        if (key == "loudness") return number(line, word, -40, -6, song_.loudness);
        if (key == "ceiling") return number(line, word, -12, 0, song_.ceiling);
        return fail(line.number, "unknown song setting '" + key + "'");
    }

    // "eq lowshelf HZ DB", "eq highshelf HZ DB" or "eq peak HZ DB Q".
    bool eqLine(const Line& line)
    {
        static const std::map<std::string, EqBand::Type> types = {{"lowshelf", EqBand::Type::LowShelf},
            {"highshelf", EqBand::Type::HighShelf}, {"peak", EqBand::Type::Peak}};
        auto type = line.words.size() > 1 ? types.find(line.words[1]) : types.end();
        if (type == types.end()) return fail(line.number, "expected 'eq lowshelf|highshelf|peak HZ DB [Q]'");
        const size_t count = type->second == EqBand::Type::Peak ? 5 : 4;
        if (line.words.size() != count) {
            return fail(line.number, type->second == EqBand::Type::Peak ? "expected 'eq peak HZ DB Q'"
                                                                        : "expected 'eq " + line.words[1] + " HZ DB'");
        }
        if (song_.eq.size() == maxEqBands) {
            return fail(line.number, "at most " + std::to_string(maxEqBands) + " eq bands");
        }
        EqBand band;
        band.type = type->second;
        if (!number(line, line.words[2], 20, 20000, band.frequency)) return false;
        if (!number(line, line.words[3], -24, 24, band.gain)) return false;
        if (count == 5 && !number(line, line.words[4], 0.1, 10, band.q)) return false;
        song_.eq.push_back(band);
        return true;
    }

    bool instrumentLine(const Line& line, Instrument& in)
    {
        const std::string& key = line.words[0];
        std::map<std::string, double> v;
        if (key == "osc") {
            if (line.words.size() < 2) return fail(line.number, "expected 'osc WAVE ...'");
            static const std::map<std::string, Wave> waves = {{"saw", Wave::Saw}, {"square", Wave::Square},
                {"sine", Wave::Sine}, {"triangle", Wave::Triangle}, {"noise", Wave::Noise}};
            auto wave = waves.find(line.words[1]);
            if (wave == waves.end()) {
                return fail(line.number, "unknown wave '" + line.words[1] + "' (saw, square, sine, triangle, noise)");
            }
            if (!pairs(line, 2, {{"level", {0, 4}}, {"detune", {-1200, 1200}}, {"octave", {-4, 4}},
                                 {"voices", {1, 8}}, {"spread", {0, 100}}}, v))
                return false;
            Oscillator osc;
            osc.wave = wave->second;
            if (v.count("level")) osc.level = v["level"];
            if (v.count("detune")) osc.detune = v["detune"];
            if (v.count("octave")) osc.octave = static_cast<int>(v["octave"]);
            if (v.count("voices")) osc.voices = static_cast<int>(v["voices"]);
            if (v.count("spread")) osc.spread = v["spread"];
            in.oscillators.push_back(osc);
            return true;
        }
        if (key == "amp") return envelope(line, 1, in.amp);
        if (key == "filter") {
            if (line.words.size() < 2) return fail(line.number, "expected 'filter MODE ...'");
            static const std::map<std::string, FilterMode> modes = {{"lowpass", FilterMode::Lowpass},
                {"highpass", FilterMode::Highpass}, {"bandpass", FilterMode::Bandpass}};
            auto mode = modes.find(line.words[1]);
            if (mode == modes.end()) {
                return fail(line.number, "unknown filter '" + line.words[1] + "' (lowpass, highpass, bandpass)");
            }
            if (!pairs(line, 2, {{"cutoff", {20, 20000}}, {"resonance", {0, 1}}, {"env", {-20000, 20000}},
                                 {"attack", {0, 30}}, {"decay", {0, 30}}, {"sustain", {0, 1}}, {"release", {0, 30}}}, v))
                return false;
            in.filter.mode = mode->second;
            if (v.count("cutoff")) in.filter.cutoff = v["cutoff"];
            if (v.count("resonance")) in.filter.resonance = v["resonance"];
            if (v.count("env")) in.filter.envAmount = v["env"];
            if (v.count("attack")) in.filter.env.attack = v["attack"];
            if (v.count("decay")) in.filter.env.decay = v["decay"];
            if (v.count("sustain")) in.filter.env.sustain = v["sustain"];
            if (v.count("release")) in.filter.env.release = v["release"];
            return true;
        }
        if (key == "kind") {
            if (line.words.size() < 2) return fail(line.number, "expected 'kind KIND ...'");
            static const std::map<std::string, std::pair<InstrumentKind, std::map<std::string, std::pair<double, double>>>>
                kinds = {
                    {"kick", {InstrumentKind::Kick, {{"pitch", {20, 2000}}, {"end_pitch", {10, 1000}},
                                                    {"sweep", {0.001, 2}}, {"decay", {0.01, 5}}, {"click", {0, 2}},
                                                    {"drive", {0, 4}}}}},
                    {"snare", {InstrumentKind::Snare, {{"tone", {40, 2000}}, {"tone_decay", {0.005, 2}},
                                                      {"noise", {0, 2}}, {"noise_decay", {0.005, 3}},
                                                      {"cutoff", {100, 18000}}}}},
                    {"hat", {InstrumentKind::Hat, {{"decay", {0.005, 3}}, {"cutoff", {1000, 18000}},
                                                  {"ring", {0, 1}}}}},
                };
            auto kind = kinds.find(line.words[1]);
            if (kind == kinds.end()) return fail(line.number, "unknown kind '" + line.words[1] + "' (kick, snare, hat)");
            if (!pairs(line, 2, kind->second.second, in.drum)) return false;
            in.kind = kind->second.first;
            return true;
        }
        if (key == "send") {
            if (!pairs(line, 1, {{"delay", {0, 2}}, {"reverb", {0, 2}}}, v)) return false;
            if (v.count("delay")) in.sendDelay = v["delay"];
            if (v.count("reverb")) in.sendReverb = v["reverb"];
            return true;
        }
        if (key == "sidechain") {
            if (line.words.size() != 1) return fail(line.number, "'sidechain' takes no value");
            in.sidechainKey = true;
            return true;
        }
        if (line.words.size() != 2) return fail(line.number, "expected '" + key + " VALUE'");
        if (key == "highpass") return number(line, line.words[1], 20, 20000, in.highpass);
        if (key == "lowpass") return number(line, line.words[1], 20, 20000, in.lowpass);
        if (key == "width") return number(line, line.words[1], 0, 1, in.width);
        if (key == "duck") return number(line, line.words[1], 0, 1, in.duck);
        if (key == "gain") return number(line, line.words[1], 0, 4, in.gain);
        if (key == "pan") return number(line, line.words[1], -1, 1, in.pan);
        if (key == "chord_spread") return number(line, line.words[1], 0, 1, in.chordSpread);
        return fail(line.number, "unknown instrument setting '" + key + "'");
    }

    bool effect(const Line& line, const std::string& word, Cell& cell)
    {
        const char kind = word[0];
        const std::string digits = word.substr(1);
        if (kind == '@') {
            cell.instrument = instrumentIndex(digits);
            if (cell.instrument < 0) return fail(line.number, "unknown instrument '" + digits + "'");
            return true;
        }
        if (kind == 'a') {
            if (digits.size() != 2 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
                return fail(line.number, "arpeggio '" + word + "' is not aXY with two hex digits");
            }
            cell.arpeggio = static_cast<int>(std::strtol(digits.c_str(), nullptr, 16));
            return true;
        }
        int* target = kind == 'v' ? &cell.velocity : kind == 'r' ? &cell.retrigger : kind == 'd' ? &cell.delay
                    : kind == 'f' ? &cell.filter : nullptr;
        if (!target) return fail(line.number, "unknown effect '" + word + "' (@instrument, vNN, aXY, rN, dN, fNN)");
        const int high = kind == 'r' || kind == 'd' ? song_.ticksPerRow - 1 : 99;
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) {
            return fail(line.number, "effect '" + word + "' needs a number");
        }
        return integer(line, digits, kind == 'r' ? 1 : 0, high, *target);
    }

    bool patternLine(const Line& line, Pattern& pattern, int& next)
    {
        std::vector<std::string> words = line.words;
        if (!words.empty() && words[0].back() == ':') {
            int row = 0;
            if (!integer(line, words[0].substr(0, words[0].size() - 1), 0, 100000, row)) return false;
            if (row < next) return fail(line.number, "row " + std::to_string(row) + " comes after row " +
                                                          std::to_string(next - 1) + " already");
            next = row;
            words.erase(words.begin());
            if (words.empty()) return fail(line.number, "expected a note after the row");
        }
        if (next >= static_cast<int>(pattern.rows.size())) {
            return fail(line.number, "row " + std::to_string(next) + " is beyond the pattern's " +
                                         std::to_string(pattern.rows.size()) + " rows");
        }
        Cell cell;
        const std::string& note = words[0];
        if (note == "...") {
            if (words.size() > 1) return fail(line.number, "an empty row takes no effects");
        } else if (note == "===") {
            cell.type = Cell::Type::Off;
        } else {
            cell.type = Cell::Type::Note;
            const size_t colon = note.find(':');
            const int root = parseNoteName(note.substr(0, colon));
            if (root < 0) return fail(line.number, "'" + note + "' is not a note (C-4, F#3, Bb2, ... or ===)");
            cell.notes.push_back(root);
            if (colon != std::string::npos) {
                static const std::map<std::string, std::vector<int>> chords = {
                    {"maj", {4, 7}}, {"m", {3, 7}}, {"7", {4, 7, 10}}, {"maj7", {4, 7, 11}}, {"m7", {3, 7, 10}},
                    {"sus2", {2, 7}}, {"sus4", {5, 7}}, {"5", {7}}, {"add9", {4, 7, 14}}, {"m9", {3, 7, 10, 14}},
                    {"madd9", {3, 7, 14}}};
                auto chord = chords.find(note.substr(colon + 1));
                if (chord == chords.end()) {
                    return fail(line.number, "unknown chord '" + note.substr(colon + 1) +
                                                 "' (maj, m, 7, maj7, m7, sus2, sus4, 5, add9, m9, madd9)");
                }
                for (int interval : chord->second) cell.notes.push_back(root + interval);
            }
            for (size_t i = 1; i < words.size(); ++i) {
                if (!effect(line, words[i], cell)) return false;
            }
        }
        pattern.rows[static_cast<size_t>(next)] = cell;
        ++next;
        return true;
    }

    bool orderItem(const Line& line, const std::string& word, Channel& channel, int& instrument)
    {
        if (word[0] == '@') {
            instrument = instrumentIndex(word.substr(1));
            if (instrument < 0) return fail(line.number, "unknown instrument '" + word.substr(1) + "'");
            return true;
        }
        const size_t star = word.find('*');
        const std::string name = word.substr(0, star);
        int repeat = 1;
        if (star != std::string::npos && !integer(line, word.substr(star + 1), 1, 1000, repeat)) return false;
        int index = -1;
        if (name != "_") {
            index = patternIndex(name);
            if (index < 0) return fail(line.number, "unknown pattern '" + name + "'");
        }
        channel.order.insert(channel.order.end(), static_cast<size_t>(repeat), OrderEntry{index, instrument});
        return true;
    }

    bool parse(const std::string& text)
    {
        std::vector<Line> lines;
        std::istringstream in(text);
        std::string raw;
        int number = 0;
        while (std::getline(in, raw)) {
            ++number;
            if (raw.find('\0') != std::string::npos) return fail(number, "NUL byte in the text");
            Line line{number, split(raw)};
            if (!line.words.empty()) lines.push_back(line);
        }

        for (size_t i = 0; i < lines.size(); ++i) {
            const Line& head = lines[i];
            const std::string& block = head.words[0];
            // Every block runs to its own "end" line.
            size_t end = i + 1;
            auto opensBlock = [](const std::string& word) {
                return word == "song" || word == "instrument" || word == "pattern" || word == "order";
            };
            while (end < lines.size() && lines[end].words[0] != "end" && !opensBlock(lines[end].words[0])) ++end;
            if (end == lines.size() || lines[end].words[0] != "end") {
                return fail(head.number, "'" + block + "' has no 'end'");
            }
            if (lines[end].words.size() != 1) return fail(lines[end].number, "'end' stands alone");

            if (block == "song") {
                if (head.words.size() != 1) return fail(head.number, "'song' takes no name");
                for (size_t j = i + 1; j < end; ++j) {
                    if (!songLine(lines[j])) return false;
                }
            } else if (block == "instrument") {
                if (head.words.size() != 2) return fail(head.number, "expected 'instrument NAME'");
                if (instrumentIndex(head.words[1]) >= 0) {
                    return fail(head.number, "instrument '" + head.words[1] + "' is defined twice");
                }
                Instrument instrument;
                instrument.name = head.words[1];
                for (size_t j = i + 1; j < end; ++j) {
                    if (!instrumentLine(lines[j], instrument)) return false;
                }
                if (instrument.kind == InstrumentKind::Synth && instrument.oscillators.empty()) {
                    return fail(head.number, "instrument '" + instrument.name + "' has no oscillator");
                }
                song_.instruments.push_back(instrument);
            } else if (block == "pattern") {
                int rows = 0;
                if (head.words.size() != 3) return fail(head.number, "expected 'pattern NAME ROWS'");
                if (!integer(head, head.words[2], 1, 4096, rows)) return false;
                if (patternIndex(head.words[1]) >= 0) {
                    return fail(head.number, "pattern '" + head.words[1] + "' is defined twice");
                }
                Pattern pattern{head.words[1], std::vector<Cell>(static_cast<size_t>(rows))};
                int next = 0;
                for (size_t j = i + 1; j < end; ++j) {
                    if (!patternLine(lines[j], pattern, next)) return false;
                }
                song_.patterns.push_back(pattern);
            } else if (block == "order") {
                if (head.words.size() != 3) return fail(head.number, "expected 'order CHANNEL INSTRUMENT'");
                Channel channel;
                channel.name = head.words[1];
                for (const Channel& other : song_.channels) {
                    if (other.name == channel.name) return fail(head.number, "channel '" + channel.name + "' is ordered twice");
                }
                int instrument = instrumentIndex(head.words[2]);
                if (instrument < 0) return fail(head.number, "unknown instrument '" + head.words[2] + "'");
                for (size_t j = i + 1; j < end; ++j) {
                    for (const std::string& word : lines[j].words) {
                        if (!orderItem(lines[j], word, channel, instrument)) return false;
                    }
                }
                song_.channels.push_back(channel);
            } else {
                return fail(head.number, "expected 'song', 'instrument', 'pattern' or 'order', not '" + block + "'");
            }
            i = end;
        }
        // Whole-score errors point at the last line (line 1 for an empty file).
        const int last = number > 0 ? number : 1;
        if (song_.rows == 0) return fail(last, "the song sets no 'rows'");
        // Rendering holds the whole song in memory: an hour is plenty.
        const double minutes = song_.rows / song_.rowRate() / 60.0;
        if (minutes > maxSongMinutes) {
            char text[96];
            std::snprintf(text, sizeof text, "the song lasts %.0f minutes; a song lasts at most %d", minutes,
                          maxSongMinutes);
            return fail(last, text);
        }
        if (song_.channels.empty()) return fail(last, "the song orders no channel");
        return true;
    }

private:
    std::string file_;
    Song& song_;
    ScoreError& error_;
};

} // namespace

int parseNoteName(const std::string& text)
{
    if (text.size() != 3) return -1;
    static const int steps[] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    const char letter = text[0];
    if (letter < 'A' || letter > 'G') return -1;
    int note = steps[letter - 'A'];
    if (text[1] == '#') ++note;
    else if (text[1] == 'b') --note;
    else if (text[1] != '-') return -1;
    if (text[2] < '0' || text[2] > '9') return -1;
    return note + 12 * (text[2] - '0' + 1);
}

bool parseScore(const std::string& text, const std::string& fileName, Song& song, ScoreError& error)
{
    song = Song();
    Parser parser(fileName, song, error);
    return parser.parse(text);
}
