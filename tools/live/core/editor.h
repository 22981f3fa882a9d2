// live/core/editor: the track editor. It holds the tracks text as a
// TrackDocument, takes edits from keys and from a small command language,
// keeps the last 256 edits (at most 64 MiB of them) for undo, hands every
// changed track to the demo at once, and writes the text back within a
// second, atomically, changing only the lines of the keys that changed.
//
//     TrackEditor editor(std::move(store), names, hooks); // nullptr: no tracks text, edits refused
//     editor.reload();                       // at start and on a save from outside
//     editor.run("key gain.r 0.5 linear");   // or a key: editor.nudge(+1, false)
//     editor.tick();                         // every frame: writes what is due
//
// Commands, one a line, the same in the window (':') and on standard input,
// listed in one table (editorCommands) that the parser checks and the help
// is made from:
//     goto POS|MARKER | key TRACK VALUE [MODE] | del TRACK | interp TRACK MODE |
//     copy TRACK|all POS POS | paste TRACK|all | insert TRACK|all ROWS |
//     remove TRACK|all ROWS | mark NAME [POS] | unmark NAME |
//     select TRACK|PREFIX*|all POS POS | deselect | move ROWS | shift VALUE |
//     scale TIME VALUE | undo | redo | save | play | pause |
//     filter [TEXT] | fold GROUP|all | unfold GROUP|all | mute TRACK|PREFIX* |
//     solo TRACK|PREFIX* | unmute | panel [on|off] | zoom ROWS | split F |
//     loop POS POS|off | inspector [on|off] | log [on|off] | help
// The last thirteen are the player's view, not the text's: the editor
// checks them against the table and hands them to the view hook.
// POS is a row or bar:beat:row, MODE step, linear, smooth or ramp. A
// marker names a row (the current one when no POS is given); it is kept in
// the tracks text as a comment line ("#mark NAME POS") that synctool and
// the demo pass over, so it is saved, undone and reloaded with the keys.
// select picks the keys of a span in one track, the tracks a prefix names
// ("gain.*") or all; move shifts them in time, shift in value, and scale
// stretches them in time about the current row and in value about their
// mean, each as one edit that refuses what would leave the music or put
// two selected keys on one row; a key not selected where a selected one
// lands is replaced (said, and undone with the edit). A key is
// set, deleted or changed at the current row (interp: the key at or before
// it). copy takes the keys of a span; paste puts them at the current row,
// in place of the keys of as long a span there; insert shifts the keys from
// the current row on later, remove deletes that many rows' keys and shifts
// the rest back: retiming a section. Keys a retime pushes past the last row
// stay in the text there (and say so), so that removing what was inserted
// gives the text back byte for byte. A bad command changes nothing and says
// why; an edit that changes nothing is no step of undo.
//
// The text comes and goes through the host's store (text_store.h), so the
// editor is the same on the desktop and in the browser. The maker's text is
// never overwritten with what they have not seen:
// - A save from outside wins over edits not written yet; the editor's
//   version goes on the undo list, so undo brings it back.
// - While the file on disk does not parse (a typo saved from outside, or a
//   link to a file that is not a tracks text), edits stay in memory and the
//   file is left alone, until it parses again (the saved file wins) or
//   `save` says to write: the text that did not parse is first kept as
//   NAME.rejected beside it (a link is replaced, its target left alone).
// - Edits that cannot be written at all go to a text of their own:
//   NAME.unsaved beside the text, else where the host keeps such texts
//   (the desktop: the user's state folder, else the temporary folder).
#pragma once

#include "edit_history.h"
#include "text_store.h"
#include "track_document.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct EditorHooks {
    std::function<double()> row;                   // the row shown now
    std::function<void(double)> moveTo;            // goto
    std::function<void(bool paused)> setPaused;    // play, pause
    // A track's keys changed (nullptr: the text has no such track).
    std::function<void(const std::string& name, const TextTrack* track)> keysChanged;
    std::function<float(const std::string& name)> valueAt;     // a track's value at the row shown
    std::function<void(const std::string& line)> say;          // a line for the console
    // A red line on screen under `key`; an empty line takes it down.
    std::function<void(const std::string& key, const std::string& line)> showError;
    // The commands the table marks as the view's (filter, fold, mute...):
    // the player's, which says what it did. False: refused.
    std::function<bool(const std::vector<std::string>& words)> view;
};

