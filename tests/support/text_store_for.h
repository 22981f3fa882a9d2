// support/text_store_for: the editor's tracks text at `path`, through the
// store of the host the test is built for: the desktop's file store
// (desktop/file_text.h) in the desktop's suite, the page's (studio/page_text.h)
// where the same tests run as the studio's program does, through node.
#pragma once

#include "text_store.h"

#include <memory>
#include <string>

std::unique_ptr<TextStore> textStoreFor(const std::string& path);
