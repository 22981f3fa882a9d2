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
        char profile[16] = {};
        if (std::sscanf(text.c_str() + first, "#version %d %15s", &version, profile) < 1) break;
        const std::string kind = profile;
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
        int source = 0, number = 0, column = 0, used = 0;
        ShaderError error;
        if (std::sscanf(line.c_str(), "ERROR: %d:%d: %n", &source, &number, &used) == 2 && used > 0) {
            error = {number, line.substr(static_cast<size_t>(used))};
        } else if (std::sscanf(line.c_str(), "WARNING: %d:%d: %n", &source, &number, &used) == 2 && used > 0) {
            continue;
        } else if (std::sscanf(line.c_str(), "%d:%d(%d): %n", &source, &number, &column, &used) == 3 && used > 0) {
            error = {number, line.substr(static_cast<size_t>(used))};
        } else if (std::sscanf(line.c_str(), "%d(%d) : %n", &source, &number, &used) == 2 && used > 0) {
            error = {number, line.substr(static_cast<size_t>(used))};
        } else {
            error = {0, line};
        }
        errors.push_back(error);
    }
    return errors;
}

ShaderError fileError(const std::string& file, const std::string& error)
{
    const size_t at = error.find(file + ":");
    if (at != std::string::npos) {
        const char* digits = error.c_str() + at + file.size() + 1;
        char* end = nullptr;
        const long number = std::strtol(digits, &end, 10);
        if (end != digits && *end == ':' && number > 0 && number < 1000000) {
            return {static_cast<int>(number), error};
        }
    }
    return {0, error};
}
