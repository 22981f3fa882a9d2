// The install: this build's install rules run into scratch prefixes (as one
// component, so that the manifest a maker's own `make install` wrote stays
// as it is), the installed programs started from / with nothing of the
// build's around them, and the uninstall.
#include "support/demo_process.h"
#include "support/temp_dir.h"
#include "support/x_server.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string buildDir = fs::canonical(fs::path(ORVANTA_BIN_DIR) / "..").string();
const std::string manifest = buildDir + "/install_manifest_orvanta.txt";

ToolRun install(const std::string& prefix)
{
    return runTool({"cmake", "--install", buildDir, "--prefix", prefix, "--component", "orvanta"}, 120.0);
}

ToolRun uninstall()
{
    return runTool({"cmake", "-DMANIFEST=" + manifest, "-P", std::string(ORVANTA_SOURCE_DIR) + "/scripts/uninstall.cmake"},
                   60.0);
}

// Every path under `root`, relative to it, with each file's size.
std::set<std::string> tree(const fs::path& root)
{
    std::set<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        std::string path = fs::relative(entry.path(), root).string();
        if (entry.is_regular_file()) path += " " + std::to_string(entry.file_size());
        paths.insert(path);
    }
    return paths;
}

} // namespace

TEST(Install, APrefixOfItsOwnPlaysFromAnywhereAndUninstallsToWhatWasThere)
{
    TempDir prefix, out;
    // A prefix already in use: its bin/ holds another program.
    fs::create_directory(prefix.file("bin"));
    prefix.write("bin/theirs", "#!/bin/sh\n");
    const std::set<std::string> before = tree(prefix.path());

    const ToolRun first = install(prefix.path());
    ASSERT_EQ(first.status, 0) << first.out << first.err;
    for (const char* file : {"bin/orvanta", "bin/orvanta-screen", "bin/orvanta-screen-reduced", "bin/orvanta-live",
                             "bin/orvanta-capture", "bin/orvanta-new", "bin/synctool", "bin/tunegen", "bin/logogen",
                             "libexec/orvanta/orvanta", "share/orvanta/demo.toml", "share/orvanta/tune.ogg",
                             "share/orvanta/sync_scene.track", "share/man/man1/orvanta.1",
                             "share/man/man1/orvanta-live.1", "share/doc/orvanta/making-a-demo.md",
                             "share/doc/orvanta/contact-sheet.jpg"}) {
        EXPECT_TRUE(fs::exists(prefix.file(file))) << file;
    }
    EXPECT_EQ(access(prefix.file("bin/orvanta").c_str(), X_OK), 0);
    // Installed twice over itself: the same files, nothing else.
    const std::set<std::string> installed = tree(prefix.path());
    const ToolRun second = install(prefix.path());
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(tree(prefix.path()), installed);

    // The capture from /, on the installed data: the same still as the
    // build's run folder gives.
    const ToolRun still = runTool({prefix.file("bin/orvanta-capture"), "--stills", "200", "--size", "160x90", "--out",
                                   out.file("installed/")},
                                  120.0, "/");
    ASSERT_EQ(still.status, 0) << still.err;
    const ToolRun reference = runTool({binary("orvanta-capture"), "--stills", "200", "--size", "160x90", "--out",
                                       out.file("built/")},
                                      120.0, ORVANTA_RUN_DIR);
    ASSERT_EQ(reference.status, 0) << reference.err;
    EXPECT_EQ(readFile(out.file("installed/row_200.png")), readFile(out.file("built/row_200.png")));

    // The player and a demo's launcher from /, in a display of their own.
    XServer server(320, 180);
    {
        ChildOptions options;
        // The window fills the display, so that it has the keyboard.
        options.argv = {prefix.file("bin/orvanta-live"), "--window", "320x180"};
        options.workingDirectory = "/";
        options.environment = glChildEnvironment();
        options.environment.push_back({"DISPLAY", server.display()});
        options.environment.push_back({"SDL_AUDIODRIVER", "none"});
        ChildProcess live(options);
        const std::string watched = "watching " + fs::canonical(prefix.path()).string() + "/share/orvanta";
        EXPECT_TRUE(live.waitForStdout(watched, 60.0)) << live.out() << live.err();
        EXPECT_TRUE(live.waitForStdout("; scene:", 60.0)) << live.err();
        pressKeys(server.display(), {"Escape"});
        EXPECT_EQ(live.waitExit(20.0).value_or(-1), 0) << live.err();
    }
    {
        ChildOptions options;
        options.argv = {"stdbuf", "-oL", prefix.file("bin/orvanta")};
        options.workingDirectory = "/";
        options.environment = glChildEnvironment();
        options.environment.push_back({"DISPLAY", server.display()});
        options.environment.push_back({"SDL_AUDIODRIVER", "none"});
        ChildProcess demo(options);
        ASSERT_TRUE(demo.waitForStdout("; scene:", 60.0)) << demo.out() << demo.err();
        EXPECT_EQ(demo.out().rfind(expectedStartupTranscript(), 0), 0u) << "the same start-up as the build's";
        pressKeys(server.display(), {"Escape"});
        EXPECT_EQ(demo.waitExit(20.0).value_or(-1), 0);
    }
    // The launcher takes no options but its own.
    const ToolRun odd = runTool({prefix.file("bin/orvanta-screen"), "--fast"}, 10.0);
    EXPECT_EQ(odd.status, 2);
    EXPECT_NE(odd.err.find("takes no options"), std::string::npos) << odd.err;

    // Uninstalled: what was there before, no more and no less.
    const ToolRun removed = uninstall();
    ASSERT_EQ(removed.status, 0) << removed.err;
    EXPECT_EQ(tree(prefix.path()), before);
    EXPECT_FALSE(fs::exists(manifest));

    // Staged under DESTDIR, as a package's build does it: the files land
    // under the stage, and the uninstall removes them from there, never a
    // file of the same name at the prefix itself.
    TempDir stage;
    prefix.write("bin/synctool", "the system's own\n");
    const ToolRun staged =
        runTool({"env", "DESTDIR=" + stage.path(), "cmake", "--install", buildDir, "--prefix", prefix.path(), "--component",
                 "orvanta"},
                120.0);
    ASSERT_EQ(staged.status, 0) << staged.err;
    EXPECT_TRUE(fs::exists(stage.path() + prefix.path() + "/bin/synctool"));
    EXPECT_TRUE(fs::exists(stage.path() + prefix.path() + "/share/orvanta/demo.toml"));
    EXPECT_FALSE(fs::exists(prefix.file("share")));

    ASSERT_EQ(uninstall().status, 0);
    EXPECT_TRUE(fs::is_empty(stage.path())) << "the folders the install made went with it";
    EXPECT_EQ(readFile(prefix.file("bin/synctool")), "the system's own\n");
}

