// tools/common/files: reading and writing whole files, for every tool.
//
//     std::string text, error;
//     if (!readWholeFile(path, text, error, textFileLimit)) { report(error); return 1; }
//     if (!writeFileAtomically(out, bytes, error)) { report(error); return 1; }
//
// A file is written whole or not at all: the bytes go to a temporary file
// beside the target ("NAME.tmp-XXXXXX", a new name created exclusively, so
// that nothing planted under it, a link least of all, is ever opened), every
// write is checked, the file is flushed and closed, and only then renamed
// over the target. Any failure removes the temporary and leaves the target
// as it was.
#pragma once

#include "content_hash.h"

#include <string>
#include <utility>
#include <vector>

// Size limits by kind of file: far above any real one, low enough that a
// wrong file is refused before it costs memory.
constexpr size_t textFileLimit = size_t(8) << 20;  // a score, a tracks text, a shader
constexpr size_t dataFileLimit = size_t(64) << 20; // a font, a track file

// Reads the whole file, a regular file of at most `limit` bytes. A FIFO or a
// device is refused without waiting for a writer or reading a byte.
// Failure: false with `error` "PATH: cannot read: REASON" (a folder, not a
// regular file, larger than the limit, a missing file, a read error).
bool readWholeFile(const std::string& path, std::string& bytes, std::string& error, size_t limit);

// The input in `inputs` that is the same file as `output` (same device and
// inode, whatever the spellings and links), or "" when there is none or
// `output` does not exist yet.
std::string inputWrittenBy(const std::string& output, const std::vector<std::string>& inputs);

// "8 MiB", "64 KiB", "100 bytes": a limit as a usage text states it.
std::string describeSize(size_t bytes);

// Writes `bytes` as the whole file at `path`. Failure: false with `error`
// "cannot write PATH: REASON"; nothing is left under `path` that was not
// there before.
bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string& error);

// Writes several files all or nothing: every temporary is written and
// checked before the first is renamed into place. Failure: false with
// `error` naming the file; no temporary is left, and when a write failed,
// none of the files was touched.
bool writeFilesAtomically(const std::vector<std::pair<std::string, std::string>>& files, std::string& error);

// Writes `bytes` as a new file in `folder`, named `name`, or `name`.2,
// `name`.3, ... when that is taken: an existing file is never replaced.
// Returns the path written, or "" with `error` naming the folder.
std::string writeNewFile(const std::string& folder, const std::string& name, const std::string& bytes,
                         std::string& error);

// A temporary file being written, for writers that hand it to another
// library or program (an encoder, ffmpeg).
struct TemporaryFile {
    int fd = -1;      // open for writing until closed
    std::string path; // beside the target
    int slot = -1;    // held for removal on a signal (cleanup.h)
};

// Creates a new file beside `target`, named TARGET.tmp-XXXXXX`suffix`,
// exclusively (O_EXCL: a name that exists, a link too, is never opened), and
// holds it for removal on a signal. It takes the target's permissions when
// the target exists, else those the umask leaves of 0666. Its descriptor
// holds a lock on it (flock) while it is open: a writer killed outright
// (SIGKILL) leaves it unlocked for sweepStaleTemporaries to find.
// Failure: false with `error` "cannot write TARGET: REASON"; nothing made.
bool createTemporary(const std::string& target, const std::string& suffix, TemporaryFile& file, std::string& error);

// The names of what the folder open as `folderFd` holds, "." and ".."
// aside; none when it cannot be listed. The descriptor stays the caller's.
std::vector<std::string> namesInFolder(int folderFd);

// Removes the temporaries of `target` (TARGET.tmp-XXXXXX`suffix`) that
// writers killed before they could: regular files of this user's that no
// open descriptor holds locked. Returns how many went.
int sweepStaleTemporaries(const std::string& target, const std::string& suffix);

// Renames the temporary over `target` and releases it. Failure: false with
// `error`, the temporary removed.
bool commitTemporary(TemporaryFile& file, const std::string& target, std::string& error);

// Closes and removes the temporary, and releases it.
void discardTemporary(TemporaryFile& file);

// Encodes 8-bit RGBA pixels (top row first, no padding) as PNG and writes it
// as writeFileAtomically does. Failure: as there, or "cannot encode PATH"
// when the encoder fails.
bool writePngAtomically(const std::string& path, int width, int height, const unsigned char* rgba,
                        std::string& error);
