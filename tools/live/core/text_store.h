// live/core/text_store: where the editor's tracks text lives, as its host
// keeps it. The editor names no file system: the desktop's store is a file
// on disk (desktop/file_text.h), the studio's a file of a demo kept in the
// browser. A host hands the editor one store; none means no tracks text,
// and edits are refused.
//
//     std::string bytes, message;
//     if (!store.read(bytes, message)) say(message);   // message names the text
//     if (!store.write(text, message)) say(message);   // whole or not at all
//
// Every call reports failure as false (or an empty name) with a message
// that names the text; nothing half written is ever left where the text was.
#pragma once

#include <cstddef>
#include <string>

// The most a tracks text may hold: one larger is refused as it is read.
constexpr size_t trackTextLimit = size_t(8) << 20;

class TextStore {
public:
    virtual ~TextStore() = default;

    // The text's name, as messages give it ("demo.tracks").
    virtual std::string name() const = 0;

    // The text as the store holds it now, at most trackTextLimit bytes.
    virtual bool read(std::string& bytes, std::string& message) = 0;

    // Replaces the text whole. Where the text is a link to another file,
    // that file is written and the link stays; with `overLink`, the link
    // itself gives way to the text and what it pointed at is left alone.
    virtual bool write(const std::string& text, bool overLink, std::string& message) = 0;

    // What the text links to, or "" where it is a text of its own.
    virtual std::string linkTarget() const = 0;

    // Keeps `text` under a new name of its own beside the text (NAME.SUFFIX,
    // numbered where that is taken), never over anything. Returns where it
    // went, or "" with `message`.
    virtual std::string keepBeside(const std::string& suffix, const std::string& text, std::string& message) = 0;

    // Keeps `text` wherever the host can when the text's own place takes
    // nothing (NAME.unsaved). Returns where it went, or "".
    virtual std::string keepElsewhere(const std::string& text) = 0;
};
