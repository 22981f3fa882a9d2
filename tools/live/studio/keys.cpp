// The editor's keys on the studio's canvas: the table every host shares
// (key_table.h), with the page's verbs behind it: the core's transport for
// time, the page's own command line and help for the player's; the
// figures' overlay is the desktop player's alone for now, and says so.
#include "studio.h"

#include "gui.h"
#include "key_table.h"

#include "demo/tracks.h"
#include "render/scene_index.h"

#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <set>

namespace studio {

namespace {

EM_JS(void, pagePrompt, (const char* text), {
    if (Module.studioPrompt) Module.studioPrompt(UTF8ToString(text));
});

EM_JS(void, pageHelp, (const char* text), {
    if (Module.studioHelp) Module.studioHelp(UTF8ToString(text));
});

class PageKeys final : public KeyHost {
public:
    double row() override { return state().row; }
    void moveTo(double row) override { studio::moveTo(row); }
    void togglePause() override { setPaused(!state().time.paused); }
    double cutBefore(double row) override { return ::cutBefore(state().time, row); }
    double cutAfter(double row) override { return ::cutAfter(state().time, timeline(), row); }
    std::vector<double> sections() override { return sectionRows(); }
    void toggleSectionLoop() override { say(::toggleSectionLoop(state().time, timeline(), state().row)); }
    void changeSpeed(int step) override
    {
        Transport& time = state().time;
        const int slowness = std::clamp(time.slowness + (step < 0 ? 1 : -1), 0, 2);
        setTimeMode(time, time.paused, slowness);
        say("speed 1/" + std::to_string(1 << slowness));
    }
    void toggleOverlay() override { say("error: the figures' overlay is the desktop player's alone for now"); }
    void escape() override {}
    void openPrompt(const std::string& text) override { openPagePrompt(text); }
    void pasteUnderPointer() override
    {
        Studio& s = state();
        const std::string track = studio::trackUnderPointer();
        s.editor->pasteShape(track.empty() ? s.editor->selected() : track);
    }
    bool loop(double& from, double& to) override
    {
        from = state().time.loopFrom;
        to = state().time.loopTo;
        return state().time.loop;
    }
    void togglePanel() override { state().panel = !state().panel; }
    void zoomRows(double factor) override
    {
        Studio& s = state();
        zoomView(s.view, s.view.span * factor, s.row);
    }
    void zoomValues(float factor) override
    {
        Studio& s = state();
        s.view.valueZoom = std::clamp(s.view.valueZoom * factor, 1.0f / 64, 64.0f);
    }
    void toggleHelp() override
    {
        std::string text;
        for (const std::string& line : editorHelpText()) text += line + "\n";
        pageHelp(text.c_str());
    }
};

} // namespace

void openPagePrompt(const std::string& text)
{
    pagePrompt(text.c_str());
}

bool pressKey(int key, bool shift)
{
    Studio& s = state();
    if (!s.editor) return false;
    PageKeys host;
    return pressEditorKey(key, shift, *s.editor, host);
}

} // namespace studio
