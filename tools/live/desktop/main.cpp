// orvanta-live: the demo for the people who make it. It plays with the
// demo's own start-up and frame code in a window, watches the data folders,
// and takes every saved shader, track text, track file, logo, tune and score
// in between two frames, keeping the last good version on an error and
// showing the error on screen until a good one is saved. Time is the music's,
// under the author's keys: pause, beats, bars, cuts, scenes, a loop, slow
// motion.
//
// The files are read through a staging folder of links, one a file, each to
// the first data folder that has it: the demo reads plain names from its
// working directory, and a name can come from one folder (the shaders in
// data/) and another from another (the generated logo and tune in the run
// folder).
#include "live.h"

#include "desktop_gui.h"

#include "cleanup.h"
#include "files.h"
#include "subprocess.h"
#include "usage.h"

#include "app/startup.h"
#include "demo/clock.h"
#include "demo/tracks.h"
#include "render/programs.h"
#include "render/render_screen.h"
#include "render/scene_index.h"

#include <GL/freeglut.h>
#include <GL/glx.h>
#include <X11/XKBlib.h>
#include <X11/keysym.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <algorithm>

namespace fs = std::filesystem;

namespace live {

Live LIVE;

void sayOnConsole(const std::string& line)
{
    std::cout << std::dec << "[frame " << LIVE.frame << "] " << line << "\n";
    std::cout.flush();
}

void say(const std::string& line)
{
    sayOnConsole(line);
    // The window shows the newest line; the log keeps the last ones.
    if (LIVE.messages.size() >= messageLogLength) LIVE.messages.pop_front();
    LIVE.messages.push_back({line.substr(0, 400), Clock::now()});
}

// ---- keys, window, signals ----------------------------------------------------

void quit(int status)
{
    // tunegen, its unfinished tune and the staging folder (tools/common).
    cleanUpNow();
    std::cout.flush();
    std::fflush(stdout);
    std::_Exit(status);
}

// Escape with edits that cannot be written asks once more; the second
// keeps them in a file of their own, or, where no folder takes one, leaves
// the player open and says so.
void quitWithEdits()
{
    TrackEditor& editor = *LIVE.editor;
    if (!editor.unwritten() || editor.writeNow()) quit(0);
    const std::string name = fs::path(LIVE.files.tracks).filename().string();
    if (!LIVE.edit.quitAsked) {
        LIVE.edit.quitAsked = true;
        const std::string line = "edits not written: Escape again quits and keeps them in " + name +
                                 ".unsaved (beside it, else in the state or temporary folder)";
        setError("quit", {line});
        say(line);
        return;
    }
    const std::string unsaved = editor.writeUnsaved();
    if (unsaved.empty()) {
        const std::string line = "the edits cannot be written anywhere (beside " + name +
                                 ", the state folder, the temporary folder): the player stays open; make room, "
                                 "then 'save' or Escape again";
        setError("quit", {line});
        say(line);
        return;
    }
    say("edits kept in " + unsaved);
    quit(0);
}

void onKey(unsigned char key, int, int)
{
    LIVE.sizing.input = true;
    if (LIVE.edit.prompting) {
        promptKey(key);
        return;
    }
    pressKey(key, (glutGetModifiers() & GLUT_ACTIVE_SHIFT) != 0);
}

void onSpecialKey(int key, int, int)
{
    LIVE.sizing.input = true;
    const int modifiers = glutGetModifiers();
    const int code = (modifiers & GLUT_ACTIVE_CTRL) ? ctrlKey(specialKey(key)) : specialKey(key);
    pressKey(code, (modifiers & GLUT_ACTIVE_SHIFT) != 0);
}

void onReshape(int width, int height)
{
    LIVE.pendingWidth = width;
    LIVE.pendingHeight = height;
}

void setSwapInterval(bool vsync)
{
    const int interval = vsync ? 1 : 0;
    using Mesa = int (*)(unsigned);
    using Ext = void (*)(Display*, GLXDrawable, int);
    if (auto mesa = reinterpret_cast<Mesa>(glXGetProcAddress(reinterpret_cast<const GLubyte*>("glXSwapIntervalMESA")))) {
        mesa(static_cast<unsigned>(interval));
    } else if (auto ext = reinterpret_cast<Ext>(
                   glXGetProcAddress(reinterpret_cast<const GLubyte*>("glXSwapIntervalEXT")))) {
        ext(glXGetCurrentDisplay(), glXGetCurrentDrawable(), interval);
    }
}

// ---- the frame ----------------------------------------------------------------

// A frame slower than this lets input show over the last picture first.
constexpr double slowFrameSeconds = 1.0 / ResolutionControl::floorFps;

void liveFrame()
{
    const Clock::time_point start = Clock::now();
    Sizing& sizing = LIVE.sizing;
    if (LIVE.pendingWidth > 0 &&
        (LIVE.pendingWidth != sizing.width || LIVE.pendingHeight != sizing.height)) {
        sizing.width = LIVE.pendingWidth;
        sizing.height = LIVE.pendingHeight;
        sizing.area = {};
    }
    followSelectedTrack();
    placePicture();
    pollTunegen();
    pollLoudness();
    takeChanges();
    pollCommands();
    LIVE.editor->tick();
    LIVE.row = advanceTime();
    followRow(LIVE.edit.view, LIVE.row);
    recordPass();
    updateTitle();
    if (sizing.input && sizing.sceneSeconds > slowFrameSeconds) {
        sizing.input = false;
        showFrameAgain();
        return;
    }
    sizing.input = false;
    // The demo's status line a frame is for programs that follow the player;
    // a person reads the overlay's figures instead.
    std::streambuf* console = LIVE.piped ? nullptr : std::cout.rdbuf(nullptr);
    drawFrame(LIVE.row);
    if (console) std::cout.rdbuf(console);
    ++LIVE.frame;
    countFrame();
    if (LIVE.piped) std::cout.flush();
    const Clock::time_point end = Clock::now();
    sizing.sceneSeconds = std::chrono::duration<double>(end - start).count();
    const double now = std::chrono::duration<double>(end.time_since_epoch()).count();
    if (sizing.control->frameTook(sizing.sceneSeconds, now)) applyFrameSize();
}

// While the window cannot be seen (minimised, or covered whole) nothing is
// drawn, and the player sleeps until a file changes or a tenth of a second
// has passed: saves are still taken, the tune still renders, time goes on.
void whileHidden()
{
    LIVE.watcher->wait(100);
    pollTunegen();
    takeChanges();
    pollCommands();
    LIVE.editor->tick();
    LIVE.row = advanceTime();
}

void onWindowStatus(int state)
{
    const bool hidden = state == GLUT_HIDDEN || state == GLUT_FULLY_COVERED;
    if (hidden == LIVE.hidden) return;
    LIVE.hidden = hidden;
    glutIdleFunc(hidden ? whileHidden : glutPostRedisplay);
    say(hidden ? "window hidden: drawing stops, saves are still taken" : "window shown: drawing again");
}

// Start-up went wrong: says why, tidies up, and gives the exit status.
int failToStart(const std::string& message)
{
    std::fprintf(stderr, "orvanta-live: %s\n", message.c_str());
    cleanUpNow();
    return 1;
}

} // namespace live

