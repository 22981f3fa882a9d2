// new/template_files: the files of a new demo folder, carried inside
// orvanta-new (made at build time from data/template and the final pass and
// vertex shader that every demo shares).
#pragma once

#include <cstddef>

struct TemplateFile {
    const char* name; // relative to the demo folder: "demo.toml", "music/demo.score"
    const unsigned char* bytes;
    size_t size;
};

extern const TemplateFile templateFiles[];
extern const size_t templateFileCount;
