// The install: this build's install (scripts/install.py, which `make
// install` and `cmake --install` run) into scratch prefixes, each recorded
// on its own beside the maker's own; the installed programs started from /
// with nothing of the build's around them; the uninstall; and what neither
// may ever replace or remove.
#include "support/demo_process.h"
#include "support/temp_dir.h"
#include "support/x_server.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string buildDir = fs::canonical(fs::path(ORVANTA_BIN_DIR) / "..").string();
const std::string installer = std::string(ORVANTA_SOURCE_DIR) + "/scripts/install.py";

// The install as `make install` and `cmake --install` run it, with DESTDIR
// when one is given.
ToolRun install(const std::string& prefix, const std::string& destdir = "")
{
    return runTool({"env", "DESTDIR=" + destdir, installer, "install", buildDir, "--prefix", prefix}, 120.0);
}

ToolRun uninstall(const std::string& prefix, const std::string& destdir = "")
{
    return runTool({"env", "DESTDIR=" + destdir, installer, "uninstall", buildDir, "--prefix", prefix}, 60.0);
}

// Starts a launcher from / in `server`, waits for its first frame and ends it
// with Escape; its standard output, or "" when it never drew.
std::string playFromRoot(const std::string& launcher, const XServer& server)
{
    ChildOptions options;
    options.argv = {"stdbuf", "-oL", launcher};
    options.workingDirectory = "/";
    options.environment = glChildEnvironment();
    options.environment.push_back({"DISPLAY", server.display()});
    options.environment.push_back({"SDL_AUDIODRIVER", "none"});
    ChildProcess demo(options);
    const bool drew = demo.waitForStdout("; scene:", 60.0);
    EXPECT_TRUE(drew) << launcher << ": " << demo.out() << demo.err();
    pressKeys(server.display(), {"Escape"});
    EXPECT_EQ(demo.waitExit(60.0).value_or(-1), 0) << launcher;
    return drew ? demo.out() : "";
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
        EXPECT_EQ(live.waitExit(60.0).value_or(-1), 0) << live.err();
    }
    EXPECT_EQ(playFromRoot(prefix.file("bin/orvanta"), server).rfind(expectedStartupTranscript(), 0), 0u)
        << "the same start-up as the build's";
    // The launcher takes no options but its own.
    const ToolRun odd = runTool({prefix.file("bin/orvanta-screen"), "--fast"}, 10.0);
    EXPECT_EQ(odd.status, 2);
    EXPECT_NE(odd.err.find("takes no options"), std::string::npos) << odd.err;

    // Uninstalled: what was there before, no more and no less.
    const ToolRun removed = uninstall(prefix.path());
    ASSERT_EQ(removed.status, 0) << removed.err;
    EXPECT_EQ(tree(prefix.path()), before);
    EXPECT_NE(uninstall(prefix.path()).err.find("nothing to uninstall"), std::string::npos);

    // Staged under DESTDIR, as a package's build does it: the files land
    // under the stage, and the uninstall removes them from there, never a
    // file of the same name at the prefix itself.
    TempDir stage;
    prefix.write("bin/synctool", "the system's own\n");
    const ToolRun staged = install(prefix.path(), stage.path());
    ASSERT_EQ(staged.status, 0) << staged.err;
    EXPECT_TRUE(fs::exists(stage.path() + prefix.path() + "/bin/synctool"));
    EXPECT_TRUE(fs::exists(stage.path() + prefix.path() + "/share/orvanta/demo.toml"));
    EXPECT_FALSE(fs::exists(prefix.file("share")));

    ASSERT_EQ(uninstall(prefix.path(), stage.path()).status, 0);
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


