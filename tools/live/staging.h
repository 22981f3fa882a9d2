// live/staging: the player's staging folder in the temporary folder. It is
// made with a marker saying which player it belongs to, removed on the way
// out, and swept by a later player when its own died without removing it.
//
//     std::string note, error;
//     const std::string root = stagingRoot(note, error);   // "" on failure
//     if (!note.empty()) tell(note);                       // TMPDIR passed over
//     sweepStaleStaging(root);
//     std::string folder;
//     if (!makeStagingFolder(root, folder, error)) report(error);
//
// The temporary folder is shared: other users and other programs put things
// there, links included. The sweep trusts nothing it finds by its name alone.
#pragma once

#include <string>

// The marker's name inside a staging folder.
extern const char* const stagingMarker;

// The folder to make staging folders in: $TMPDIR when it names a writable
// folder, else /tmp, with `note` saying why TMPDIR was passed over.
// Failure: "" with `error` when /tmp is not a writable folder either.
std::string stagingRoot(std::string& note, std::string& error);

// Removes the staging folders in `root` of players that are gone. A folder
// is taken only when it is a real folder (not a link), owned by this user,
// named "orvanta-live-PID-XXXXXX", and holds a marker (a regular file owned
// by this user) naming the same PID and this PID namespace, and no process
// of that PID exists. A process that exists but cannot be signalled
// (another user's) is not gone, nor is one in another PID namespace. From
// such a folder only links and the marker are removed, never followed; a
// folder holding anything else stays. Returns how many folders went.
int sweepStaleStaging(const std::string& root);

// Makes "ROOT/orvanta-live-PID-XXXXXX", private to this user, with its
// marker. Failure: false with `error` naming the folder; nothing is left.
bool makeStagingFolder(const std::string& root, std::string& folder, std::string& error);
