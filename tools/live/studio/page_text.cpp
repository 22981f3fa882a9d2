#include "page_text.h"

#include <emscripten.h>

#include <cstdio>
#include <sys/stat.h>

namespace {

// The page keeps the folder's file: the studio's storage, or in the page
// until it can.
EM_JS(void, pageKeep, (const char* name), {
    if (Module.studioKeep) Module.studioKeep(UTF8ToString(name));
});

bool readAll(const std::string& path, std::string& bytes, std::string& message, const std::string& name)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        message = name + ": not in the demo";
        return false;
    }
    bytes.clear();
    char buffer[65536];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        if (bytes.size() + got > trackTextLimit) {
            std::fclose(file);
            message = name + ": larger than " + std::to_string(trackTextLimit >> 20) + " MiB";
            return false;
        }
        bytes.append(buffer, got);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) message = name + ": cannot be read";
    return !failed;
}

bool writeAll(const std::string& path, const std::string& text)
{
    const std::string temporary = path + ".writing";
    FILE* file = std::fopen(temporary.c_str(), "wbx");
    if (!file) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

class PageText final : public TextStore {
public:
    PageText(std::string folder, std::string name) : folder_(std::move(folder)), name_(std::move(name)) {}

    std::string name() const override { return name_; }

    bool read(std::string& bytes, std::string& message) override
    {
        return readAll(folder_ + "/" + name_, bytes, message, name_);
    }

    bool write(const std::string& text, bool, std::string& message) override
    {
        if (!writeAll(folder_ + "/" + name_, text)) {
            message = name_ + ": the page's memory took nothing";
            return false;
        }
        pageKeep(name_.c_str());
        return true;
    }

    std::string linkTarget() const override { return ""; }

    std::string keepBeside(const std::string& suffix, const std::string& text, std::string& message) override
    {
        // NAME.SUFFIX, then NAME.SUFFIX.2, .3, ... as on the desktop.
        for (int n = 1; n < 100; ++n) {
            const std::string kept = name_ + "." + suffix + (n > 1 ? "." + std::to_string(n) : "");
            const std::string path = folder_ + "/" + kept;
            struct stat taken = {};
            if (lstat(path.c_str(), &taken) == 0) continue; // never over anything

            if (!writeAll(path, text)) break;
            pageKeep(kept.c_str());
            return kept;
        }
        message = name_ + "." + suffix + ": the page's memory took nothing";
        return "";
    }

    std::string keepElsewhere(const std::string&) override { return ""; }

private:
    std::string folder_;
    std::string name_;
};

} // namespace

std::unique_ptr<TextStore> pageText(const std::string& folder, const std::string& name)
{
    if (name.empty()) return nullptr;
    return std::make_unique<PageText>(folder, name);
}
