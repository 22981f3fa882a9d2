#include "shader_es.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace {

const char* const esHeader = "#version 300 es\n"
                             "precision highp float;\n"
                             "precision highp int;\n"
                             "precision highp sampler2D;\n";

bool blank(const std::string& line)
{
    for (char c : line) {
        if (!std::isspace(static_cast<unsigned char>(c))) return false;
    }
    return true;
}


// Digits at `at`, as a number of at most a million (a longer run reads as
// none): a log's line numbers are the driver's, not to be trusted whole.
bool number(const std::string& text, size_t& at, int& value)
{
    const size_t start = at;
    long long read = 0;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) && at - start < 9) {
        read = read * 10 + (text[at] - '0');
        ++at;
    }
    if (at == start || (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])))) return false;
    value = read <= 1000000 ? static_cast<int>(read) : 0;
    return true;
}

bool literal(const std::string& text, size_t& at, const char* expected)
{
    const std::string want = expected;
    if (text.compare(at, want.size(), want) != 0) return false;
    at += want.size();
    return true;
}

// One log line's line number and message: ANGLE's "ERROR: 0:12: m",
// Mesa's "0:12(5): m", NVIDIA's "0(12) : m". False for other lines.
bool located(const std::string& line, int& where, std::string& message, bool& warning)
{
    int source = 0, column = 0;
    size_t at = 0;
    warning = false;
    if (literal(line, at, "ERROR: ") || (warning = literal(line, at, "WARNING: "))) {
        if (number(line, at, source) && literal(line, at, ":") && number(line, at, where) && literal(line, at, ": ")) {
            message = line.substr(at);
            return true;
        }
        return false;
    }
    if (!number(line, at, source)) return false;
    const size_t afterSource = at;
    if (literal(line, at, ":") && number(line, at, where) && literal(line, at, "(") && number(line, at, column) &&
        literal(line, at, "): ")) {
        message = line.substr(at);
        return true;
    }
    at = afterSource;
    if (literal(line, at, "(") && number(line, at, where) && literal(line, at, ") : ")) {
        message = line.substr(at);
        return true;
    }
    return false;
}

} // namespace

bool shaderForPage(const std::string& source, std::string& es, std::string& why)
{
    // The version directive is the first thing but comments and blank lines.
    size_t start = 0;
    int line = 1;
    while (start < source.size()) {
        const size_t end = source.find('\n', start);
        const std::string text = source.substr(start, end == std::string::npos ? std::string::npos : end - start);
        size_t first = text.find_first_not_of(" \t\r");
        if (blank(text) || text.compare(first, 2, "//") == 0) {
            if (end == std::string::npos) break;
            start = end + 1;
            ++line;
            continue;
        }
        int version = 0;
        size_t at = first;
        if (!literal(text, at, "#version")) break;
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
        if (!number(text, at, version)) version = 0;
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
        std::string kind = text.substr(at, text.find_first_of(" \t\r", at) - at);
        if (version == 300 && kind == "es") {
            es = source;
            return true;
        }
        if (version < 330 || version > 460 || (!kind.empty() && kind != "core")) {
            why = "line " + std::to_string(line) + ": #version " + std::to_string(version) +
                  (kind.empty() ? "" : " " + kind) + " is not one the page takes (330 to 460 core, or 300 es)";
            return false;
        }
        const std::string after = end == std::string::npos ? std::string() : source.substr(end + 1);
        es = source.substr(0, start) + esHeader + "#line " + std::to_string(line + 1) + "\n" + after;
        return true;
    }
    // No version line: GLSL ES would read it as 1.00; the page's is 3.00.
    es = std::string(esHeader) + "#line 1\n" + source;
    return true;
}


std::vector<ShaderError> shaderErrors(const std::string& log)
{
    std::vector<ShaderError> errors;
    std::istringstream in(log);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (blank(line) || line.find_first_not_of('\0') == std::string::npos) continue;
        int where = 0;
        std::string message;
        bool warning = false;
        if (located(line, where, message, warning)) {
            if (!warning) errors.push_back({where, message});
        } else {
            errors.push_back({0, line});
        }
    }
    return errors;
}

ShaderError fileError(const std::string& file, const std::string& error)
{
    const size_t at = error.find(file + ":");
    if (at != std::string::npos) {
        size_t digits = at + file.size() + 1;
        int line = 0;
        if (number(error, digits, line) && digits < error.size() && error[digits] == ':' && line > 0) return {line, error};
    }
    return {0, error};
}
