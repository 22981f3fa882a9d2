// A scratch copy of the run folder (build/run) in a temporary directory, for
// tests that change, add or remove the files the program reads.
#pragma once

#include "support/temp_dir.h"

#include <string>

class RunFolder {
public:
    RunFolder();  // copies every file of the built run folder
    ~RunFolder(); // removes the copy
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    void write(const std::string& name, const std::string& bytes) const;
    void remove(const std::string& name) const;

private:
    std::string path_;
};
