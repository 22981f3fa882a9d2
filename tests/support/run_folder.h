// A scratch copy of the run folder (build/run) in a temporary directory, for
// tests that change, add or remove the files the program reads. Removed with
// everything in it when the object dies, as every TempDir is.
#pragma once

#include "support/temp_dir.h"

class RunFolder : public TempDir {
public:
    RunFolder(); // copies every file of the built run folder
};
