// tools/common/staging: a tool's staging folder in the temporary folder (the
// live player's, the capture's: a demo laid out as its run folder). It is
// made with a marker saying which process it belongs to, removed on the way
// out (cleanup.h holds it), and swept by a later run of the same tool when
// its own died without removing it, SIGKILL included.
//
//     std::string note, error;
//     const std::string root = stagingRoot(note, error);   // "" on failure
//     if (!note.empty()) tell(note);                       // TMPDIR passed over
//     sweepStaleStaging(root, "orvanta-capture");
//     std::string folder;
//     if (!makeStagingFolder(root, "orvanta-capture", folder, error)) report(error);
//
// The temporary folder is shared: other users and other programs put things
// there, links included. The sweep trusts nothing it finds by its name alone.
#pragma once

#include <string>

// The marker's name inside a staging folder of `program`: ".PROGRAM".
std::string stagingMarker(const std::string& program);

// The folder to make staging folders in: $TMPDIR when it names a writable
// folder, else /tmp, with `note` saying why TMPDIR was passed over.
// Failure: "" with `error` when /tmp is not a writable folder either.
std::string stagingRoot(std::string& note, std::string& error);

// Removes the staging folders in `root` of runs of `program` that are gone.
// A folder is taken only when it is a real folder (not a link), owned by
// this user, named "PROGRAM-PID-XXXXXX", and holds a marker (a regular file
// owned by this user) naming the same program and PID and this PID
// namespace, and no process of that PID exists. A process that exists but
// cannot be signalled (another user's) is not gone, nor is one in another
// PID namespace. From such a folder every link, file and folder of this
// user's goes, never followed (folders four deep at most); anything else
// keeps it. Returns how many folders went.
int sweepStaleStaging(const std::string& root, const std::string& program);

// Makes "ROOT/PROGRAM-PID-XXXXXX", private to this user, with its marker.
// Failure: false with `error` naming the folder; nothing is left.
bool makeStagingFolder(const std::string& root, const std::string& program, std::string& folder, std::string& error);
