#include "gui.h"

#include "files.h"
#include "panel.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <imgui.h>
#include <imgui_freetype.h>
#include <backends/imgui_impl_glut.h>
#include <backends/imgui_impl_opengl3.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A font file past this is not the font the build named.
constexpr size_t fontFileLimit = 16u << 20;

struct Box {
    float x0, y0, x1, y1;
    unsigned colour;
};

struct Gui {
    bool started = false;
    std::vector<Box> boxes; // this frame's, in order
    std::string fontBytes; // the atlas reads the font from here
    float fontSize = 0;
} GUI;

void loadFont(float size)
{
    ImGuiIO& io = ImGui::GetIO();
    io.Fonts->Clear();
    // FreeType's hinting keeps small letters apart ("o" from "a") at the
    // sizes a 960x540 window gets.
    io.Fonts->FontBuilderIO = ImGuiFreeType::GetBuilderForFreeType();
    io.Fonts->FontBuilderFlags = ImGuiFreeTypeBuilderFlags_LightHinting;
    ImFontConfig config;
    config.FontDataOwnedByAtlas = false;
    if (GUI.fontBytes.empty() ||
        !io.Fonts->AddFontFromMemoryTTF(GUI.fontBytes.data(), static_cast<int>(GUI.fontBytes.size()), size, &config)) {
        ImFontConfig own;
        own.SizePixels = std::round(size);
        io.Fonts->AddFontDefault(&own);
    }
    GUI.fontSize = size;
}

} // namespace

bool startGui(std::string& error)
{
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    // Nothing of the interface's state is kept between runs.
    io.IniFilename = nullptr;
    io.LogFilename = nullptr;
    ImGui::StyleColorsDark();
    ImGuiStyle& style = ImGui::GetStyle();
    style.WindowRounding = 2;
    style.WindowBorderSize = 0;
    style.Colors[ImGuiCol_WindowBg].w = 0.92f;
    std::string ignored;
    if (!readWholeFile(ORVANTA_UI_FONT, GUI.fontBytes, ignored, fontFileLimit)) GUI.fontBytes.clear();
    if (!ImGui_ImplGLUT_Init() || !ImGui_ImplOpenGL3_Init("#version 330 core")) {
        error = "the interface's OpenGL 3 back end did not start";
        ImGui::DestroyContext();
        return false;
    }
    loadFont(panelFontSize(glutGet(GLUT_WINDOW_HEIGHT)));
    GUI.started = true;
    return true;
}

bool guiStarted()
{
    return GUI.started;
}

float guiFontSize()
{
    return GUI.fontSize;
}

void guiBeginFrame(int width, int height)
{
    const float size = panelFontSize(height);
    if (size != GUI.fontSize) {
        ImGui_ImplOpenGL3_DestroyFontsTexture();
        loadFont(size);
        ImGui_ImplOpenGL3_CreateFontsTexture();
    }
    ImGui::GetIO().DisplaySize = ImVec2(static_cast<float>(width), static_cast<float>(height));
    ImGui_ImplOpenGL3_NewFrame();
    // The GLUT back end's frame begins ImGui's.
    ImGui_ImplGLUT_NewFrame();
}

void guiEndFrame()
{
    ImGui::Render();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    const int width = static_cast<int>(ImGui::GetIO().DisplaySize.x), height = static_cast<int>(ImGui::GetIO().DisplaySize.y);
    glViewport(0, 0, width, height);
    glEnable(GL_SCISSOR_TEST);
    for (const Box& box : GUI.boxes) {
        const int x0 = std::clamp(static_cast<int>(std::lround(box.x0)), 0, width);
        const int x1 = std::clamp(static_cast<int>(std::lround(box.x1)), 0, width);
        const int y0 = std::clamp(static_cast<int>(std::lround(box.y0)), 0, height);
        const int y1 = std::clamp(static_cast<int>(std::lround(box.y1)), 0, height);
        if (x1 <= x0 || y1 <= y0) continue;
        glScissor(x0, height - y1, x1 - x0, y1 - y0);
        glClearColor(static_cast<float>(box.colour & 0xff) / 255.0f, static_cast<float>(box.colour >> 8 & 0xff) / 255.0f,
                     static_cast<float>(box.colour >> 16 & 0xff) / 255.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    GUI.boxes.clear();
    glDisable(GL_SCISSOR_TEST);
    ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
    // The frame's passes expect these as they left them.
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
}

void guiFillBox(float x0, float y0, float x1, float y1, unsigned colour)
{
    GUI.boxes.push_back({x0, y0, x1, y1, colour});
}

void guiMouse(int button, int state, int x, int y)
{
    if (GUI.started) ImGui_ImplGLUT_MouseFunc(button, state, x, y);
}

void guiMotion(int x, int y)
{
    if (GUI.started) ImGui_ImplGLUT_MotionFunc(x, y);
}

void guiWheel(int direction, int x, int y)
{
    if (GUI.started) ImGui_ImplGLUT_MouseWheelFunc(0, direction, x, y);
}

bool guiWantsMouse()
{
    return GUI.started && ImGui::GetIO().WantCaptureMouse;
}
