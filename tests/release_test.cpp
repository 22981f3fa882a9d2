// The release: packed by scripts/release.sh, unpacked into a temporary
// folder, each executable started from another current directory with no
// library path of its own, in its own X server; and the libraries and symbol
// versions it needs, read with readelf.
#include "support/demo_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// A build folder whose run folder holds absolute links to the build's own
// files, as a maker's may.
void linkBuild(TempDir& build)
{
    const fs::path real = fs::canonical(fs::path(ORVANTA_BIN_DIR) / "..");
    for (const char* folder : {"bin", "launch", "man"}) fs::create_directory_symlink(real / folder, build.file(folder));
    if (fs::exists(real / "web")) fs::create_directory_symlink(real / "web", build.file("web"));
    fs::create_directory(build.file("run"));
    for (const auto& entry : fs::directory_iterator(real / "run")) {
        fs::create_symlink(entry.path(), fs::path(build.file("run")) / entry.path().filename());
    }
}

} // namespace

// A FIFO in the run folder and a version of two lines are refused before
// anything is packed.
TEST(Release, RefusesWhatIsNotAFileAndAVersionOfManyLines)
{
    TempDir build, out;
    linkBuild(build);
    const std::string script = std::string(ORVANTA_SOURCE_DIR) + "/scripts/release.sh";
    const ToolRun twoLines = runTool({"env", "ORVANTA_VERSION=1.0\nrm", "bash", script, build.path(), out.path()}, 60.0);
    EXPECT_EQ(twoLines.status, 2) << twoLines.err;
    ASSERT_EQ(mkfifo(build.file("run/pipe").c_str(), 0600), 0);
    const ToolRun fifo = runTool({"env", "ORVANTA_VERSION=1.0", "bash", script, build.path(), out.path()}, 60.0);
    EXPECT_EQ(fifo.status, 1);
    EXPECT_NE(fifo.err.find("run/pipe"), std::string::npos) << fifo.err;
    EXPECT_TRUE(fs::is_empty(out.path()));
}

