#include "keymap.h"

#include "live.h"

#include "render/pass_timing.h"

#include <algorithm>

namespace live {
namespace {

class DesktopKeys final : public KeyHost {
public:
    double row() override { return playerRow(); }
    void moveTo(double row) override { live::moveTo(row); }
    void togglePause() override { LIVE.editor->run(LIVE.time.paused ? "play" : "pause"); }
    double cutBefore(double row) override { return live::cutBefore(row); }
    double cutAfter(double row) override { return live::cutAfter(row); }
    std::vector<double> sections() override
    {
        std::vector<double> rows;
        for (const auto& [row, name] : live::sections()) rows.push_back(row);
        return rows;
    }
    void toggleSectionLoop() override { live::toggleSectionLoop(); }
    void changeSpeed(int step) override
    {
        const int slowness = std::clamp(LIVE.time.slowness + (step < 0 ? 1 : -1), 0, 2);
        setTimeMode(LIVE.time.paused, slowness);
        say("speed 1/" + std::to_string(1 << slowness));
    }
    void toggleOverlay() override
    {
        LIVE.overlay = !LIVE.overlay;
        setPassTiming(LIVE.overlay);
    }
    void escape() override { quitWithEdits(); }
    void openPrompt(const std::string& text) override { live::openPrompt(text); }
    void pasteUnderPointer() override { live::pasteUnderPointer(); }
    bool loop(double& from, double& to) override
    {
        from = LIVE.time.loopFrom;
        to = LIVE.time.loopTo;
        return LIVE.time.loop;
    }
    void togglePanel() override { LIVE.edit.panel = !LIVE.edit.panel; }
    void zoomRows(double factor) override { zoomView(LIVE.edit.view, LIVE.edit.view.span * factor, playerRow()); }
    void zoomValues(float factor) override
    {
        LIVE.edit.view.valueZoom = std::clamp(LIVE.edit.view.valueZoom * factor, 1.0f / 64, 64.0f);
    }
    void toggleHelp() override { LIVE.edit.help = !LIVE.edit.help; }
};

} // namespace

bool pressKey(int key, bool shift)
{
    DesktopKeys host;
    return pressEditorKey(key, shift, *LIVE.editor, host);
}

std::vector<std::string> helpText()
{
    return editorHelpText();
}

std::string helpForUsage()
{
    return editorHelpForUsage();
}

} // namespace live
