#include "render/shader_parameters.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <utility>

namespace {

std::string trimmed(const std::string& text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    return text.substr(begin, end - begin);
}

bool identifier(const std::string& word)
{
    if (word.empty() || !(std::isalpha(static_cast<unsigned char>(word[0])) || word[0] == '_')) return false;
    for (char c : word) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
    }
    return true;
}

// The text with its block comments blanked, lines kept where they were.
std::string withoutBlockComments(const std::string& source)
{
    std::string out = source;
    bool inside = false, lineComment = false;
    for (size_t i = 0; i < out.size(); ++i) {
        if (lineComment) {
            if (out[i] == '\n') lineComment = false;
            continue;
        }
        if (!inside && out[i] == '/' && i + 1 < out.size() && out[i + 1] == '/') {
            lineComment = true;
            ++i;
            continue;
        }
        if (!inside && out[i] == '/' && i + 1 < out.size() && out[i + 1] == '*') {
            inside = true;
            out[i] = out[i + 1] = ' ';
            ++i;
            continue;
        }
        if (inside && out[i] == '*' && i + 1 < out.size() && out[i + 1] == '/') {
            inside = false;
            out[i] = out[i + 1] = ' ';
            ++i;
            continue;
        }
        if (inside && out[i] != '\n') out[i] = ' ';
    }
    return out;
}

bool numbers(const std::string& list, std::vector<float>& values)
{
    values.clear();
    std::stringstream in(list);
    std::string item;
    while (std::getline(in, item, ',')) {
        item = trimmed(item);
        char* end = nullptr;
        const float value = std::strtof(item.c_str(), &end);
        if (item.empty() || end != item.c_str() + item.size() || !std::isfinite(value)) return false;
        values.push_back(value);
    }
    return true;
}

// A comment's range for `u`; a note where it is one and makes no sense.
void annotate(ShaderUniform& u, const std::string& comment, const std::string& where, std::vector<std::string>& notes)
{
    std::string text = trimmed(comment);
    if (!text.empty() && text[0] == '!') text = trimmed(text.substr(1));
    const size_t open = text.find('[');
    if (open == std::string::npos) return;
    const std::string word = trimmed(text.substr(0, open));
    const bool slider = word == "slider", colour = word == "colour" || word == "color";
    if (!slider && !colour) return;
    const size_t close = text.find(']', open);
    std::vector<float> values;
    const std::string bad = where + ": uniform " + u.name + ": ";
    if (close == std::string::npos || !numbers(text.substr(open + 1, close - open - 1), values)) {
        notes.push_back(bad + word + "[...] takes numbers between its brackets; it has no range");
        return;
    }
    if (u.kind == UniformKind::Other) return;
    if (slider) {
        if (values.size() != 3 || !(values[0] <= values[1] && values[1] <= values[2]) || values[0] == values[2]) {
            notes.push_back(bad + "slider[min, default, max] takes three numbers, min below max, the default "
                                  "between; it has no range");
            return;
        }
        u.range.given = true;
        u.range.low = values[0];
        u.range.high = values[2];
        for (float& initial : u.range.initial) initial = values[1];
        return;
    }
    if (u.kind != UniformKind::Vector || u.components < 3 || values.size() != static_cast<size_t>(u.components)) {
        notes.push_back(bad + "colour[...] is for a vec3 or vec4, with a number for each component");
        return;
    }
    for (float v : values) {
        if (v < 0 || v > 1) {
            notes.push_back(bad + "a colour's components are 0 to 1");
            return;
        }
    }
    u.colour = true;
    u.range.given = true;
    u.range.low = 0;
    u.range.high = 1;
    for (size_t c = 0; c < values.size(); ++c) u.range.initial[c] = values[c];
}

// The uniforms of one statement (`uniform TYPE a, b[2] = ...`), or none.
std::vector<ShaderUniform> declaration(const std::string& statement, int line)
{
    std::string text = trimmed(statement);
    if (text.rfind("layout", 0) == 0) {
        const size_t close = text.find(')');
        if (close == std::string::npos) return {};
        text = trimmed(text.substr(close + 1));
    }
    std::stringstream words(text);
    std::string word;
    if (!(words >> word) || word != "uniform") return {};
    std::string type;
    while (words >> type && (type == "highp" || type == "mediump" || type == "lowp")) {}
    if (!identifier(type)) return {};
    std::string rest;
    std::getline(words, rest);
    std::vector<ShaderUniform> found;
    std::stringstream declarators(rest);
    std::string item;
    while (std::getline(declarators, item, ',')) {
        item = trimmed(item.substr(0, item.find('=')));
        ShaderUniform u;
        u.line = line;
        u.type = type;
        const size_t bracket = item.find('[');
        u.name = trimmed(item.substr(0, bracket));
        if (!identifier(u.name)) return {};
        if (bracket != std::string::npos) {
            u.type += item.substr(bracket);
        } else if (type == "float") {
            u.kind = UniformKind::Float;
        } else if (type == "vec2" || type == "vec3" || type == "vec4") {
            u.kind = UniformKind::Vector;
            u.components = type[3] - '0';
        }
        found.push_back(u);
    }
    return found;
}

} // namespace

std::vector<ShaderUniform> shaderUniforms(const std::string& source, std::vector<std::string>& notes)
{
    std::vector<ShaderUniform> uniforms;
    std::stringstream lines(withoutBlockComments(source));
    std::string text;
    for (int line = 1; std::getline(lines, text); ++line) {
        const size_t slashes = text.find("//");
        const std::string code = text.substr(0, slashes);
        const std::string comment = slashes == std::string::npos ? "" : text.substr(slashes + 2);
        if (trimmed(code).rfind('#', 0) == 0) continue;
        std::vector<ShaderUniform> last;
        size_t start = 0;
        for (size_t semicolon = code.find(';'); semicolon != std::string::npos; semicolon = code.find(';', start)) {
            std::vector<ShaderUniform> found = declaration(code.substr(start, semicolon - start), line);
            if (!found.empty()) {
                uniforms.insert(uniforms.end(), found.begin(), found.end());
                last = std::move(found);
            }
            start = semicolon + 1;
        }
        if (last.empty() || comment.empty()) continue;
        const std::string where = "line " + std::to_string(line);
        for (size_t i = uniforms.size() - last.size(); i < uniforms.size(); ++i) annotate(uniforms[i], comment, where, notes);
    }
    return uniforms;
}
