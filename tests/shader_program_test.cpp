// Shader reading, compiling and program building, in process with a real GL
// context (Mesa under Xvfb).
#include "render/programs.h"
#include "gpu/shader_program.h"
#include "support/gl_context.h"
#include "support/run_folder.h"

#include <gtest/gtest.h>

#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

std::string banner(const std::string& file)
{
    return "---------------------\nOpening shader file: " + file + "\n---------------------\n\n";
}

struct Captured {
    std::string text;
    std::string out;
};

// Reads a file through readShaderFile and returns the text and what reached
// standard output.
Captured readCaptured(const std::string& path)
{
    testing::internal::CaptureStdout();
    auto text = readShaderFile(path.c_str());
    std::cout.flush();
    Captured captured{text.get(), testing::internal::GetCapturedStdout()};
    return captured;
}

// Replaces std::cin's buffer for the life of the object.
class StdinFrom {
public:
    explicit StdinFrom(const std::string& bytes) : buffer_(bytes), previous_(std::cin.rdbuf(&buffer_))
    {
        std::cin.clear();
    }
    ~StdinFrom()
    {
        std::cin.rdbuf(previous_);
        std::cin.clear();
    }
    std::string rest() { return std::string(std::istreambuf_iterator<char>(&buffer_), {}); }

private:
    std::stringbuf buffer_;
    std::streambuf* previous_;
};

std::string driverLog(GLenum stage, const char* source)
{
    GLuint shader = glCreateShader(stage);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<size_t>(length), '\0');
    GLsizei written = 0;
    glGetShaderInfoLog(shader, length, &written, log.data());
    glDeleteShader(shader);
    log.resize(static_cast<size_t>(written));
    return log;
}

const char* brokenFragment = "#version 430 core\nout vec4 c;\nvoid main() { c = undeclared; }\n";
const char* brokenVertex = "#version 430 core\nvoid main() { gl_Position = nothing; }\n";

} // namespace

TEST(ReadShaderFile, WritesBannerAndEndsEveryLineWithOneLineFeed)
{
    RunFolder folder;
    folder.write("two.fsh", "first line\nsecond line");
    folder.write("ended.fsh", "first line\nsecond line\n");

    Captured unended = readCaptured(folder.file("two.fsh"));
    EXPECT_EQ(unended.text, "first line\nsecond line\n");
    EXPECT_EQ(unended.out, banner(folder.file("two.fsh")) + "\n\n\n");

    Captured ended = readCaptured(folder.file("ended.fsh"));
    EXPECT_EQ(ended.text, "first line\nsecond line\n");
}

TEST(ReadShaderFile, EmptyAndMissingFilesGiveEmptyTextWithTheBannerOnly)
{
    RunFolder folder;
    folder.write("empty.fsh", "");
    Captured empty = readCaptured(folder.file("empty.fsh"));
    EXPECT_EQ(empty.text, "");
    EXPECT_EQ(empty.out, banner(folder.file("empty.fsh")) + "\n\n\n");

    Captured missing = readCaptured("no-such-file.fsh");
    EXPECT_EQ(missing.text, "");
    EXPECT_EQ(missing.out, banner("no-such-file.fsh") + "\n\n\n");
}

TEST(ReadShaderFile, NulByteEndsTheText)
{
    RunFolder folder;
    folder.write("nul.fsh", std::string("line one\nline\0two\nthree\n", 24));
    EXPECT_EQ(readCaptured(folder.file("nul.fsh")).text, "line one\nline");
}

TEST(ReadShaderFile, KeepsBlankLinesAndCarriageReturns)
{
    RunFolder folder;
    folder.write("crlf.fsh", "a\r\n\nb");
    EXPECT_EQ(readCaptured(folder.file("crlf.fsh")).text, "a\r\n\nb\n");
}

class ShaderCompile : public testing::Test {
protected:
    void SetUp() override { ensureGlContext(); }
};

TEST_F(ShaderCompile, EveryDemoShaderCompilesOnTheDriver)
{
    for (const char* file : {"test.vsh", "AA.fsh", "hall.fsh", "hall_b.fsh", "hall_c.fsh", "hall_d.fsh",
                             "whirligig.fsh", "whirligig_b.fsh", "ball_scene.fsh", "ball_scene_b.fsh",
                             "flyby.fsh", "flyby_b.fsh", "tunnel.fsh", "tunnel_b.fsh", "ribbon.fsh",
                             "ribbon_b.fsh"}) {
        SCOPED_TRACE(file);
        const std::string path = std::string(ORVANTA_DATA_DIR) + "/" + file;
        testing::internal::CaptureStdout();
        auto source = readShaderFile(path.c_str());
        const bool vertex = std::string(file).find(".vsh") != std::string::npos;
        GLuint shader = vertex ? compileVertexShader(source.get()) : compileFragmentShader(source.get());
        std::cout.flush();
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_NE(shader, 0u);
        EXPECT_EQ(out, banner(path) + "\n\n\n" + "\n COMPILATION SUCCESSFULL \n");
        GLint type = 0;
        glGetShaderiv(shader, GL_SHADER_TYPE, &type);
        EXPECT_EQ(type, vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
        glDeleteShader(shader);
    }
}

TEST_F(ShaderCompile, FailedVertexShaderPrintsTheDriverLogAndDoesNotWait)
{
    const std::string expectedLog = driverLog(GL_VERTEX_SHADER, brokenVertex);
    ASSERT_FALSE(expectedLog.empty());
    StdinFrom input("xy");
    testing::internal::CaptureStdout();
    GLuint shader = compileVertexShader(brokenVertex);
    std::cout.flush();
    EXPECT_EQ(shader, 0u);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), expectedLog);
    EXPECT_EQ(input.rest(), "xy");
}

