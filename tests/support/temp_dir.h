// A temporary directory, removed with everything in it when the object dies.
#pragma once

#include <string>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    void write(const std::string& name, const std::string& bytes) const;
    void remove(const std::string& name) const;

private:
    std::string path_;
};

// Reads a whole file; empty when it cannot be read.
std::string readFile(const std::string& path);

// Path of a built executable in build/bin.
std::string binary(const std::string& name);
