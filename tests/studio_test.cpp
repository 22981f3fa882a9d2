// The studio's shaders as the page compiles them, and the driver's logs read
// back onto the maker's lines. Built for the desktop's suite and for the
// page's program (through node) alike.
#include "shader_es.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The line of `text` numbered `number` as GLSL counts it after a #line.
int lineOfFirst(const std::string& es, const std::string& needle)
{
    // The number a #line gives the next line, then each line after it.
    const size_t directive = es.find("#line ");
    int number = directive == std::string::npos ? 1 : std::stoi(es.substr(directive + 6));
    size_t at = directive == std::string::npos ? 0 : es.find('\n', directive) + 1;
    const size_t target = es.find(needle);
    for (; at < target; ++at) number += es[at] == '\n' ? 1 : 0;
    return number;
}

} // namespace

TEST(StudioShaders, DesktopVersionsBecomeGlslEsWithTheMakersLineNumbers)
{
    std::string es, why;
    // Comments and blank lines before the version line are kept.
    const std::string desktop = "// a pass\n\n#version 430 core\nuniform float glow;\nout vec4 c;\nvoid main() { c = vec4(glow); }\n";
    ASSERT_TRUE(shaderForPage(desktop, es, why)) << why;
    EXPECT_EQ(es.find("#version 430"), std::string::npos);
    EXPECT_NE(es.find("#version 300 es\nprecision highp float;"), std::string::npos);
    EXPECT_EQ(es.rfind("// a pass\n\n#version 300 es", 0), 0u) << es;
    EXPECT_EQ(lineOfFirst(es, "uniform float glow"), 4) << es;
    EXPECT_EQ(lineOfFirst(es, "void main"), 6) << es;

    // An ES shader is the page's as it is; one with no version line gets one.
    const std::string own = "#version 300 es\nprecision mediump float;\nvoid main() {}\n";
    ASSERT_TRUE(shaderForPage(own, es, why));
    EXPECT_EQ(es, own);
    ASSERT_TRUE(shaderForPage("void main() {}\n", es, why));
    EXPECT_EQ(es.rfind("#version 300 es\n", 0), 0u);
    EXPECT_EQ(lineOfFirst(es, "void main"), 1);

    // Versions the page cannot take are refused with the line, the text kept.
    for (const std::string& old : {"#version 120\nvoid main() {}\n", "#version 450 compatibility\n", "#version 100\n"}) {
        es = "kept";
        EXPECT_FALSE(shaderForPage(old, es, why)) << old;
        EXPECT_EQ(es, "kept");
        EXPECT_NE(why.find("line 1: #version"), std::string::npos) << why;
    }
    ASSERT_TRUE(shaderForPage("#version 330 core\r\nvoid main() {}\r\n", es, why)) << why;
    EXPECT_NE(es.find("#version 300 es"), std::string::npos);
}

TEST(StudioShaders, EachDriversLogIsReadOntoItsLine)
{
    const auto errors = shaderErrors("ERROR: 0:12: 'glw' : undeclared identifier\n"
                                     "WARNING: 0:3: something harmless\n"
                                     "0:7(5): error: syntax error, unexpected '}'\n"
                                     "0(9) : error C0000: syntax error\n"
                                     "\n"
                                     "ERROR: 2 compilation errors.  No code generated.\n");
    ASSERT_EQ(errors.size(), 4u);
    EXPECT_EQ(errors[0].line, 12);
    EXPECT_EQ(errors[0].message, "'glw' : undeclared identifier");
    EXPECT_EQ(errors[1].line, 7);
    EXPECT_EQ(errors[1].message, "error: syntax error, unexpected '}'");
    EXPECT_EQ(errors[2].line, 9);
    EXPECT_EQ(errors[3].line, 0);
    EXPECT_TRUE(shaderErrors("").empty());
    // A line number past any shader's is no line, whatever the driver says.
    const auto huge = shaderErrors("ERROR: 0:99999999999999999999: x\n0:2147483648(1): y\n");
    ASSERT_EQ(huge.size(), 2u);
    EXPECT_EQ(huge[0].line, 0);
    EXPECT_EQ(huge[1].line, 0);

    EXPECT_EQ(fileError("demo.toml", "demo.toml:4: bpm must be a number").line, 4);
    EXPECT_EQ(fileError("demo.toml", "/demo/demo.toml:17: unknown key").line, 17);
    EXPECT_EQ(fileError("demo.toml", "demo.toml: cannot be read").line, 0);
    EXPECT_EQ(fileError("demo.toml", "scene.fsh:3: nope").line, 0);
    EXPECT_EQ(fileError("a.fsh", "a.fsh:99999999999: huge").line, 0);
}
