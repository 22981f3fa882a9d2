// live/desktop/keymap: the editor's keys (core/key_table.h) on the desktop:
// the player's own verbs behind them (its clock, its prompt, its overlay),
// and the help made from the same table.
//
//     if (!pressKey(key, shift)) ...            // a character, or specialKey(GLUT_KEY_...)
//     for (const std::string& line : helpText()) ...
#pragma once

#include "key_table.h"

#include <string>
#include <vector>

namespace live {

// Runs the key's action; false where the table has none.
bool pressKey(int key, bool shift);

// Every key and every command, a line each, as the help shows them.
std::vector<std::string> helpText();

// The same, as --help (and so the manual page) lists them.
std::string helpForUsage();

} // namespace live
