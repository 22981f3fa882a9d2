// live/studio/json_text: a text as a JSON string, for what the studio's two
// programs (the page's and its music Worker's) hand the page.
#pragma once

#include <string>

// `text` quoted, with quotes, backslashes and control characters escaped.
std::string jsonString(const std::string& text);
