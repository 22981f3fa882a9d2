// common/content_hash: a digest of bytes for telling one version of a file
// from another (tunes record their score's; the capture its inputs'). No
// file system in it, so the studio page's worker takes it too.
#pragma once

#include <string>

// 16 hex digits of FNV-1a, 64 bits. It catches changes, not forgeries.
std::string contentHash(const std::string& bytes);
