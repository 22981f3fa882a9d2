// live/desktop/keymap: the player's keys as one table, which the key handlers look
// keys up in and the help is made from, beside the command table, so that
// neither the help nor the keys can lack what the other has.
//
//     if (!pressKey(key, shift)) ...            // a character, or specialKey(GLUT_KEY_...)
//     for (const std::string& line : helpText()) ...
#pragma once

#include <string>
#include <vector>

namespace live {

// GLUT's special keys, numbered apart from characters.
constexpr int specialKey(int glutKey)
{
    return 0x1000 + glutKey;
}

// A special key with ctrl held (ctrl+left), apart from the key alone.
constexpr int ctrlKey(int key)
{
    return 0x10000 + key;
}

struct LiveKey {
    std::vector<int> keys;
    const char* label; // as the help shows it
    const char* does;
    void (*act)(int key, bool shift);
};

// The table, in the help's order, with a heading before each part.
struct KeyPart {
    const char* heading;
    std::vector<LiveKey> keys;
};
const std::vector<KeyPart>& liveKeys();

// Runs the key's action; false where the table has none.
bool pressKey(int key, bool shift);

// Every key and every command, a line each, as the help shows them.
std::vector<std::string> helpText();

// The same, as --help (and so the manual page) lists them: a heading a
// part ("Keys:", "Mouse:", "Commands:"), a line an entry, its name and
// what it does two spaces apart.
std::string helpForUsage();

} // namespace live
