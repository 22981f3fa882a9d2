// End-to-end start-up: the real executables in a real X server, their console
// read back byte for byte.
#include "support/demo_process.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

const std::string compiled = "\n COMPILATION SUCCESSFULL \n";

// Start-up is followed by one status line a frame, and by nothing else.
void expectStartupThenStatusLines(const std::string& out)
{
    const std::string startup = expectedStartupTranscript();
    ASSERT_EQ(out.substr(0, startup.size()), startup);
    const StatusLines lines = statusLines(out);
    EXPECT_TRUE(lines.clean) << out.substr(startup.size());
    EXPECT_EQ(lines.forwards + lines.backwards, 0u);
}

// Waits for the window (and, given facts holding a size, for the window to
// take that size), closes it as a window manager would and expects the
// program to leave with status 0: it must be inside its main loop to react.
void closeAndExpectCleanExit(ChildProcess& demo, const XServer& server, WindowFacts* facts = nullptr)
{
    WindowFacts window = findWindow(server.display(), "Be patient", 30.0);
    ASSERT_NE(window.window, 0u) << "no window; stdout: " << demo.out() << "\nstderr: " << demo.err();
    if (facts) {
        // The switch to full screen is applied by the main loop, after the
        // window first shows: wait for the window to take the screen's size.
        for (int i = 0; i < 200 && (window.width != facts->width || window.height != facts->height); ++i) {
            demo.collect(0.05);
            window = describeWindow(server.display(), window.window);
        }
        *facts = window;
    }
    requestWindowClose(server.display(), window.window);
    auto status = demo.waitExit(60.0);
    ASSERT_TRUE(status.has_value()) << "still running after the close request";
    EXPECT_EQ(*status, 0);
}

} // namespace

TEST(Startup, ConsoleTranscriptIsExactAndStandardErrorStaysEmpty)
{
    XServer server(1280, 720);
    RunFolder folder;
    auto demo = startDemo(folder, server);
    closeAndExpectCleanExit(*demo, server);
    expectStartupThenStatusLines(demo->out());
    EXPECT_EQ(demo->err(), "");
    EXPECT_EQ(countOccurrences(demo->out(), "Opening shader file: "), 50u);
}

TEST(Startup, GlewFailureEndsWithStatusOneAndOneLine)
{
    XServer server(320, 180);
    RunFolder folder;
    DemoOptions options;
    options.preload = testLibrary("fail_glew_init");
    auto demo = startDemo(folder, server, options);
    auto status = demo->waitExit(60.0);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 1);
    EXPECT_EQ(demo->out(), "");
    EXPECT_EQ(demo->err(), "Unable to initialize GLEW ... exiting\n");
}

TEST(Startup, EveryConfigurationReachesTheMainLoopOnASmallScreen)
{
    struct Expectation {
        const char* executable;
        int requestedWidth, requestedHeight;
    };
    for (const Expectation& e : {Expectation{"orvanta", 1280, 720},
                                 Expectation{"orvanta-screen", 320, 180},
                                 Expectation{"orvanta-screen-reduced", 320, 180}}) {
        SCOPED_TRACE(e.executable);
        XServer server(320, 180);
        RunFolder folder;
        DemoOptions options;
        options.executable = e.executable;
        options.lineBuffered = true;
        auto demo = startDemo(folder, server, options);
        // Once frames are drawn, the picture reaches every corner of the
        // screen: every target took the full-screen size.
        ASSERT_TRUE(demo->waitFor([](const std::string& out, const std::string&) {
            return statusLines(out).rows.size() >= 5;
        }, 60.0)) << demo->err();
        for (auto [x, y] : {std::pair{1, 1}, std::pair{318, 1}, std::pair{1, 178}, std::pair{318, 178}, std::pair{160, 90}}) {
            EXPECT_GT(screenPixel(server.display(), x, y), 0) << "black at " << x << "," << y;
        }
        WindowFacts window;
        window.width = 320;
        window.height = 180;
        closeAndExpectCleanExit(*demo, server, &window);
        EXPECT_EQ(window.requestedWidth, e.requestedWidth);
        EXPECT_EQ(window.requestedHeight, e.requestedHeight);
        EXPECT_EQ(window.width, 320) << "full screen covers the screen";
        EXPECT_EQ(window.height, 180);
        expectStartupThenStatusLines(demo->out());
        EXPECT_EQ(demo->err(), "");
    }
}

