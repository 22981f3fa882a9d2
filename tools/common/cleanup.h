// tools/common/cleanup: what a tool leaves behind while it works (temporary
// files, child processes) goes with it, however it ends.
//
//     endOnSignals();                             // early in main
//     const int file = holdTemporary(temporary);  // while it is written
//     ... rename it into place ...
//     releaseTemporary(file);
//
// SIGINT, SIGTERM and SIGHUP then end the tool at once, with the signal's
// own status (130, 143, 129 to a shell), after ending the children it holds
// and removing the files and folders it holds. SIGXFSZ is ignored: a write
// past a file-size limit fails as a full disk's does, and is reported. A tool that leaves another way calls
// cleanUpNow() first. At most 16 of each are held at a time; slots are
// meant for the short spans in which a file or a child exists.
#pragma once

#include <csignal>
#include <string>
#include <sys/types.h>

// Installs the handlers. Call once, before the first file or child.
void endOnSignals();

// Holds a temporary file for removal; returns its slot, or -1 when all are
// taken (the file is then not removed on a signal).
int holdTemporary(const std::string& path);
void releaseTemporary(int slot);

// Holds a folder the tool made, to be removed with the links and files in
// it (not folders: with one of those in it, the folder stays), without
// following a link. Returns its slot, or -1 when all are taken.
int holdFolder(const std::string& path);
void releaseFolder(int slot);

// Holds a child process to be ended with `signal` and waited for: SIGTERM
// for one that must tidy up after itself (an X server's lock files), SIGKILL
// for one whose work is thrown away and would take its time to finish it.
// With `group`, the child leads a process group of its own, which is ended
// with it.
int holdChild(pid_t pid, int signal = SIGTERM, bool group = false);
void releaseChild(int slot);

// Ends the children and removes the files and then the folders held now,
// and releases them.
// Safe in a signal handler.
void cleanUpNow();