// A prefix that cannot be written is refused before a file is copied, with
// a message that says where and what to do.
TEST(Install, APrefixThatCannotBeWrittenIsRefusedBeforeAnyCopy)
{
    TempDir scratch;
    scratch.write("plain", "a file, not a folder\n");
    const ToolRun underAFile = install(scratch.file("plain/usr"));
    EXPECT_NE(underAFile.status, 0);
    EXPECT_NE(underAFile.err.find("cannot install into " + scratch.file("plain/usr")), std::string::npos) << underAFile.err;
    EXPECT_NE(underAFile.err.find("Nothing was installed"), std::string::npos) << underAFile.err;
    EXPECT_EQ(readFile(scratch.file("plain")), "a file, not a folder\n");

    // A prefix whose bin/ may be written but whose share/ may not: found
    // out before bin/ gets anything. (Root writes anywhere: not for root.)
    if (geteuid() != 0) {
        fs::create_directories(scratch.file("prefix/bin"));
        fs::create_directories(scratch.file("prefix/share"));
        fs::permissions(scratch.file("prefix/share"), fs::perms::owner_read | fs::perms::owner_exec);
        const ToolRun readOnly = install(scratch.file("prefix"));
        fs::permissions(scratch.file("prefix/share"), fs::perms::owner_all);
        EXPECT_NE(readOnly.status, 0);
        EXPECT_NE(readOnly.err.find(scratch.file("prefix/share")), std::string::npos) << readOnly.err;
        EXPECT_TRUE(fs::is_empty(scratch.file("prefix/bin")));
        EXPECT_TRUE(fs::is_empty(scratch.file("prefix/share")));
    }
}

