// The track editor's command language as one table, and the help made from
// it; the parser (editor.cpp) checks every line against the same table.
#include "editor.h"

// The command language, one entry a command: the parser checks a line
// against it and the help is made from it, so neither can lack what the
// other has.
const std::vector<EditorCommand>& editorCommands()
{
    static const std::vector<EditorCommand> commands = {
        {"goto", "POS|MARKER", "go to a row, bar:beat:row or marker", 1, 1, false},
        {"key", "TRACK VALUE [step|linear|smooth|ramp]", "set a key at the row", 2, 3, true},
        {"del", "TRACK", "delete the key at the row", 1, 1, true},
        {"interp", "TRACK MODE", "the interpolation of the key at or before the row", 2, 2, true},
        {"copy", "TRACK|all POS POS", "copy the keys of a span", 3, 3, true},
        {"paste", "TRACK|all", "paste at the row, over as long a span", 1, 1, true},
        {"insert", "TRACK|all ROWS", "insert rows at the row, the keys after it later", 2, 2, true},
        {"remove", "TRACK|all ROWS", "remove rows at the row, their keys with them", 2, 2, true},
        {"mark", "NAME [POS]", "a marker at the row (or POS): a letter, then up to 63 letters, digits, _ - .", 1, 2, true},
        {"unmark", "NAME", "take a marker away", 1, 1, true},
        {"select", "TRACK|PREFIX*|all POS POS", "select the keys of a span", 3, 3, false},
        {"deselect", "", "select nothing", 0, 0, false},
        {"move", "ROWS", "move the selection in time", 1, 1, true},
        {"shift", "VALUE", "move the selection in value", 1, 1, true},
        {"scale", "TIME VALUE", "scale the selection about the row in time and its mean in value", 2, 2, true},
        {"undo", "", "undo the last edit (256 kept)", 0, 0, true},
        {"redo", "", "redo it", 0, 0, true},
        {"save", "", "write the text now", 0, 0, true},
        {"play", "", "play the music", 0, 0, false},
        {"pause", "", "pause it", 0, 0, false},
        {"filter", "[TEXT]", "show the tracks whose names hold TEXT (64 characters at most); alone: all", 0, 1, false, true},
        {"fold", "GROUP|all", "fold a group of tracks into one line", 1, 1, false, true},
        {"unfold", "GROUP|all", "unfold it", 1, 1, false, true},
        {"mute", "TRACK|PREFIX*", "hold a track at its first key while looking; again: back (not saved)", 1, 1, false, true},
        {"solo", "TRACK|PREFIX*", "hold all but these tracks (scene and time go on); again: back", 1, 1, false, true},
        {"unmute", "", "end every mute and solo", 0, 0, false, true},
        {"panel", "[on|off]", "show or hide the track panel; alone: the other way", 0, 1, false, true},
        {"zoom", "ROWS", "rows the panel shows (8 to 1024)", 1, 1, false, true},
        {"split", "F", "the picture's share of the height, 0.2 to 0.8 (kept for the demo)", 1, 1, false, true},
        {"loop", "POS POS|off", "loop a span of rows; off: no loop", 1, 2, false, true},
        {"inspector", "[on|off]", "the inspector: a slider (or colour) and the interpolation", 0, 1, false, true},
        {"log", "[on|off]", "the log of messages, over the curve view", 0, 1, false, true},
        {"help", "", "print keys and commands here", 0, 0, false, true},
    };
    return commands;
}

const std::string& editorCommandHelp()
{
    static const std::string help = [] {
        std::string text;
        for (const EditorCommand& command : editorCommands()) {
            text += (text.empty() ? "" : " | ") + std::string(command.name) +
                    (*command.arguments ? std::string(" ") + command.arguments : "");
        }
        return text;
    }();
    return help;
}