class TrackEditor {
public:
    TrackEditor(std::unique_ptr<TextStore> store, std::vector<std::string> trackNames, EditorHooks hooks);

    // The demo's tracks changed (a folder's shader declared one more, or
    // one fewer): the editor takes these names, in this order, keeps the
    // selection on its track where it still is, and tells every track's
    // keys to keysChanged.
    void setTrackNames(std::vector<std::string> trackNames);

    // The demo's last row, past which no key is set (Orvanta's 1147 until
    // told otherwise).
    void setLastRow(int32_t row);

    // Reads the text from its store: at start, and when it was saved from
    // outside. The editor's own writes are recognised and change nothing.
    // Failure (unreadable, does not parse): false, the tracks as they were.
    bool reload();

    // Runs one command line. Failure: false, with the message said as
    // "error: ..." on the console, on standard error and on screen.
    bool run(const std::string& line);

    // Edits by key, on the selected track at the current row.
    void select(int step);              // the next or previous track
    void select(const std::string& track);
    void nudge(int steps, bool coarse); // the value up or down, written to the step's precision
    void cycleInterpolation();          // of the key at or before the row
    void deleteKey();
    void moveKey(int rows);
    bool undo();
    bool redo();

    // Moves the selected track's key at `from` to `to` (kept between its
    // neighbours) with `value` (written as `typed` where that reads back as
    // it): a drag in the curve view. The first call of a drag is one step of
    // undo, and the calls after it are part of it. Returns the row the key
    // landed on, or -1 when it was refused.
    int32_t dragKey(int32_t from, int32_t to, float value, bool first, const std::string& typed = "");

    // The selection, as the mouse makes it: keys by track and row. Said
    // ("selected 3 keys of 2 tracks") unless quiet.
    void setSelection(std::vector<std::pair<std::string, int32_t>> keys, bool quiet = false);
    const std::vector<std::pair<std::string, int32_t>>& selection() const { return selection_; }
    // Moves the selected keys by `rows` and their values by `amount`
    // (rounded to `step`), both counted from where the drag began: a drag,
    // whose first call is one step of undo and whose later calls join it.
    // A key not selected where a selected one lands is replaced (as many
    // as lastReplaced() says; an undo brings them back); a key the drag
    // passed over and left is not. False, with the last good step kept,
    // where a key would leave the music or two selected keys would meet.
    bool dragSelection(int32_t rows, double amount, float step, bool first);
    size_t lastReplaced() const { return replaced_; }

    // Sets the key of `track` at `row` to `value` (a new key where there is
    // none): the inspector's slider, and a fader recorded as the music plays.
    // The first call is one step of undo, the calls after it join it, so a
    // pass of a hundred rows undoes at once. False where it was refused.
    bool setKeyLive(const std::string& track, int32_t row, float value, bool first, int32_t interpolation = -1);
    // The selected keys' (or, none selected, the key at or before the row's)
    // interpolation, as one edit.
    bool setInterpolationOfKeys(int32_t mode);

    // Pastes what was copied with its shape: its first track (in the demo's
    // order) onto `track`, each other one as many lanes below as it was,
    // at the current row, replacing the keys of as long a span there.
    bool pasteShape(const std::string& track);
    bool deleteSelection();
    // The selected keys to the clipboard, from the first selected row on:
    // one track's paste into any track, several tracks' with paste all.
    bool copySelection();

    // Writes edits not yet written, once due. Call every frame.
    void tick();

    // Writes now. Failure: false; the edits stay in memory. While the file
    // on disk does not parse, nothing is written.
    bool writeNow();

    // The `save` command: writes now, and while the file on disk does not
    // parse, keeps that text as NAME.rejected first. False when nothing
    // could be written.
    bool save();

    // Writes the text as a text of its own, where it can (see above).
    // Returns where it went, or "" when nowhere took it.
    std::string writeUnsaved();

    bool unwritten() const { return document_.text() != written_; }
    const std::string& selected() const { return trackNames_[selected_]; }
    const TrackDocument& document() const { return document_; }