using namespace live;

int main(int argc, char** argv)
{
    std::string error;
    LiveOptions& options = LIVE.options;
    const std::string installed = installedDataFolder();
    if (!installed.empty()) options.defaultDataFolder = installed;
    if (!parseLiveOptions(argc, argv, options, error)) return usageError("orvanta-live", error, liveUsage);
    if (options.help) {
        std::fputs(liveUsage, stdout);
        std::fputs(helpForUsage().c_str(), stdout);
        return 0;
    }
    if (!chooseDemo(error)) {
        if (error.rfind("--", 0) == 0) return usageError("orvanta-live", error, liveUsage);
        return failToStart(error);
    }
    for (const std::string& folder : options.dataFolders) {
        std::error_code ignored;
        if (!fs::is_directory(folder, ignored)) return failToStart("no folder " + folder);
        LIVE.files.dataFolders.push_back(fs::absolute(folder).lexically_normal().string());
    }
    for (const auto& [given, into] : {std::make_pair(&options.tracks, &LIVE.files.tracks),
                                      std::make_pair(&options.score, &LIVE.files.score)}) {
        if (given->empty()) continue;
        std::string bytes;
        if (!readWholeFile(*given, bytes, error, textFileLimit)) return failToStart(error);
        *into = fs::absolute(*given).lexically_normal().string();
    }
    {
        // A folder's music is its own: its Ogg file, or the tune of its score
        // beside it, never another data folder's.
        std::string tune = LIVE.demo.tuneFile;
        if (tune.empty()) tune = LIVE.demo.folder.empty() ? resolve("tune.ogg") : LIVE.demo.folder + "/tune.ogg";
        LIVE.files.tunePath = tune.empty() ? LIVE.files.dataFolders.front() + "/tune.ogg" : tune;
    }
    if (!watchFolders(error)) return failToStart(error);
    endOnSignals();
    if (!makeStaging(error)) return failToStart(error);
    drawLogoText();
    // freeglut leaves by exit() when the X server goes away: clean up then too.
    std::atexit(cleanUpNow);

    // The demo's start-up, its log and its wait for a key after a broken
    // shader kept away: broken shaders are reported below, and never wait.
    struct stat input = {};
    if (fstat(0, &input) == 0 && S_ISFIFO(input.st_mode)) {
        LIVE.edit.commandFd = fcntl(0, F_DUPFD_CLOEXEC, 3);
        if (LIVE.edit.commandFd >= 0) fcntl(LIVE.edit.commandFd, F_SETFL, O_NONBLOCK);
    }
    if (!std::freopen("/dev/null", "r", stdin)) return failToStart("cannot read /dev/null");
    LIVE.piped = !isatty(1);
    std::streambuf* console = std::cout.rdbuf(nullptr);
    DemoStartup startup;
    startup.window = options.fullScreen ? WindowMode::Screen : WindowMode::Windowed;
    startup.width = options.width;
    startup.height = options.height;
    startup.sceneScale = options.sceneScale;
    startup.dataFolder = LIVE.files.staging;
    startup.description = LIVE.demo.description;
    const bool started = startDemo(argc, argv, startup, error);
    std::cout.rdbuf(console);
    if (!started) return failToStart(error);

    std::signal(SIGPIPE, SIG_IGN);

    // Losing the X server is a failure, reported as one, with the clean-up.
    XSetIOErrorHandler([](Display*) -> int {
        cleanUpNow();
        std::fputs("orvanta-live: lost the connection to the X server\n", stderr);
        std::fflush(stdout);
        std::_Exit(1);
    });
    glutSetCursor(GLUT_CURSOR_INHERIT);
    // X sends shift+tab as ISO_Left_Tab, which freeglut passes on as no key
    // at all: it is told to read as a tab (shift, which made it, is taken as
    // used up by then, and freeglut still reports it held).
    if (Display* display = glXGetCurrentDisplay()) {
        // The keyboard map is loaded first: XRebindKeysym would load it with
        // the display locked, which a thread-safe Xlib does not survive.
        XkbKeysymToModifiers(display, XK_Shift_L);
        const unsigned char tab = '\t';
        XRebindKeysym(display, XK_ISO_Left_Tab, nullptr, 0, &tab, 1);
    }
    if (musicLoaded()) refreshLoudness();
    loadViewState();
    glutDisplayFunc(liveFrame);
    glutKeyboardFunc(onKey);
    glutSpecialFunc(onSpecialKey);
    glutReshapeFunc(onReshape);
    glutWindowStatusFunc(onWindowStatus);
    // The mouse goes to the interface's windows (the help) where it is over
    // one, else to the panel; a drag begun on the panel stays the panel's.
    glutMouseFunc([](int button, int state, int x, int y) {
        LIVE.sizing.input = true;
        guiMouse(button, state, x, y);
        if (button == 3 || button == 4) {
            if (state == GLUT_DOWN) {
                guiWheel(button == 3 ? 1 : -1, x, y);
                if (!guiWantsMouse()) onWheel(button == 3 ? 1 : -1, x, y);
            }
            return;
        }
        if (state == GLUT_DOWN && guiWantsMouse()) return;
        onMouse(button, state, x, y);
    });
    glutMotionFunc([](int x, int y) {
        LIVE.sizing.input = true;
        guiMotion(x, y);
        onMotion(x, y);
    });
    glutPassiveMotionFunc([](int x, int y) {
        guiMotion(x, y);
        LIVE.edit.mouse.mouseX = x;
        LIVE.edit.mouse.mouseY = y;
    });
    // The close button asks nothing: edits go to the text, or to a file of
    // their own. The window goes whatever the player does, so where no
    // folder takes them, the text goes to standard error, the last place
    // left to keep it.
    glutCloseFunc([] {
        if (!LIVE.editor->unwritten() || LIVE.editor->writeNow()) quit(0);
        const std::string unsaved = LIVE.editor->writeUnsaved();
        if (!unsaved.empty()) {
            say("edits kept in " + unsaved);
            quit(0);
        }
        std::fprintf(stderr, "orvanta-live: the edits cannot be written anywhere; the tracks text follows\n%s",
                     LIVE.editor->document().text().c_str());
        quit(1);
    });
    setBeforeSwap(drawOverlay);
    // The window's size as start-up recorded it; the frame's from here on
    // the control's.
    LIVE.sizing.width = windowDimensions().width;
    LIVE.sizing.height = windowDimensions().height;
    LIVE.sizing.control = std::make_unique<ResolutionControl>(options.frameWidth, options.frameHeight,
                                                              options.sceneScaleGiven ? options.sceneScale : 0.0f);
    LIVE.sizing.control->setWindow(LIVE.sizing.width, LIVE.sizing.height);
    LIVE.sizing.area = wholeWindow(LIVE.sizing.width, LIVE.sizing.height);
    applyFrameSize();
    setSwapInterval(options.vsync);
    if (!startGui(desktopGuiSettings(), error)) return failToStart(error);

    std::cout << "orvanta-live: watching";
    for (const std::string& folder : watchedFolders()) std::cout << " " << folder;
    std::cout << "; reading through " << LIVE.files.staging << "\n";
    // Whatever start-up could not build shows as an error at once.
    for (const ProgramProblem& problem : brokenPrograms()) {
        setError(problem.file, describeLog(problem.file, problem.log));
        say(problem.file + ": error\n  " + problem.log);
    }
    makeEditor();
    reloadTrackText();
    addUnreadTracks();
    findCuts();

    LIVE.time.loop = options.loop;
    LIVE.time.loopFrom = options.loopFrom;
    LIVE.time.loopTo = options.loopTo;
    LIVE.time.heldRow = options.fromRow;
    holdMusicAt(options.fromRow);
    resumeMusic();
    // A new folder's music is rendered while it plays silent.
    if (musicFromScoreNeeded()) startTunegen();
    glutMainLoop();
    quit(0);
}