TEST(Release, UnpackedAnywhereItPlaysOnWhatAStockDesktopHas)
{
    TempDir out, build;
    linkBuild(build);
    // Packed under a strict umask, with a version from a tag holding a '/',
    // from a run folder of links: each goes in as the file it names.
    const ToolRun packed = runTool({"bash", "-c", "umask 077 && ORVANTA_VERSION=release/9.9 exec bash \"$0\" \"$@\"",
                                    std::string(ORVANTA_SOURCE_DIR) + "/scripts/release.sh", build.path(), out.path()},
                                   300.0);
    ASSERT_EQ(packed.status, 0) << packed.err;
    const std::string tarball = lines(packed.out).back();
    EXPECT_EQ(tarball, out.file("orvanta-release-9.9-linux-x86_64.tar.gz"));
    EXPECT_TRUE(fs::exists(out.file("orvanta-release-9.9-linux-x86_64-debug.tar.gz")));
    // Modes as a release has them, whatever the packer's umask.
    for (const std::string& line : lines(runTool({"tar", "-tvzf", tarball}, 120.0).out)) {
        const std::string mode = line.substr(0, 10), path = line.substr(line.rfind(' ') + 1);
        const bool program = path.find("/bin/") != std::string::npos || path.find("/libexec/orvanta/") != std::string::npos;
        EXPECT_EQ(mode, path.back() == '/' ? "drwxr-xr-x" : program ? "-rwxr-xr-x" : "-rw-r--r--") << line;
    }
    TempDir unpacked;
    ASSERT_EQ(runTool({"tar", "-C", unpacked.path(), "-xzf", tarball}, 120.0).status, 0);
    std::vector<fs::path> folders(fs::directory_iterator(unpacked.path()), fs::directory_iterator());
    ASSERT_EQ(folders.size(), 1u);
    const fs::path root = folders[0];
    // Laid out as `make install` lays out a prefix.
    for (const char* file : {"README.txt", "share/orvanta/tune.ogg", "share/orvanta/demo.toml", "bin/orvanta-screen",
                             "libexec/orvanta/orvanta-screen", "share/man/man1/orvanta-screen-reduced.1"}) {
        EXPECT_TRUE(fs::exists(root / file)) << file;
    }

    // Every library a file needs is stock or ships in lib/.
    const std::regex stock("(linux-vdso|ld-linux.*|libc|libm|libdl|libpthread|librt|libstdc\\+\\+|libgcc_s|libGL|"
                           "libGLX|libGLdispatch|libOpenGL|libEGL|libgbm|libdrm|libX.*|libxcb.*|libxkbcommon|"
                           "libwayland-.*|libdbus-1|libsystemd|libasound|libpulse.*|libexpat|libffi|libz)\\.so.*");
    std::set<std::string> shipped;
    for (const auto& entry : fs::directory_iterator(root / "lib")) shipped.insert(entry.path().filename());
    for (const char* library : {"libglut.so.3.12", "libGLEW.so.2.2", "libSDL2-2.0.so.0", "libvorbisfile.so.3"}) {
        EXPECT_TRUE(shipped.count(library)) << library;
    }
    std::vector<fs::path> files;
    for (const auto& folder : {root / "libexec/orvanta", root / "lib"}) {
        for (const auto& entry : fs::directory_iterator(folder)) files.push_back(entry.path());
    }
    const std::regex needed(".*\\(NEEDED\\).*\\[(.*)\\]"), version(".*Name: GLIBC_2\\.([0-9]+).*");
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        for (const std::string& line : lines(runTool({"readelf", "-d", file}, 30.0).out)) {
            std::smatch match;
            if (!std::regex_match(line, match, needed)) continue;
            if (!std::regex_match(match[1].str(), stock)) {
                EXPECT_TRUE(shipped.count(match[1].str())) << match[1];
            }
            EXPECT_FALSE(shipped.count(match[1].str()) && std::regex_match(match[1].str(), stock)) << "ships " << match[1];
        }
        for (const std::string& line : lines(runTool({"readelf", "-V", "--wide", file}, 30.0).out)) {
            std::smatch match;
            if (std::regex_match(line, match, version)) {
                EXPECT_LE(std::stoi(match[1]), 35) << line;
            }
        }
    }

    // Stripped, with no trace of the machine that built them.
    for (const char* executable : {"orvanta", "orvanta-screen", "orvanta-screen-reduced"}) {
        SCOPED_TRACE(executable);
        const fs::path program = root / "libexec/orvanta" / executable;
        const std::string sections = runTool({"readelf", "-S", "--wide", program}, 30.0).out;
        EXPECT_EQ(sections.find(".debug_info"), std::string::npos);
        EXPECT_EQ(sections.find(".symtab"), std::string::npos);
        EXPECT_NE(sections.find(".gnu_debuglink"), std::string::npos);
        EXPECT_EQ(readFile(program).find(ORVANTA_SOURCE_DIR), std::string::npos);
    }

    // The web folder, where the build has one, packed whole beside it (the
    // build's marker of its own folder aside).
    const fs::path web = fs::path(ORVANTA_BIN_DIR) / ".." / "web";
    if (fs::exists(web / "index.html")) {
        std::set<std::string> folder, packed;
        for (const auto& entry : fs::recursive_directory_iterator(web)) {
            if (entry.is_regular_file() && entry.path().filename() != ".orvanta-web") {
                folder.insert("orvanta-release-9.9-web/" + fs::relative(entry.path(), web).string());
            }
        }
        for (const std::string& name : lines(runTool({"python3", "-c", "import sys, zipfile; print(*zipfile.ZipFile(sys.argv[1]).namelist(), sep='\\n')",
                                                      out.file("orvanta-release-9.9-web.zip")}, 30.0).out)) {
            packed.insert(name);
        }
        EXPECT_EQ(packed, folder);
    }

    // A user's library path holding another library under a shipped name
    // does not take the shipped one's place.
    TempDir other;
    fs::copy_file("/lib/x86_64-linux-gnu/libz.so.1", other.file("libglut.so.3.12"));
    for (const char* executable : {"orvanta", "orvanta-screen", "orvanta-screen-reduced"}) {
        SCOPED_TRACE(executable);
        XServer server(320, 180);
        ChildOptions options;
        options.argv = {"stdbuf", "-oL", (root / "bin" / executable).string()};
        options.workingDirectory = "/";
        options.environment = {{"DISPLAY", server.display()}, {"LD_LIBRARY_PATH", other.path()},
                               {"SDL_AUDIODRIVER", "none"}};
        ChildProcess demo(options);
        ASSERT_TRUE(demo.waitForStdout("; scene:", 60.0)) << demo.out() << demo.err();
        EXPECT_EQ(demo.out().rfind(expectedStartupTranscript(), 0), 0u) << "the same start-up as the build's";
        pressKeys(server.display(), {"Escape"});
        EXPECT_EQ(demo.waitExit(60.0).value_or(-1), 0);
    }
}

