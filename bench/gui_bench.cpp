// What orvanta-live's interface costs a frame, in a window of 1280x720 (and
// 960x540) in an X server of its own: ImGui's frame with only a message
// (the panel hidden), then with the track panel open on the demo's own
// tracks text, then with the panel and the help. Each is timed from the
// start of ImGui's frame to the end of its drawing on the GPU (glFinish),
// the frame's own passes apart: the median of 200 frames after 20 to warm
// up.
#include "desktop_gui.h"
#include "value_pane.h"
#include "panel.h"
#include "panel_draw.h"
#include "track_document.h"
#include "xvfb.h"

#include "demo/tracks.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <imgui.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

enum class Load { Message, Panel, PanelLoudnessInspector, PanelAndHelp };

double millisecondsAFrame(int width, int height, Load load, const TrackDocument& document)
{
    glutReshapeWindow(width, height);
    glutMainLoopEvent();
    const std::vector<std::string> names(std::begin(demoTrackNames), std::end(demoTrackNames));
    PanelFacts facts;
    facts.names = names;
    facts.selected = 7;
    facts.curves = {7, 8, 9};
    facts.keys = [&](int track) { return document.find(names[track]); };
    // Sampling the text's keys stands in for the demo's tracks: a step
    // curve from the key at or before the row.
    facts.value = [&](int track, double row) {
        const TextTrack* keys = document.find(names[track]);
        if (!keys) return 0.0f;
        // The key at or before the row, found as the demo's sampler finds
        // it: by bisection.
        const auto after = std::upper_bound(keys->keys.begin(), keys->keys.end(), row,
                                            [](double r, const TrackKey& key) { return r < key.row; });
        return after == keys->keys.begin() ? 0.0f : (after - 1)->value;
    };
    for (const TrackDocument::Marker& marker : document.markers()) facts.markers.emplace_back(marker.row, marker.name);
    facts.sections = {{0, "intro"}, {128, "build"}, {384, "drop"}, {640, "breakdown"}, {768, "climax"}, {1024, "outro"}};
    for (int track = 10; track < 14; ++track) facts.selection.emplace_back(track, 384);
    // A tune's loudness: a kick on every beat over a steady bed.
    Loudness loud;
    loud.framesPerRow = 44100 / 8.1333;
    for (int quarter = 0; quarter < 1148 * Loudness::bucketsPerRow; ++quarter) {
        const int inBeat = quarter % (4 * Loudness::bucketsPerRow);
        loud.peaks.push_back(0.12f + (inBeat < 3 ? 0.2f - 0.06f * static_cast<float>(inBeat) : 0.0f));
    }
    if (load == Load::PanelLoudnessInspector) facts.loudness = &loud;
    InspectorFacts inspected;
    inspected.track = names[7];
    inspected.row = 300;
    inspected.keyHere = true;
    inspected.interpolation = 2;
    inspected.value = 0.25f;
    inspected.high = 1;
    std::vector<double> times;
    const int warm = 20, timed = 200;
    for (int frame = 0; frame < warm + timed; ++frame) {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glViewport(0, 0, width, height);
        // As the player's present leaves the window: the panel's colour
        // around the picture.
        glClearColor(panelBackdrop[0], panelBackdrop[1], panelBackdrop[2], 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glFinish();
        const Clock::time_point start = Clock::now();
        guiBeginFrame(width, height);
        const double row = 300 + frame * 0.5;
        PanelView view;
        view.inspector = load == Load::PanelLoudnessInspector;
        const PanelLayout layout = layoutPanel(width, height, row, view, names, guiFontSize());
        // As the player draws it: the panel, or the help over where it was.
        if (load != Load::Message && load != Load::PanelAndHelp) drawPanel(layout, facts, "row 300   cam.rot.x   filter: none");
        if (load == Load::PanelLoudnessInspector) drawInspector(layout, inspected);
        ImGui::SetNextWindowPos(ImVec2(4, static_cast<float>(height) / 2), ImGuiCond_Always);
        ImGui::Begin("messages", nullptr, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_AlwaysAutoResize);
        ImGui::TextUnformatted("moved 12 keys by a beat");
        ImGui::End();
        if (load == Load::PanelAndHelp) {
            guiFillBox(0, 0, static_cast<float>(width) * 0.8f, static_cast<float>(height) - 16, IM_COL32(18, 19, 22, 255));
            ImGui::SetNextWindowPos(ImVec2(0, 0));
            ImGui::SetNextWindowSize(ImVec2(static_cast<float>(width) * 0.8f, static_cast<float>(height) - 16));
            ImGui::SetNextWindowBgAlpha(0.0f);
            ImGui::Begin("help");
            for (int line = 0; line < 90; ++line) ImGui::Text("key %d\tdoes what it does, at some length", line);
            ImGui::End();
        }
        guiEndFrame();
        glFinish();
        if (frame >= warm) times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        glutSwapBuffers();
    }
    // The median: a frame the machine spent elsewhere says nothing of the
    // interface.
    std::nth_element(times.begin(), times.begin() + timed / 2, times.end());
    return times[timed / 2];
}

} // namespace

int main(int argc, char** argv)
{
    XServer server(1280, 720);
    if (!server.ok()) {
        std::fputs("gui_bench: no X server\n", stderr);
        return 1;
    }
    setenv("DISPLAY", server.display().c_str(), 1);
    glutInit(&argc, argv);
    glutInitContextVersion(4, 3);
    glutInitContextProfile(GLUT_CORE_PROFILE);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(1280, 720);
    const int window = glutCreateWindow("gui_bench");
    glutDisplayFunc([] {});
    glewExperimental = GL_TRUE;
    if (glewInit() != GLEW_OK) return 1;
    std::string error;
    if (!startGui(desktopGuiSettings(), error)) {
        std::fprintf(stderr, "gui_bench: %s\n", error.c_str());
        return 1;
    }
    std::ifstream in(ORVANTA_SOURCE_DIR "/data/tracks/demo.tracks");
    std::stringstream text;
    text << in.rdbuf();
    TrackDocument document;
    TextError parseError;
    if (!document.load(text.str() + "#mark drop 24:0:0\n#mark fill 40:2:0\n", "demo.tracks", parseError)) {
        std::fprintf(stderr, "gui_bench: demo.tracks: %s\n", parseError.describe().c_str());
        return 1;
    }
    std::printf("orvanta-live's interface, ms a frame (ImGui's frame to glFinish; %s)\n",
                reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    for (const auto& [w, h] : {std::make_pair(1280, 720), std::make_pair(960, 540)}) {
        const double message = millisecondsAFrame(w, h, Load::Message, document);
        const double panel = millisecondsAFrame(w, h, Load::Panel, document);
        const double inspector = millisecondsAFrame(w, h, Load::PanelLoudnessInspector, document);
        const double help = millisecondsAFrame(w, h, Load::PanelAndHelp, document);
        std::printf("  %4dx%-4d  panel hidden %6.3f   panel open %6.3f (%+.3f)   with loudness and inspector %6.3f"
                    "   panel and help %6.3f\n",
                    w, h, message, panel, panel - message, inspector, help);
    }
    // The window goes before its X server.
    glutDestroyWindow(window);
    glutExit();
    return 0;
}
