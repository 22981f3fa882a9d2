#include "render/demo_manifest.h"

#define TOML_HEADER_ONLY 1
#define TOML_EXCEPTIONS 0
// toml++ 3.3 asserts that a table header starts with a key before it looks
// ("[#]" fails the assertion, where its own check would say what is wrong);
// without its assertions it reports the error like any other.
#define TOML_ASSERT(expr) static_cast<void>(0)
#include <toml++/toml.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <set>
#include <sstream>

namespace {

// Reads one manifest, keeping the first error with where it was.
class Reader {
public:
    Reader(const std::string& file, const toml::table& root) : file_(file), root_(&root) {}

    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }

    void fail(const toml::node* node, const std::string& what)
    {
        if (failed()) return;
        // What the whole manifest lacks has no line.
        const int line = node && node != root_ ? static_cast<int>(node->source().begin.line) : 0;
        error_ = line > 0 ? file_ + ":" + std::to_string(line) + ": " + what : file_ + ": " + what;
    }

    // Every key of `table` is one of `known`.
    void onlyKnown(const toml::table& table, const std::set<std::string>& known, const std::string& where)
    {
        for (const auto& [key, node] : table) {
            if (!known.count(std::string(key.str()))) fail(&node, "'" + std::string(key.str()) + "' is not a key " + where);
        }
    }

    bool text(const toml::table& table, const char* key, std::string& out, bool needed)
    {
        const toml::node* node = table.get(key);
        if (!node) {
            if (needed) fail(&table, std::string("'") + key + "' is missing");
            return false;
        }
        if (!node->is_string()) {
            fail(node, std::string("'") + key + "' is a string");
            return false;
        }
        out = node->as_string()->get();
        if (out.find('\0') != std::string::npos) {
            fail(node, std::string("'") + key + "' holds a NUL byte");
            return false;
        }
        return true;
    }

    // A file relative to the manifest's folder, and inside it.
    void path(const toml::table& table, const char* key, std::string& out, bool needed)
    {
        if (!text(table, key, out, needed)) return;
        if (!pathInsideFolder(out)) {
            fail(table.get(key), std::string("'") + key + "' is a path inside the manifest's folder (no '..', not from /)");
        }
    }

    void number(const toml::table& table, const char* key, double& out, double low, double high, bool needed)
    {
        const toml::node* node = table.get(key);
        if (!node) {
            if (needed) fail(&table, std::string("'") + key + "' is missing");
            return;
        }
        const std::optional<double> value = node->value<double>();
        std::ostringstream range;
        range << low << " to " << high;
        if (!value || !std::isfinite(*value) || *value < low || *value > high) {
            fail(node, std::string("'") + key + "' is a number from " + range.str());
            return;
        }
        out = *value;
    }

    void flag(const toml::table& table, const char* key, bool& out)
    {
        const toml::node* node = table.get(key);
        if (!node) return;
        if (!node->is_boolean()) {
            fail(node, std::string("'") + key + "' is true or false");
            return;
        }
        out = node->as_boolean()->get();
    }

private:
    std::string file_;
    const toml::node* root_;
    std::string error_;
};

bool plainName(const std::string& name)
{
    if (name.empty() || name.size() > 64) return false;
    for (char c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-') return false;
    }
    return true;
}

// A version names a release's files.
bool plainVersion(const std::string& version)
{
    if (version.empty() || version.size() > 32 || !std::isalnum(static_cast<unsigned char>(version[0]))) return false;
    for (char c : version) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-' && c != '+') return false;
    }
    return true;
}

bool identifier(const std::string& word)
{
    if (word.empty() || word.size() > 64 || !(std::isalpha(static_cast<unsigned char>(word[0])) || word[0] == '_')) return false;
    for (char c : word) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
    }
    return true;
}

void readScenes(const toml::table& root, Reader& reader, DemoManifest& manifest)
{
    const toml::node* node = root.get("scene");
    if (!node) {
        reader.fail(&root, "a demo has one [[scene]] at least");
        return;
    }
    const toml::array* scenes = node->as_array();
    if (!scenes || scenes->empty() || !scenes->is_array_of_tables()) {
        reader.fail(node, "'scene' is a list of [[scene]] tables");
        return;
    }
    if (scenes->size() > manifestMostScenes) {
        reader.fail(node, "a demo has at most " + std::to_string(manifestMostScenes) + " scenes");
        return;
    }
    std::set<std::string> names;
    for (const toml::node& element : *scenes) {
        const toml::table& table = *element.as_table();
        reader.onlyKnown(table, {"name", "passes"}, "of a [[scene]] (name, passes)");
        ManifestScene scene;
        scene.line = static_cast<int>(table.source().begin.line);
        reader.text(table, "name", scene.name, true);
        if (!reader.failed() && !plainName(scene.name)) {
            reader.fail(table.get("name"), "a scene's name is 1 to 64 letters, digits, '_' and '-'");
        }
        if (!reader.failed() && !names.insert(scene.name).second) {
            reader.fail(table.get("name"), "two scenes are named '" + scene.name + "'");
        }
        const toml::node* passes = table.get("passes");
        if (!reader.failed() && !passes) reader.fail(&table, "scene '" + scene.name + "' has no 'passes'");
        const toml::array* list = passes ? passes->as_array() : nullptr;
        if (!reader.failed() && (!list || list->size() != scenePassCount || !list->is_homogeneous(toml::node_type::string))) {
            reader.fail(passes, "scene '" + scene.name + "': 'passes' lists four shader files: scene, trail, depth "
                                "of field, grade");
        }
        if (reader.failed()) return;
        for (size_t p = 0; p < scenePassCount; ++p) {
            scene.passes[p] = list->get(p)->as_string()->get();
            if (!pathInsideFolder(scene.passes[p])) {
                reader.fail(list->get(p), "scene '" + scene.name + "': a pass is a path inside the manifest's folder "
                                          "(no '..', not from /)");
                return;
            }
        }
        manifest.scenes.push_back(scene);
    }
}

