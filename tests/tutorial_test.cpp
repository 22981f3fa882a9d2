// The tutorial in docs/making-a-demo.md, run as a maker would: each of its
// shell blocks in turn, as written, from the root of a scratch copy of the
// repository (its sources and this build linked in, not its git history),
// so that what the blocks make lands in the copy. make's outputs that would
// land in the build (the page, the release) go to the copy too, through
// make's own command-line variables.
#include "support/child_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The blocks fenced as ```sh, in order.
std::vector<std::string> shellBlocks(const std::string& markdown)
{
    std::vector<std::string> blocks;
    std::istringstream in(markdown);
    std::string line, block;
    bool inShell = false, inOther = false;
    while (std::getline(in, line)) {
        if (!inShell && !inOther && line.rfind("```", 0) == 0) {
            (line == "```sh" ? inShell : inOther) = true;
        } else if ((inShell || inOther) && line == "```") {
            if (inShell) blocks.push_back(block);
            block.clear();
            inShell = inOther = false;
        } else if (inShell) {
            block += line + "\n";
        }
    }
    EXPECT_FALSE(inShell || inOther) << "a block is not closed";
    return blocks;
}

} // namespace

TEST(Tutorial, EveryShellBlockRunsAsWrittenFromANewDemoToItsRelease)
{
    const std::string source = ORVANTA_SOURCE_DIR;
    const std::vector<std::string> blocks = shellBlocks(readFile(source + "/docs/making-a-demo.md"));
    ASSERT_GE(blocks.size(), 8u);

    TempDir copy;
    for (const char* entry : {"Makefile", "CMakeLists.txt", "scripts", "data", "web", "src", "tools", "sync",
                              "platform", "build-web"}) {
        if (fs::exists(source + "/" + entry)) fs::create_symlink(source + "/" + entry, copy.file(entry));
    }
    fs::create_directory_symlink(fs::canonical(fs::path(ORVANTA_BIN_DIR) / ".."), copy.file("build"));
    const std::string makeFlags = "MAKEFLAGS=WEB=" + copy.file("web-out") + " RELEASE_DIR=" + copy.file("releases");

    for (const std::string& block : blocks) {
        SCOPED_TRACE(block);
        const ToolRun run = runTool({"env", makeFlags, "bash", "-euo", "pipefail", "-c", block}, 300.0, copy.path());
        ASSERT_EQ(run.status, 0) << run.out << run.err;
    }

    // What the walk-through says it made.
    EXPECT_NE(readFile(copy.file("mydemo/scene.fsh")).find("uniform float wobble; // slider[0, 0.2, 1]"),
              std::string::npos);
    EXPECT_NE(readFile(copy.file("mydemo/demo.tracks")).find("track wobble"), std::string::npos);
    for (const char* file : {"mydemo-stills/row_0.png", "mydemo-stills/row_32.png", "mydemo-sheet.png", "mydemo.mp4",
                             "web-out/index.html", "web-out/demo/second.fsh", "web-out/sync_wobble.track"}) {
        EXPECT_TRUE(fs::exists(copy.file(file))) << file;
    }
    EXPECT_NE(readFile(copy.file("web-out/demo/demo.toml")).find("name = \"second\""), std::string::npos);
    EXPECT_NE(readFile(copy.file("mydemo-stills/row_0.png")), readFile(copy.file("mydemo-stills/row_32.png")));
    int releases = 0, pages = 0;
    const auto endsWith = [](const std::string& name, const std::string& tail) {
        return name.size() > tail.size() && name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
    };
    for (const auto& entry : fs::directory_iterator(copy.file("releases"))) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("mydemo-", 0) != 0) continue;
        releases += endsWith(name, "-linux-x86_64.tar.gz");
        pages += endsWith(name, "-web.zip");
    }
    EXPECT_EQ(releases, 1);
    EXPECT_EQ(pages, 1) << "the page made by make web goes with the release";
    // The build's own page is still Orvanta's.
    const fs::path page = fs::path(ORVANTA_BIN_DIR) / ".." / "web" / "demo" / "demo.toml";
    if (fs::exists(page)) {
        EXPECT_EQ(readFile(page.string()).find("mydemo"), std::string::npos);
    }
}
