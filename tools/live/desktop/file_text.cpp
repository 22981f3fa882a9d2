#include "file_text.h"

#include "files.h"

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

class FileText final : public TextStore {
public:
    explicit FileText(std::string path) : path_(std::move(path)) {}

    std::string name() const override { return fs::path(path_).filename().string(); }

    bool read(std::string& bytes, std::string& message) override
    {
        return readWholeFile(path_, bytes, message, trackTextLimit);
    }

    bool write(const std::string& text, bool overLink, std::string& message) override
    {
        std::error_code failed;
        const fs::path target = overLink ? fs::path(path_) : fs::canonical(path_, failed);
        return writeFileAtomically(failed ? path_ : target.string(), text, message);
    }

    std::string linkTarget() const override
    {
        struct stat info = {};
        if (lstat(path_.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return "";
        std::error_code ignored;
        const std::string target = fs::read_symlink(path_, ignored).string();
        return target.empty() ? path_ : target;
    }

    std::string keepBeside(const std::string& suffix, const std::string& text, std::string& message) override
    {
        return writeNewFile(fs::path(path_).parent_path().string(), name() + "." + suffix, text, message);
    }

    std::string keepElsewhere(const std::string& text) override
    {
        std::vector<std::string> folders;
        const char* state = std::getenv("XDG_STATE_HOME");
        const char* home = std::getenv("HOME");
        if (state && *state == '/') folders.push_back(std::string(state) + "/orvanta");
        else if (home && *home == '/') folders.push_back(std::string(home) + "/.local/state/orvanta");
        const bool stateFolder = !folders.empty();
        const char* temporary = std::getenv("TMPDIR");
        folders.push_back(temporary && *temporary == '/' ? temporary : "/tmp");
        for (size_t f = 0; f < folders.size(); ++f) {
            std::error_code ignored;
            if (f == 0 && stateFolder) fs::create_directories(folders[f], ignored);
            std::string message;
            const std::string written = writeNewFile(folders[f], name() + ".unsaved", text, message);
            if (!written.empty()) return written;
        }
        return "";
    }

private:
    std::string path_;
};

} // namespace

std::unique_ptr<TextStore> fileText(const std::string& path)
{
    if (path.empty()) return nullptr;
    return std::make_unique<FileText>(path);
}
