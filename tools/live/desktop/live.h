// live/desktop/live: the desktop player's state and the calls its rooms
// make of each other. The player is the desktop's host of the editor's core
// (tools/live/core), in rooms: main.cpp (start-up, the
// window and the frame), keymap.cpp (the keys, in one table), screen.cpp
// (the interface over the frame, drawn with gui.h, and the frame's size,
// chosen by resolution.h), reload.cpp (the staging folder's links, errors
// on screen, taking every save), tunegen_child.cpp (the score's render in
// the background), transport.cpp (the music's time: pause, slow motion,
// loops, cuts, sections), editing.cpp (the track editor, its command line
// and the view's commands: filter, fold, mute, solo) and mouse.cpp (the
// track panel's facts and the mouse over it). One player runs in a process:
// its state is one struct.
#pragma once

#include "subprocess.h"
#include "command_lines.h"
#include "editor.h"
#include "value_edits.h"
#include "panel_mouse.h"
#include "transport.h"
#include "options.h"
#include "keymap.h"
#include "panel.h"
#include "render/demo_folder.h"
#include "resolution.h"
#include "score.h"
#include "watcher.h"
#include "waveform.h"

#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <sys/types.h>
#include <vector>

namespace live {

using Clock = std::chrono::steady_clock;

// The demo played: Orvanta from the executables' tables, or a demo folder
// (demo.toml and the files it names).
struct Demo {
    std::string folder;               // absolute; empty for Orvanta
    DemoDescription description;
    std::vector<std::string> names;   // its tracks, in order
    std::vector<UniformRange> ranges; // by track: the shaders' annotations
    std::set<int> unread;             // tracks of the text that no uniform reads: after the demo's
    int sceneTrack = 0, timeTrack = 0;
    std::string tuneFile; // a folder's Ogg music, staged as tune.ogg
    std::string logoFile; // a folder's logo, staged as logo.png
    std::string logoText; // or the text logogen draws it from
    // The tracks text and the music as the manifest names them (not given
    // on the command line): a save of the manifest that names others moves
    // the editor, the watcher and the tune to those.
    bool tracksFromManifest = false;
    bool musicFromManifest = false;
};

struct Files {
    std::vector<std::string> dataFolders; // absolute, in order of precedence
    std::string staging;                  // the demo's working directory
    std::set<std::string> staged;         // names linked there
    std::string tracks;                   // absolute; empty without --tracks
    std::string score;
    std::string tunePath;                 // where tunegen writes tune.ogg
};

// The player's time (core/transport.h).
using Time = Transport;

// The score's render after a save, in three stages: the bars under way
// first, spliced into the playing music where it stands, then the rest of
// their section, then the whole tune, which replaces the music when done.
struct Tunegen {
    enum class Stage { Bars, Section, Tune };
    Subprocess child;           // tunegen, its standard output and error on a pipe
    Stage stage = Stage::Tune;
    std::string score;     // the save being rendered
    Song song;             // as parsed at the save
    std::string output;    // what the child writes
    std::string out;
    int progress = 0;      // percent of the stage
    int fromRow = 0;       // a section's rows
    int toRow = 0;
    long long fromFrame = 0; // a section's first sample frame
    Clock::time_point savedAt;
    Clock::time_point doneAt; // the last stage's end, while its line shows
    std::string status;       // what the screen says the music is doing
};

// The frame's size against the window's (resolution.h), and what a slow
// scene leaves the screen: input since the last frame is shown at once, over
// the frame before, instead of after the next one.
struct Sizing {
    std::unique_ptr<ResolutionControl> control;
    int width = 0; // the window's; the frame's is the render folder's
    int height = 0;
    FrameChoice applied;
    PanelRect area;            // where the frame shows: the window, or above the panel
    double sceneSeconds = 0.0; // what the last frame took
    bool input = false;        // a key or the mouse since the last frame
};

struct Stats {
    Clock::time_point since = Clock::now();
    int frames = 0;
    double fps = 0.0;
};

// The editor's screen, mouse and command line (editing.cpp).
struct Editing {
    bool panel = false; // the track panel
    PanelView view;
    MouseState mouse;       // the drags under way (core/panel_mouse.h)
    std::set<int> muted, soloed; // not saved
    int followedTrack = -1;      // the track the sheet last scrolled to
    bool help = false;      // the list of keys and commands
    bool log = false;       // the messages' log, over the curve view
    bool prompting = false; // the command line is open
    std::string prompt;
    bool quitAsked = false; // Escape once with edits that cannot be written
    int commandFd = -1;     // standard input, when a pipe or a FIFO brings commands
    CommandLines commandLines;
};

// What an action did: the newest shown in the window for a few seconds,
// the last messageLogLength in the log (the `log` command).
constexpr size_t messageLogLength = 200;
struct Message {
    std::string text;
    Clock::time_point at;
};

struct Live {
    LiveOptions options;
    Demo demo;
    Files files;
    Time time;
    Tunegen tunegen;
    Stats stats;
    Sizing sizing;
    std::unique_ptr<FolderWatcher> watcher;
    std::deque<Message> messages;
    std::map<std::string, std::vector<std::string>> errors; // by file, shown until mended
    long frame = 0;
    bool overlay = false;
    bool piped = false; // standard output goes to a program, not a person
    bool hidden = false; // the window is minimised or covered whole
    std::unique_ptr<TrackEditor> editor;
    std::unique_ptr<Inspector> inspector; // its edits and the fader pass (recording.cpp)
    Editing edit;
    Loudness loudness; // the tune's, for the panel (loudness.cpp)
    double row = 0.0;
    int pendingWidth = 0;
    int pendingHeight = 0;
};

extern Live LIVE;

// main.cpp
void say(const std::string& line);         // on the console and, a few seconds, in the window
void sayOnConsole(const std::string& line); // on the console alone
void quit(int status);
void quitWithEdits();

// screen.cpp
std::string position(double row);
std::vector<std::string> figures();
std::string describeFrameSize();
void applyFrameSize();
void placePicture();
void drawOverlay();
void countFrame();
void updateTitle();

// played_demo.cpp
bool chooseDemo(std::string& error); // Orvanta, or the folder the options name
void drawLogoText();                 // a folder's logo from its text, once staged
bool musicFromScoreNeeded();         // a folder's tune is missing or older than its score
// A folder's tracks text keeps the keys of a uniform taken out: such tracks
// are lanes after the demo's, marked as read by nothing, still edited.
void addUnreadTracks();
// A folder's manifest or shader `name` was saved: the folder is read again,
// and a demo that differs (scenes, tracks, tempo, end row) is drawn from the
// next frame on, its programs rebuilt; a folder that does not read keeps
// the last good demo, its error on screen. True where nothing else is left
// to do for the save.
bool rescanDemo(const std::string& name);

// reload.cpp
std::string resolve(const std::string& name);
void stage(const std::string& name);
bool makeStaging(std::string& error);
void stageDemoFiles(); // links every file the demo names
std::vector<std::string> describeLog(const std::string& file, const std::string& log);
void setError(const std::string& file, const std::vector<std::string>& lines);
void clearError(const std::string& file);
void reloadShader(const std::string& file);
void reloadTrackText();
void reloadTrackFiles();
void reloadLogo();
void reloadTune();
bool sameFile(const std::string& a, const std::string& b);
// The folders whose saves the player takes: the data folders, and those of
// the tracks text and the score (and of what links lead them to).
std::vector<std::string> watchedFolders();
// Watches watchedFolders() from now on, besides what it watched before.
// Failure: false with `error`, the folders watched before still watched.
bool watchFolders(std::string& error);
void takeChanges();

// tunegen_child.cpp
void endTunegen();
void startTunegen();
void pollTunegen();

// transport.cpp: the sections of the show in its order, where keys 1 to 9
// go: Orvanta's (intro, build, drop, breakdown, climax, outro; the score's
// header has the same rows), or a folder's scenes where each first shows.
std::vector<std::pair<double, std::string>> sections();
void findCuts();
double playerRow(); // the music's row, or the player's own clock's without a tune
bool playingAtFullSpeed();
void moveTo(double row);
void setTimeMode(bool paused, int slowness);
double advanceTime();
double cutBefore(double row);
double cutAfter(double row);
void toggleSectionLoop();

// editing.cpp
const std::vector<std::string>& trackNameList(); // the demo's tracks, in its order
int trackIndex(const std::string& name);
void makeEditor();
void pollCommands();
void promptKey(unsigned char key);
void openPrompt(const std::string& text);
PanelLayout panelLayout();
PanelFacts panelFacts();
std::string panelHeader();
bool viewCommand(const std::vector<std::string>& words);
void pushTrack(int index); // the track's keys, or its mute, to the demo
void onMouse(int button, int state, int x, int y);
void onMotion(int x, int y);
void onWheel(int direction, int x, int y);
void followSelectedTrack();
void pasteUnderPointer(); // ctrl+v: onto the lane under the pointer, else the picked track

// recording.cpp: the inspector, drawn and its edits made; the fader pass
// written at the rows the music passed, every frame.
void makeInspector();
void inspect();
void recordPass();

// loudness.cpp: the tune's loudness to be worked out again (tune.ogg loaded
// or replaced); every frame, a decode begun while the panel shows, and one
// that is done taken up.
void refreshLoudness();
void pollLoudness();

// view_state.cpp
void loadViewState(); // the split kept for this demo
void saveViewState();
void setSplit(double split, bool kept);
void setLoop(double from, double to); // a span under a row: no loop
// loop, log; false with `error` where refused.
bool paneCommand(const std::vector<std::string>& words, std::string& error);

} // namespace live