TEST(Startup, FailedFragmentShaderHoldsStartUpUntilOneCharacterArrives)
{
    XServer server(320, 180);
    RunFolder folder;
    folder.write("hall.fsh", "#version 430 core\nout vec4 c;\nvoid main() { c = undeclared; }\n");
    DemoOptions options;
    options.input = ChildStdin::Pipe;
    auto demo = startDemo(folder, server, options);

    // The log is flushed before the wait, so it shows while start-up holds.
    ASSERT_TRUE(demo->waitFor([](const std::string& out, const std::string&) {
        size_t at = out.find("Opening shader file: hall.fsh");
        return at != std::string::npos && out.find("undeclared", at) != std::string::npos;
    }, 30.0)) << demo->out();
    demo->collect(1.0);
    const std::string held = demo->out();
    EXPECT_TRUE(demo->running());
    EXPECT_EQ(countOccurrences(held, "Opening shader file: "), 4u) << "nothing after the failed entry 1";

    demo->writeStdin("\n");
    closeAndExpectCleanExit(*demo, server);
    EXPECT_EQ(countOccurrences(demo->out(), "Opening shader file: "), 50u);
    EXPECT_EQ(countOccurrences(demo->out(), compiled), 49u);
    EXPECT_EQ(demo->err(), "");
}

TEST(Startup, FailedShadersNeverHangWithoutInput)
{
    struct Case {
        const char* file;
        ChildStdin input;
        size_t failures;
    };
    // A broken vertex shader fails in all 25 entries and never waits; a broken
    // fragment shader waits, but closed or empty input ends the wait at once.
    for (const Case& c : {Case{"test.vsh", ChildStdin::Pipe, 25},
                          Case{"hall_c.fsh", ChildStdin::Closed, 6},
                          Case{"hall_c.fsh", ChildStdin::DevNull, 6}}) {
        SCOPED_TRACE(c.file);
        XServer server(320, 180);
        RunFolder folder;
        folder.write(c.file, "#version 430 core\nvoid main() { broken }\n");
        DemoOptions options;
        options.input = c.input;
        auto demo = startDemo(folder, server, options);
        closeAndExpectCleanExit(*demo, server);
        EXPECT_EQ(countOccurrences(demo->out(), "Opening shader file: "), 50u);
        EXPECT_EQ(countOccurrences(demo->out(), compiled), 50u - c.failures);
        EXPECT_EQ(demo->err(), "");
    }
}

TEST(Startup, FixedWindowSwitchedToALargerScreenIsDrawnWhole)
{
    // 1280x720 at first, then full screen at 1440x810: the frame must follow.
    XServer server(1440, 810);
    RunFolder folder;
    DemoOptions options;
    options.lineBuffered = true;
    auto demo = startDemo(folder, server, options);
    ASSERT_TRUE(demo->waitFor([](const std::string& out, const std::string&) {
        return statusLines(out).rows.size() >= 3;
    }, 60.0)) << demo->err();
    for (auto [x, y] : {std::pair{1, 1}, std::pair{1438, 1}, std::pair{1, 808}, std::pair{1438, 808}}) {
        EXPECT_GT(screenPixel(server.display(), x, y), 0) << "black at " << x << "," << y;
    }
    WindowFacts window;
    window.width = 1440;
    window.height = 810;
    closeAndExpectCleanExit(*demo, server, &window);
    EXPECT_EQ(window.requestedWidth, 1280);
    EXPECT_EQ(demo->err(), "");
}
