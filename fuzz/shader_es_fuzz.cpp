// libFuzzer target: a folder's shader made the page's, and a driver's log
// and a folder's error read back. The input is a shader's text; the same
// bytes serve as a log and an error. Nothing may crash; a shader taken keeps
// every line of the maker's text, and is the text as it is or leads with
// the page's version; one
// refused leaves the output as it was; every line read from a log is a line
// number of 0 or more.
#include "shader_es.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string es = "untouched", why;
    if (shaderForPage(text, es, why)) {
        // No line of the maker's is dropped, and the page's version leads.
        const auto lines = [](const std::string& t) { return std::count(t.begin(), t.end(), '\n'); };
        if (lines(es) < lines(text) || (es != text && es.find("#version 300 es") == std::string::npos)) std::abort();
        // An ES shader is taken as it is.
        if (text.rfind("#version 300 es\n", 0) == 0 && es != text) std::abort();
    } else if (es != "untouched" || why.empty()) {
        std::abort();
    }
    for (const ShaderError& error : shaderErrors(text)) {
        if (error.line < 0) std::abort();
    }
    if (fileError("demo.toml", text).line < 0 || fileError("", text).line < 0) std::abort();
    return 0;
}