TEST_F(ShaderCompile, FailedFragmentShaderPrintsTheLogAndConsumesOneCharacter)
{
    const std::string expectedLog = driverLog(GL_FRAGMENT_SHADER, brokenFragment);
    ASSERT_FALSE(expectedLog.empty());
    StdinFrom input("xy");
    testing::internal::CaptureStdout();
    GLuint shader = compileFragmentShader(brokenFragment);
    std::cout.flush();
    EXPECT_EQ(shader, 0u);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), expectedLog);
    EXPECT_EQ(input.rest(), "y");
}

TEST_F(ShaderCompile, FailedFragmentShaderGoesOnAtEndOfInput)
{
    StdinFrom input("");
    testing::internal::CaptureStdout();
    EXPECT_EQ(compileFragmentShader(brokenFragment), 0u);
    testing::internal::GetCapturedStdout();
}

TEST_F(ShaderCompile, FailedShaderObjectIsDeleted)
{
    StdinFrom input("");
    testing::internal::CaptureStdout();
    GLuint probe = glCreateShader(GL_VERTEX_SHADER);
    glDeleteShader(probe);
    // Mesa hands out names in increasing order: the shader made inside the
    // call is the one after the probe.
    compileVertexShader(brokenVertex);
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(glIsShader(probe + 1));
}

TEST_F(ShaderCompile, ProgramLinksTheTwoShadersFragmentFirst)
{
    RunFolder folder;
    ASSERT_EQ(chdir(folder.path().c_str()), 0);
    testing::internal::CaptureStdout();
    ShaderProgram program("test.vsh", "AA.fsh");
    std::cout.flush();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, banner("test.vsh") + "\n\n\n\n COMPILATION SUCCESSFULL \n" +
                   banner("AA.fsh") + "\n\n\n\n COMPILATION SUCCESSFULL \n");

    GLint linked = 0;
    glGetProgramiv(program.program, GL_LINK_STATUS, &linked);
    EXPECT_EQ(linked, GL_TRUE);
    GLuint attached[4] = {};
    GLsizei count = 0;
    glGetAttachedShaders(program.program, 4, &count, attached);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(attached[0], program.fragmentShader);
    EXPECT_EQ(attached[1], program.vertexShader);
    GLint type = 0;
    glGetShaderiv(program.fragmentShader, GL_SHADER_TYPE, &type);
    EXPECT_EQ(type, GL_FRAGMENT_SHADER);
    glGetShaderiv(program.vertexShader, GL_SHADER_TYPE, &type);
    EXPECT_EQ(type, GL_VERTEX_SHADER);
}

TEST_F(ShaderCompile, MissingFragmentFileStillGivesAProgramName)
{
    RunFolder folder;
    ASSERT_EQ(chdir(folder.path().c_str()), 0);
    StdinFrom input("");
    testing::internal::CaptureStdout();
    ShaderProgram program("test.vsh", "missing.fsh");
    std::cout.flush();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Opening shader file: missing.fsh\n"), std::string::npos);
    EXPECT_EQ(out.find("missing.fsh", out.find("missing.fsh") + 1), std::string::npos)
        << "only the banner names the missing file";
    EXPECT_NE(program.vertexShader, 0u);
    EXPECT_EQ(program.fragmentShader, 0u);
    EXPECT_TRUE(glIsProgram(program.program));
}

TEST_F(ShaderCompile, TableBuildsTwentyFiveDistinctProgramsInOrder)
{
    RunFolder folder;
    ASSERT_EQ(chdir(folder.path().c_str()), 0);
    testing::internal::CaptureStdout();
    buildShaderPrograms(orvantaDescription());
    std::cout.flush();
    const std::string out = testing::internal::GetCapturedStdout();

    std::set<GLuint> programs, vertexShaders, fragmentShaders;
    for (int i = 0; i < shaderProgramCount; ++i) {
        SCOPED_TRACE(i);
        ASSERT_NE(demoProgram(i), nullptr);
        GLint linked = 0;
        glGetProgramiv(demoProgram(i)->program, GL_LINK_STATUS, &linked);
        EXPECT_EQ(linked, GL_TRUE);
        programs.insert(demoProgram(i)->program);
        vertexShaders.insert(demoProgram(i)->vertexShader);
        fragmentShaders.insert(demoProgram(i)->fragmentShader);
    }
    EXPECT_EQ(programs.size(), 25u);
    EXPECT_EQ(vertexShaders.size(), 25u) << "test.vsh is compiled once per entry";
    EXPECT_EQ(fragmentShaders.size(), 25u);

    // The same two files behind entries 3, 7, ..., 23 give six programs.
    std::set<GLuint> blurPasses;
    for (int s = 0; s < sceneCount; ++s) blurPasses.insert(demoProgram(4 * s + 3)->program);
    EXPECT_EQ(blurPasses.size(), 6u);

    // Banners in table order: vertex file first, then the entry's own file.
    size_t at = 0;
    const char* fragments[] = {"AA.fsh", "hall.fsh", "hall_b.fsh", "hall_c.fsh", "hall_d.fsh"};
    for (const char* fragment : fragments) {
        at = out.find(banner("test.vsh"), at);
        ASSERT_NE(at, std::string::npos);
        at = out.find(banner(fragment), at);
        ASSERT_NE(at, std::string::npos) << fragment;
    }
}