    bool editable() const { return store_ != nullptr; }
    // The file on disk does not parse; edits wait in memory.
    bool diskRejected() const { return diskRejected_; }
    bool copiedAll() const { return clipboard_.all; }

    // The track's nudge step: 1, 2 or 5 times a power of ten, about a
    // hundredth (coarse: a tenth) of the range of its keys' values.
    float stepFor(const std::string& track, bool coarse) const;

    // `value` rounded to the precision of `step`, without trailing zeros:
    // -0.8 for a step of 0.1, whatever float arithmetic left in it.
    static std::string valueText(double value, float step);

    static const char* const needsTracks;

private:
    struct Clipboard {
        bool all = false;
        int32_t length = -1; // rows the span covers after its first; -1: empty
        std::vector<std::pair<std::string, std::vector<TrackKey>>> tracks; // rows from the span's first
    };
    // The tracks a command names: one, or "all" of those the text has.
    bool targets(const std::string& word, std::vector<std::string>& names);
    bool span(const std::vector<std::string>& words);
    bool pasteInto(const std::vector<std::string>& names);
    bool markCommand(const std::vector<std::string>& words);
    bool selectCommand(const std::vector<std::string>& words);   // select, deselect
    bool changeSelection(const std::vector<std::string>& words); // move, shift, scale
    struct Change {
        int32_t rows = 0;       // added to each row, then
        double factor = 1;      // about the current row
        double amount = 0;      // added to each value, then
        double valueFactor = 1; // about their mean
        float step = 0;         // values rounded to it, when above 0
    };
    bool transform(const Change& change, bool undoable, size_t& count, const std::string& amending = "");
    void keepSelectedKeys(); // the selection, less keys the text no longer has
    // Runs `edit` on each selected key the text still has, counting them; a
    // refusal puts the text back as it was and is said (false).
    bool eachSelectedKey(size_t& count, const std::function<bool(const std::string&, int32_t, std::string&)>& edit);
    bool shift(const std::vector<std::string>& names, int32_t rows, std::string& said);
    bool pasteOnto(const std::vector<std::string>& onto); // clipboard track c onto onto[c]
    bool apply(const std::string& before, const std::string& track, bool undoable = true);
    void restore(const std::string& text);
    void changedAll();
    bool travel(bool back); // undo or redo
    bool refuse(const std::string& message); // says why a command changed nothing; false
    bool writeText();                        // the document to the file (through a link), no checks
    bool diskChanged();                      // the file differs from what was written: reloaded
    int32_t currentRow() const;
    size_t indexOf(const std::string& track) const; // trackNames_.size() when unknown
    bool known(const std::string& track) const;
    const TrackKey* keyAtOrBefore(const std::string& track, int32_t row) const;

    std::unique_ptr<TextStore> store_;
    std::string name_; // the text's name, for messages
    std::vector<std::string> trackNames_;
    EditorHooks hooks_;
    TrackDocument document_;
    std::string written_;     // what the file holds, as far as the editor knows
    bool loaded_ = false;     // the file has been read once
    bool diskRejected_ = false;
    std::string rejected_;    // the file's text that did not parse
    EditHistory history_;
    std::vector<std::pair<std::string, int32_t>> selection_; // track and row of each selected key
    bool amendable_ = false; // the newest step is the last edit's
    size_t selected_ = 0;
    Clipboard clipboard_;
    size_t replaced_ = 0;
    std::string dragBase_; // the text and the selection as a selection drag began
    std::vector<std::pair<std::string, int32_t>> dragBaseSelection_;
    std::chrono::steady_clock::time_point changed_;
    std::chrono::steady_clock::time_point lastTry_;
    std::chrono::steady_clock::time_point since_; // the oldest edit not written
    bool waiting_ = false;
    bool failing_ = false;
};

// A command of the language: its name, its arguments as the help shows
// them, how many it takes, and whether it edits the text (and so needs one).
struct EditorCommand {
    const char* name;
    const char* arguments;
    const char* does;
    int least;
    int most;
    bool edits;
    bool view = false; // the player's view, not the text: run by the hook
};

// "; replaced 2 keys (undo brings them back)", or "" for none.
std::string replacedText(size_t replaced);

// The table, in the help's order, and the help's line made from it.
const std::vector<EditorCommand>& editorCommands();
const std::string& editorCommandHelp();
