// live/desktop/file_text: the editor's tracks text as a file on disk, the
// desktop's TextStore (core/text_store.h). A write is atomic (a temporary
// beside the file, renamed over it); through a link, the file linked to is
// written. Texts that cannot go where they belong are kept beside the file,
// else in the user's state folder ($XDG_STATE_HOME/orvanta,
// ~/.local/state/orvanta), else in the temporary folder.
//
//     TrackEditor editor(fileText("/demo/demo.tracks"), names, hooks);
#pragma once

#include "text_store.h"

#include <memory>
#include <string>

// The store for the file at `path`; "" gives none (no tracks text).
std::unique_ptr<TextStore> fileText(const std::string& path);