// A demo folder's release: named after its manifest's name and version as
// the manifest reader reads them (a name in single quotes too, and never
// after a scene's name), with orvanta-play and the folder laid out as its
// data, playing from anywhere as Orvanta's does.
TEST(Release, AFolderDemoShipsWithItsOwnPlayer)
{
    TempDir work;
    const std::string demo = work.file("glowy");
    ASSERT_EQ(runTool({binary("orvanta-new"), demo}, 30.0).status, 0);
    std::string manifest = readFile(demo + "/demo.toml");
    manifest.replace(manifest.find("name = \"glowy\""), 14, "name = 'glowy'\nversion = \"3.1\"");
    std::ofstream(demo + "/demo.toml", std::ios::trunc) << manifest;
    TempDir out;
    const ToolRun packed = runTool({"env", "-u", "ORVANTA_VERSION", "bash", std::string(ORVANTA_SOURCE_DIR) + "/scripts/release.sh",
                                    fs::canonical(fs::path(ORVANTA_BIN_DIR) / "..").string(), out.path(), demo},
                                   300.0);
    ASSERT_EQ(packed.status, 0) << packed.err;
    const std::string tarball = out.file("glowy-3.1-linux-x86_64.tar.gz");
    ASSERT_TRUE(fs::exists(tarball)) << packed.out;
    EXPECT_FALSE(fs::exists(out.file("glowy-3.1-web.zip"))) << "the build's page is Orvanta's, not the folder's";
    TempDir unpacked;
    ASSERT_EQ(runTool({"tar", "-C", unpacked.path(), "-xzf", tarball}, 120.0).status, 0);
    const fs::path root = fs::path(unpacked.path()) / "glowy-3.1-linux-x86_64";
    for (const char* file : {"bin/orvanta-play", "libexec/orvanta/orvanta-play", "share/orvanta/demo/demo.toml",
                             "share/orvanta/scene.fsh", "share/orvanta/sync_glow.track", "share/orvanta/tune.ogg",
                             "share/orvanta/logo.png", "README.txt"}) {
        EXPECT_TRUE(fs::exists(root / file)) << file;
    }
    EXPECT_FALSE(fs::exists(root / "bin/orvanta"));
    EXPECT_NE(readFile((root / "README.txt").string()).find("bin/orvanta-play"), std::string::npos);

    XServer server(320, 180);
    ChildOptions options;
    options.argv = {"stdbuf", "-oL", (root / "bin/orvanta-play").string()};
    options.workingDirectory = "/";
    options.environment = {{"DISPLAY", server.display()}, {"SDL_AUDIODRIVER", "none"}};
    ChildProcess player(options);
    ASSERT_TRUE(player.waitForStdout("; scene:", 60.0)) << player.out() << player.err();
    EXPECT_NE(player.out().find("scene.fsh"), std::string::npos) << "the folder's shaders, not Orvanta's";
    pressKeys(server.display(), {"Escape"});
    EXPECT_EQ(player.waitExit(60.0).value_or(-1), 0);
}