// What was there before an install is never replaced, and what a user
// changed after it is never lost: refused, kept aside, kept by the
// uninstall. Two prefixes installed from one build are two records.
TEST(Install, NothingThatIsNotThisBuildsIsReplacedOrRemoved)
{
    TempDir prefix, other;
    fs::create_directories(prefix.file("bin"));
    prefix.write("bin/synctool", "a user's own synctool\n");
    const ToolRun refused = install(prefix.path());
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find(prefix.file("bin/synctool")), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("Nothing was installed"), std::string::npos) << refused.err;
    EXPECT_EQ(readFile(prefix.file("bin/synctool")), "a user's own synctool\n");
    EXPECT_FALSE(fs::exists(prefix.file("share"))) << "refused before the first folder is made";

    prefix.remove("bin/synctool");
    ASSERT_EQ(install(prefix.path()).status, 0);
    ASSERT_EQ(install(other.path()).status, 0);
    const std::string shader = prefix.file("share/orvanta/AA.fsh");
    const std::string shipped = readFile(shader);
    {
        std::ofstream edit(shader, std::ios::app);
        edit << "// a maker's note\n";
    }
    const ToolRun again = install(prefix.path());
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_NE(again.out.find("kept " + shader + ".edited"), std::string::npos) << again.out;
    EXPECT_EQ(readFile(shader + ".edited"), shipped + "// a maker's note\n");
    EXPECT_EQ(readFile(shader), shipped);

    // Edited after the install: the uninstall keeps it and says so, as it
    // keeps the edited copy it never installed.
    const std::string tracks = prefix.file("share/orvanta/sync_scene.track");
    prefix.write("share/orvanta/sync_scene.track", "edited\n");
    const ToolRun removed = uninstall(prefix.path());
    ASSERT_EQ(removed.status, 0) << removed.err;
    EXPECT_NE(removed.out.find("kept " + tracks + " (changed since it was installed)"), std::string::npos) << removed.out;
    EXPECT_EQ(readFile(tracks), "edited\n");
    EXPECT_TRUE(fs::exists(shader + ".edited"));
    EXPECT_FALSE(fs::exists(shader));
    EXPECT_FALSE(fs::exists(prefix.file("bin/synctool")));
    // The other prefix's install is its own.
    EXPECT_TRUE(fs::exists(other.file("bin/synctool")));
    ASSERT_EQ(uninstall(other.path()).status, 0);
    EXPECT_TRUE(fs::is_empty(other.path()));
}

// The prefix and the stage pass through make and the installer as they
// are: a space, a quote, a ';' or a '$' is part of the folder's name, and a
// line break is refused. `make web` takes its folder the same way.
TEST(Install, AnyByteInAPrefixIsPartOfItsNameThroughMake)
{
    TempDir scratch;
    const std::string odd = scratch.file("a b'c\"d;touch " + scratch.file("injected") + ";$HOME");
    // Make reads "$$" on its command line as a '$'.
    std::string oddForMake;
    for (char c : odd) oddForMake += c == '$' ? std::string("$$") : std::string(1, c);
    const auto make = [&](const std::vector<std::string>& words) {
        // -o build: the tree under test is built already; nothing is remade.
        std::vector<std::string> argv = {"env", "-u",  "MAKEFLAGS", "-u", "MFLAGS", "-u", "MAKELEVEL", "make", "-s",
                                         "-o",  "build", "-C",      ORVANTA_SOURCE_DIR, "BUILD=" + buildDir};
        argv.insert(argv.end(), words.begin(), words.end());
        return runTool(argv, 120.0);
    };
    const ToolRun installed = make({"install", "PREFIX=" + oddForMake});
    ASSERT_EQ(installed.status, 0) << installed.err;
    EXPECT_TRUE(fs::exists(odd + "/bin/synctool"));
    EXPECT_FALSE(fs::exists(scratch.file("injected")));
    const ToolRun removed = make({"uninstall", "PREFIX=" + oddForMake});
    ASSERT_EQ(removed.status, 0) << removed.err;
    EXPECT_FALSE(fs::exists(odd));

    const ToolRun broken = runTool({installer, "install", buildDir, "--prefix", scratch.file("two\nlines")}, 60.0);
    EXPECT_EQ(broken.status, 2);
    EXPECT_EQ(countOccurrences(broken.err, "\n"), 1u) << broken.err;
    const ToolRun stage = install("/usr", scratch.file("stage;with$odd"));
    ASSERT_EQ(stage.status, 0) << stage.err;
    EXPECT_TRUE(fs::exists(scratch.file("stage;with$odd/usr/bin/tunegen")));
    ASSERT_EQ(uninstall("/usr", scratch.file("stage;with$odd")).status, 0);
    EXPECT_FALSE(fs::exists(scratch.file("stage;with$odd")));

    // A page's folder that holds a maker's file is refused by that name,
    // before anything is built, and keeps the file.
    const std::string web = scratch.file("web;touch " + scratch.file("injected"));
    fs::create_directories(web);
    scratch.write("web;touch " + scratch.file("injected") + "/demo.tracks", "a maker's tracks\n");
    const ToolRun page = make({"web", "WEB=" + web});
    EXPECT_NE(page.status, 0);
    EXPECT_NE(page.err.find(web + " holds what no build of the page made (demo.tracks)"), std::string::npos) << page.err;
    EXPECT_EQ(readFile(web + "/demo.tracks"), "a maker's tracks\n");
    EXPECT_FALSE(fs::exists(scratch.file("injected")));
}

// The build's own launchers play the build's run folder; a folder's player,
// which has none there, says where a playable one is.
TEST(Install, TheBuildsLaunchersPlayTheBuildsRunFolder)
{
    XServer server(320, 180);
    EXPECT_NE(playFromRoot(buildDir + "/launch/orvanta", server), "");

    const ToolRun play = runTool({buildDir + "/launch/orvanta-play"}, 10.0, "/");
    EXPECT_EQ(play.status, 1);
    EXPECT_NE(play.err.find("make install"), std::string::npos) << play.err;
}
