// The manual pages as the build makes them, held to the programs' own
// --help: every option a usage text names is in its page.
#include "support/child_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

const fs::path buildDir = fs::path(ORVANTA_BIN_DIR) / "..";

// The demo's executables take no options: their pages come from their
// launchers' --help.
const std::set<std::string> launched{"orvanta", "orvanta-screen", "orvanta-screen-reduced"};
const std::vector<std::string> programs{"orvanta",       "orvanta-screen", "orvanta-screen-reduced",
                                        "orvanta-live",  "orvanta-capture", "orvanta-new",
                                        "synctool",      "tunegen",        "logogen"};

std::string helpOf(const std::string& program)
{
    const std::string path = launched.count(program) ? (buildDir / "launch" / program).string() : binary(program);
    const ToolRun help = runTool({path, "--help"}, 30.0);
    EXPECT_EQ(help.status, 0) << program << ": " << help.err;
    return help.out;
}

// A page's text with roff's escapes for a hyphen and for fonts taken out.
std::string pageText(const std::string& program)
{
    std::string page = readFile((buildDir / "man/man1" / (program + ".1")).string());
    page = std::regex_replace(page, std::regex(R"(\\f[BIRP])"), "");
    page = std::regex_replace(page, std::regex(R"(\\-)"), "-");
    return page;
}

std::set<std::string> optionsIn(const std::string& help)
{
    std::set<std::string> options;
    const std::regex option(R"((?:^|[\s\[|(,])(--?[A-Za-z][A-Za-z0-9-]*))");
    for (std::sregex_iterator it(help.begin(), help.end(), option), end; it != end; ++it) options.insert((*it)[1]);
    return options;
}

} // namespace

TEST(Manual, EveryOptionOfEveryHelpIsInItsPage)
{
    for (const std::string& program : programs) {
        SCOPED_TRACE(program);
        const std::string help = helpOf(program);
        const std::string page = pageText(program);
        ASSERT_FALSE(page.empty());
        EXPECT_NE(page.find(".SH NAME\n" + program + " - "), std::string::npos);
        EXPECT_NE(page.find(".SH SYNOPSIS"), std::string::npos);
        const std::set<std::string> options = optionsIn(help);
        EXPECT_TRUE(options.count("--help")) << "every program answers --help, and says so";
        for (const std::string& option : options) {
            EXPECT_NE(page.find(option), std::string::npos) << option << " is missing from the page";
        }
        // Each line of the usage text is in the page, as help2man wraps it.
        for (size_t from = 0, to; (to = help.find('\n', from)) != std::string::npos; from = to + 1) {
            std::string words = help.substr(from, to - from);
            words = std::regex_replace(words, std::regex(R"(^\s*(Usage:|or:)?\s*)"), "");
            const std::string first = words.substr(0, words.find(' '));
            if (first.size() > 2) {
                EXPECT_NE(page.find(first), std::string::npos) << words;
            }
        }
    }
}

// The player's keys, mouse and commands as its --help (and so its manual
// page) lists them, from the tables the window's help is made from, are
// what the editor's page lists, under the same names.
TEST(Manual, ThePlayersKeysMouseAndCommandsAreTheEditorPages)
{
    const std::string help = helpOf("orvanta-live");
    const std::string page = readFile(std::string(ORVANTA_SOURCE_DIR) + "/docs/editor.md");
    // The commands are listed in the page's block, each with its arguments.
    const size_t block = page.find("## Commands");
    ASSERT_NE(block, std::string::npos);
    const std::string commands = page.substr(block, page.find("```\n", page.find("```\n", block) + 4) - block);
    int counts[3] = {0, 0, 0};
    const char* const parts[3] = {"\nKeys:\n", "\nMouse:\n", "\nCommands:\n"};
    for (int part = 0; part < 3; ++part) {
        const size_t at = help.find(parts[part]);
        ASSERT_NE(at, std::string::npos) << parts[part] << help;
        std::istringstream lines(help.substr(at + std::strlen(parts[part])));
        for (std::string line; std::getline(lines, line) && line.rfind("  ", 0) == 0;) {
            const std::string name = line.substr(2, line.find("  ", 2) - 2);
            if (part < 2) {
                EXPECT_NE(page.find("\n| " + name + " | "), std::string::npos) << name << " is not in docs/editor.md";
            } else if (name != "POS") {
                EXPECT_NE(commands.find(name), std::string::npos) << name << " is not in docs/editor.md's commands";
            }
            ++counts[part];
        }
    }
    EXPECT_GE(counts[0], 30);
    EXPECT_GE(counts[1], 8);
    EXPECT_GE(counts[2], 30);
}

// The score the music page teaches with is one tunegen takes.
TEST(Manual, TheMusicPagesScoreRenders)
{
    const std::string page = readFile(std::string(ORVANTA_SOURCE_DIR) + "/docs/music.md");
    const size_t section = page.find("## The score");
    ASSERT_NE(section, std::string::npos);
    const size_t from = page.find("```\n", section) + 4;
    const size_t to = page.find("```\n", from);
    ASSERT_NE(to, std::string::npos);
    TempDir dir;
    dir.write("doc.score", page.substr(from, to - from));
    const ToolRun render = runTool({binary("tunegen"), dir.file("doc.score"), "-o", dir.file("bars.pcm"), "--section", "0:16"}, 60.0);
    EXPECT_EQ(render.status, 0) << render.err;
    EXPECT_GT(fs::file_size(dir.file("bars.pcm")), 0u);
}