void readTracks(const toml::table& root, Reader& reader, DemoManifest& manifest)
{
    const toml::node* node = root.get("track");
    if (!node) return;
    const toml::array* tracks = node->as_array();
    if (!tracks || !tracks->is_array_of_tables()) {
        reader.fail(node, "'track' is a list of [[track]] tables");
        return;
    }
    std::set<std::string> names;
    for (const toml::node& element : *tracks) {
        const toml::table& table = *element.as_table();
        reader.onlyKnown(table, {"name", "uniform", "colour", "color", "at_head"},
                         "of a [[track]] (name, uniform, colour, at_head)");
        ManifestTrack track;
        track.line = static_cast<int>(table.source().begin.line);
        reader.text(table, "name", track.name, true);
        if (!reader.failed() && !plainTrackName(track.name)) {
            reader.fail(table.get("name"), "'" + track.name + "' is not a plain track name (1 to 64 letters, digits, "
                                           "'_' and '.')");
        }
        if (!reader.failed() && !names.insert(track.name).second) {
            reader.fail(table.get("name"), "two [[track]] tables are named '" + track.name + "'");
        }
        track.uniformGiven = reader.text(table, "uniform", track.uniform, false);
        if (!track.uniformGiven) track.uniform = track.name;
        if (!reader.failed() && !track.uniform.empty() && !identifier(track.uniform)) {
            reader.fail(track.uniformGiven ? table.get("uniform") : table.get("name"),
                        "track '" + track.name + "': '" + track.uniform + "' is not a uniform's name; give 'uniform'");
        }
        reader.flag(table, "colour", track.colour);
        reader.flag(table, "color", track.colour);
        reader.flag(table, "at_head", track.atHead);
        if (reader.failed()) return;
        manifest.trackEntries.push_back(track);
    }
}

// What toml++ is never given, found by a scan over what is not in strings
// or comments before it reads a byte. It descends once a level of a key's
// dots, of nested arrays and of inline tables, on the stack: a manifest of a
// few hundred kilobytes could exhaust it. And outside strings and comments
// TOML is ASCII alone, where toml++ 3.3's test for other whitespace reaches
// an unreachable branch for most characters past U+00A0.
enum class Unreadable { None, TooDeep, NotAscii };

Unreadable unreadable(const std::string& text, int& line)
{
    enum class In { Code, Comment, Basic, Literal, MultiBasic, MultiLiteral };
    In in = In::Code;
    int depth = 0, dots = 0;
    line = 1;
    const auto opens = [&](size_t at, const char* quotes) { return text.compare(at, 3, quotes) == 0; };
    // A byte-order mark, as some editors begin a UTF-8 file, is toml++'s to skip.
    const size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    for (size_t at = start; at < text.size(); ++at) {
        const char c = text[at];
        if (c == '\n') ++line;
        switch (in) {
        case In::Comment:
            if (c == '\n') in = In::Code;
            continue;
        case In::Basic:
            if (c == '\\') ++at;
            else if (c == '"' || c == '\n') in = In::Code;
            continue;
        case In::Literal:
            if (c == '\'' || c == '\n') in = In::Code;
            continue;
        case In::MultiBasic:
            if (c == '\\') {
                if (at + 1 < text.size() && text[at + 1] == '\n') ++line;
                ++at;
            } else if (opens(at, "\"\"\"")) {
                at += 2;
                in = In::Code;
            }
            continue;
        case In::MultiLiteral:
            if (opens(at, "'''")) {
                at += 2;
                in = In::Code;
            }
            continue;
        case In::Code:
            break;
        }
        if (static_cast<unsigned char>(c) >= 0x80) {
            return Unreadable::NotAscii;
        } else if (c == '#') {
            in = In::Comment;
        } else if (c == '"') {
            in = opens(at, "\"\"\"") ? In::MultiBasic : In::Basic;
            if (in == In::MultiBasic) at += 2;
        } else if (c == '\'') {
            in = opens(at, "'''") ? In::MultiLiteral : In::Literal;
            if (in == In::MultiLiteral) at += 2;
        } else if (c == '.') {
            if (++dots > manifestMostDepth) return Unreadable::TooDeep;
        } else if (c == '[' || c == '{') {
            dots = 0;
            if (++depth > manifestMostDepth) return Unreadable::TooDeep;
        } else if (c == ']' || c == '}') {
            dots = 0;
            depth = std::max(0, depth - 1);
        } else if (c == '=' || c == ',' || c == '\n') {
            dots = 0;
        }
    }
    return Unreadable::None;
}

} // namespace

