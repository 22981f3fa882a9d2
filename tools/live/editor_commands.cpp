// The track editor's command language as one table, and the help made from
// it; the parser (editor.cpp) checks every line against the same table.
#include "editor.h"

// The command language, one entry a command: the parser checks a line
// against it and the help is made from it, so neither can lack what the
// other has.
const std::vector<EditorCommand>& editorCommands()
{
    static const std::vector<EditorCommand> commands = {
        {"goto", "POS|MARKER", 1, 1, false},
        {"key", "TRACK VALUE [step|linear|smooth|ramp]", 2, 3, true},
        {"del", "TRACK", 1, 1, true},
        {"interp", "TRACK MODE", 2, 2, true},
        {"copy", "TRACK|all POS POS", 3, 3, true},
        {"paste", "TRACK|all", 1, 1, true},
        {"insert", "TRACK|all ROWS", 2, 2, true},
        {"remove", "TRACK|all ROWS", 2, 2, true},
        {"mark", "NAME [POS]", 1, 2, true},
        {"unmark", "NAME", 1, 1, true},
        {"select", "TRACK|PREFIX*|all POS POS", 3, 3, false},
        {"deselect", "", 0, 0, false},
        {"move", "ROWS", 1, 1, true},
        {"shift", "VALUE", 1, 1, true},
        {"scale", "TIME VALUE", 2, 2, true},
        {"undo", "", 0, 0, true},
        {"redo", "", 0, 0, true},
        {"save", "", 0, 0, true},
        {"play", "", 0, 0, false},
        {"pause", "", 0, 0, false},
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
