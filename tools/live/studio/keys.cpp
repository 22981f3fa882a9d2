// The editor's keys on the studio's canvas: the table every host shares
// (key_table.h), with the page's verbs behind it. The scene track's keys
// stand for the cuts and sections; the page's own command line and help
// stand for the player's; a loop, slow motion and the figures' overlay
// are the desktop player's alone for now, and say so.
#include "studio.h"

#include "gui.h"
#include "key_table.h"

#include "demo/clock.h"

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

// The rows where the scene track's keys stand.
std::vector<double> sceneKeyRows()
{
    Studio& s = state();
    std::vector<double> rows;
    const TextTrack* keys = s.editor->document().find(s.folder.description.sceneTrack);
    for (size_t k = 0; keys && k < keys->keys.size(); ++k) rows.push_back(keys->keys[k].row);
    return rows;
}

class PageKeys final : public KeyHost {
public:
    double row() override { return state().row; }
    void moveTo(double row) override
    {
        Studio& s = state();
        s.row = std::clamp(row, 0.0, s.folder.description.endRow);
        if (musicIsPaused()) holdMusicAt(s.row);
        else moveMusicTo(s.row);
    }
    void togglePause() override
    {
        if (musicIsPaused()) resumeMusic();
        else holdMusicAt(state().row);
    }
    double cutBefore(double row) override
    {
        double found = 0;
        for (double at : sceneKeyRows()) {
            if (at < row - 0.5) found = std::max(found, at);
        }
        return found;
    }
    double cutAfter(double row) override
    {
        double found = state().folder.description.endRow;
        for (double at : sceneKeyRows()) {
            if (at > row + 0.5) found = std::min(found, at);
        }
        return found;
    }
    std::vector<double> sections() override
    {
        // Where each scene first shows, in the order they do.
        Studio& s = state();
        std::vector<double> rows;
        std::set<int> seen;
        const TextTrack* keys = s.editor->document().find(s.folder.description.sceneTrack);
        for (size_t k = 0; keys && k < keys->keys.size(); ++k) {
            const int scene = static_cast<int>(std::trunc(keys->keys[k].value));
            if (seen.insert(scene).second) rows.push_back(keys->keys[k].row);
        }
        if (rows.empty()) rows.push_back(0);
        return rows;
    }
    void toggleSectionLoop() override { say("error: loops are the desktop player's alone for now"); }
    void changeSpeed(int) override { say("error: slow motion is the desktop player's alone for now"); }
    void toggleOverlay() override { say("error: the figures' overlay is the desktop player's alone for now"); }
    void escape() override {}
    void openPrompt(const std::string& text) override { pagePrompt(text.c_str()); }
    void pasteUnderPointer() override
    {
        Studio& s = state();
        std::string onto = s.editor->selected();
        if (s.panel && s.mouseX >= 0) {
            const PanelLayout l = layoutPanel(s.sizing.width, s.sizing.height, s.row, s.view, s.names, guiFontSize());
            const int line = l.lines.empty() ? -1 : l.lineAt(static_cast<float>(s.mouseY));
            if (line >= 0 && l.lanes.x1 > static_cast<float>(s.mouseX) && line < static_cast<int>(l.lines.size()) &&
                l.lines[static_cast<size_t>(line)].track >= 0) {
                onto = s.names[static_cast<size_t>(l.lines[static_cast<size_t>(line)].track)];
            }
        }
        s.editor->pasteShape(onto);
    }
    bool loop(double&, double&) override { return false; }
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

bool pressKey(int key, bool shift)
{
    Studio& s = state();
    if (!s.editor) return false;
    PageKeys host;
    return pressEditorKey(key, shift, *s.editor, host);
}

} // namespace studio