bool pathInsideFolder(const std::string& path)
{
    if (path.empty() || path[0] == '/' || path.find('\0') != std::string::npos) return false;
    for (size_t at = 0; at <= path.size();) {
        const size_t end = std::min(path.find('/', at), path.size());
        if (path.compare(at, end - at, "..") == 0 && end - at == 2) return false;
        at = end + 1;
    }
    return true;
}

bool plainTrackName(const std::string& name)
{
    if (name.empty() || name.size() > 64 || name.front() == '.' || name.back() == '.' ||
        name.find("..") != std::string::npos) {
        return false;
    }
    if (!std::isalpha(static_cast<unsigned char>(name[0])) && name[0] != '_') return false;
    for (char c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '.') return false;
    }
    return true;
}

bool parseManifest(const std::string& text, const std::string& file, DemoManifest& manifest, std::string& error)
{
    manifest = DemoManifest();
    int line = 0;
    switch (unreadable(text, line)) {
    case Unreadable::TooDeep:
        error = file + ":" + std::to_string(line) + ": keys, arrays and inline tables nest at most " +
                std::to_string(manifestMostDepth) + " deep";
        return false;
    case Unreadable::NotAscii:
        error = file + ":" + std::to_string(line) + ": a character past ASCII outside a string or a comment";
        return false;
    case Unreadable::None:
        break;
    }
    toml::parse_result parsed = toml::parse(std::string_view(text), file);
    if (!parsed) {
        const toml::parse_error& failure = parsed.error();
        error = file + ":" + std::to_string(failure.source().begin.line) + ": " + std::string(failure.description());
        return false;
    }
    const toml::table& root = parsed.table();
    Reader reader(file, root);
    reader.onlyKnown(root,
                     {"name", "version", "bpm", "rows_per_beat", "end_row", "music", "tracks", "logo", "logo_text", "final",
                      "vertex", "time_track", "scene_track", "scene", "track"},
                     "of a demo's manifest");
    reader.text(root, "name", manifest.name, true);
    if (!reader.failed() && !plainName(manifest.name)) {
        reader.fail(root.get("name"), "a demo's name is 1 to 64 letters, digits, '_' and '-'");
    }
    if (reader.text(root, "version", manifest.version, false) && !reader.failed() && !plainVersion(manifest.version)) {
        reader.fail(root.get("version"), "a version is 1 to 32 letters, digits, '.', '_', '+' and '-', starting with a "
                                         "letter or a digit");
    }
    reader.number(root, "bpm", manifest.bpm, 1, manifestMostBpm, true);
    double rowsPerBeat = manifest.rowsPerBeat;
    reader.number(root, "rows_per_beat", rowsPerBeat, 1, manifestMostRowsPerBeat, false);
    if (!reader.failed() && rowsPerBeat != std::floor(rowsPerBeat)) {
        reader.fail(root.get("rows_per_beat"), "'rows_per_beat' is a whole number");
    }
    manifest.rowsPerBeat = static_cast<int>(rowsPerBeat);
    reader.number(root, "end_row", manifest.endRow, 1, manifestMostEndRow, true);
    reader.path(root, "music", manifest.music, true);
    if (!reader.failed() && !(manifest.music.size() > 6 && (manifest.music.rfind(".score") == manifest.music.size() - 6 ||
                                                            manifest.music.rfind(".ogg") == manifest.music.size() - 4))) {
        reader.fail(root.get("music"), "'music' is a score (.score) or an Ogg Vorbis file (.ogg)");
    }
    reader.path(root, "tracks", manifest.tracks, true);
    reader.path(root, "logo", manifest.logo, false);
    reader.text(root, "logo_text", manifest.logoText, false);
    if (!reader.failed() && root.get("logo") && root.get("logo_text")) {
        reader.fail(root.get("logo_text"), "a demo has a 'logo' or a 'logo_text', not both");
    }
    reader.path(root, "final", manifest.finalPass, true);
    reader.path(root, "vertex", manifest.vertex, false);
    for (const auto& [key, out] : {std::make_pair("time_track", &manifest.timeTrack), std::make_pair("scene_track", &manifest.sceneTrack)}) {
        reader.text(root, key, *out, false);
        if (!reader.failed() && !plainTrackName(*out)) reader.fail(root.get(key), std::string("'") + key + "' is a plain track name");
    }
    if (!reader.failed() && manifest.timeTrack == manifest.sceneTrack) {
        reader.fail(root.get("scene_track"), "the time track and the scene track are two tracks");
    }
    if (!reader.failed()) readScenes(root, reader, manifest);
    if (!reader.failed()) readTracks(root, reader, manifest);
    if (reader.failed()) {
        error = reader.error();
        return false;
    }
    return true;
}
