// orvanta-new: makes a new demo folder from the template it carries. The
// folder is made whole beside the target under a name of its own and then
// renamed into place, so that an interrupted run leaves nothing behind.
#include "cleanup.h"
#include "template_files.h"
#include "usage.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const usage =
    "Usage: orvanta-new DIR\n"
    "Makes DIR a new demo folder: one ray-marched scene with two parameters (glow, and\n"
    "tint, a colour), 8 bars of music for tunegen, a tracks text with keys on them, a\n"
    "logo text and a README; demo.toml names them all. DIR is a new name or an empty\n"
    "folder: a file, a link or a folder with anything in it is refused, and nothing is\n"
    "written. Then: orvanta-live DIR\n"
    "  --help   this text\n";

int fail(const std::string& message)
{
    std::fprintf(stderr, "orvanta-new: %s\n", message.c_str());
    return 1;
}

std::string reason()
{
    return std::strerror(errno);
}

// Whether `path` is a folder with nothing in it.
bool emptyFolder(const std::string& path)
{
    DIR* folder = opendir(path.c_str());
    if (!folder) return false;
    bool empty = true;
    while (const dirent* entry = readdir(folder)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) empty = false;
    }
    closedir(folder);
    return empty;
}

// The demo's name in its manifest and logo: the folder's own name where it
// is a plain one.
std::string demoName(const std::string& path)
{
    std::string base = path;
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    base = base.substr(base.rfind('/') == std::string::npos ? 0 : base.rfind('/') + 1);
    if (base.empty() || base.size() > 24) return "mydemo";
    for (char c : base) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-') return "mydemo";
    }
    return base;
}

std::string withName(const std::string& text, const std::string& name)
{
    std::string out = text, upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const auto& [from, to] : {std::make_pair(std::string("\"mydemo\""), "\"" + name + "\""),
                                   std::make_pair(std::string("\"MYDEMO\""), "\"" + upper + "\"")}) {
        const size_t at = out.find(from);
        if (at != std::string::npos) out.replace(at, from.size(), to);
    }
    return out;
}

bool writeNew(const std::string& path, const std::string& bytes, std::string& error)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = "cannot write " + path + ": " + reason();
        return false;
    }
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            error = "cannot write " + path + ": " + reason();
            close(fd);
            return false;
        }
        done += static_cast<size_t>(n);
    }
    if (fsync(fd) != 0 || close(fd) != 0) {
        error = "cannot write " + path + ": " + reason();
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    std::string target;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(usage, stdout);
            return 0;
        }
        if (arg.size() > 1 && arg[0] == '-') return usageError("orvanta-new", "unknown option '" + arg + "'", usage);
        if (!target.empty()) return usageError("orvanta-new", "one folder at a time ('" + arg + "' is a second)", usage);
        target = arg;
    }
    if (target.empty()) return usageError("orvanta-new", "no folder named", usage);
    endOnSignals();

    struct stat info = {};
    if (lstat(target.c_str(), &info) == 0) {
        if (S_ISLNK(info.st_mode)) return fail(target + ": is a link; name a new folder");
        if (!S_ISDIR(info.st_mode)) return fail(target + ": is not a folder");
        if (!emptyFolder(target)) return fail(target + ": is not empty; name a new folder or an empty one");
    } else if (errno != ENOENT) {
        return fail(target + ": " + reason());
    }

    const size_t slash = target.find_last_of('/');
    const std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    std::string made = parent + "/.orvanta-new-XXXXXX";
    if (!mkdtemp(made.data())) return fail("cannot make a folder in " + parent + ": " + reason());
    const int held = holdFolder(made);
    const mode_t mask = umask(0);
    umask(mask);
    std::string error;
    bool ok = chmod(made.c_str(), 0777 & ~mask) == 0;
    if (!ok) error = "cannot make " + made + ": " + reason();
    const std::string name = demoName(target);
    for (size_t i = 0; ok && i < templateFileCount; ++i) {
        std::string bytes(reinterpret_cast<const char*>(templateFiles[i].bytes), templateFiles[i].size);
        if (std::strcmp(templateFiles[i].name, "demo.toml") == 0) bytes = withName(bytes, name);
        ok = writeNew(made + "/" + templateFiles[i].name, bytes, error);
    }
    // Said of the folder the maker named, not of the one it is made in.
    for (size_t at; !ok && (at = error.find(made)) != std::string::npos;) error.replace(at, made.size(), target);
    // An empty folder at the target is replaced whole.
    if (ok && rename(made.c_str(), target.c_str()) != 0) {
        ok = false;
        error = "cannot make " + target + ": " + reason();
    }
    if (!ok) {
        cleanUpNow();
        return fail(error);
    }
    releaseFolder(held);
    std::printf("made %s: demo '%s', one scene, 8 bars; play it with orvanta-live %s\n", target.c_str(), name.c_str(),
                target.c_str());
    return 0;
}
