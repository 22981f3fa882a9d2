// live/studio/page_text: the editor's tracks text in the studio, the page's
// TextStore (core/text_store.h). The demo's files lie in the program's
// in-memory file system, where the page put them from the browser's
// storage; a write replaces the text there and tells the page, which keeps
// it in the browser's storage (and says when that fails: the text stays in
// the page). There are no links in the page's folders.
//
//     TrackEditor editor(pageText("/demo", "demo.tracks"), names, hooks);
#pragma once

#include "text_store.h"

#include <memory>
#include <string>

// The store for `folder`/`name`; "" gives none (no tracks text).
std::unique_ptr<TextStore> pageText(const std::string& folder, const std::string& name);
