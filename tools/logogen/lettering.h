// logogen/lettering: a word set in a font, as coverage (0 to 1 a pixel).
//
// The font is read with FreeType, which is made for untrusted fonts: a
// truncated or hostile file is an error, never a crash.
#pragma once

#include <string>
#include <vector>

// Sets `word` centred in width x height at half the height, with wide
// tracking, shrunk to fit 86% of the width. Failure: false with `error`
// when the bytes are not a font FreeType reads; `coverage` is then empty.
bool setWord(const std::string& fontBytes, const char* word, int width, int height, std::vector<float>& coverage,
             std::string& error);
