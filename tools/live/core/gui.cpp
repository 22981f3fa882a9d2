#include "gui.h"

#include "panel.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <imgui.h>
#include <backends/imgui_impl_glut.h>
#include <backends/imgui_impl_opengl3.h>

#include <algorithm>
#include <cstddef>
#include <cmath>
#include <vector>

namespace {

struct Box {
    float x0, y0, x1, y1;
    unsigned colour;
};

struct FlatVertex {
    float x, y;
    unsigned colour; // bytes R, G, B, A
};

// Written so that desktop GL 3.3 and GL ES 3.0 (WebGL2) both compile them,
// after the version line the host names.
const char* const flatVertexShader = R"(
layout(location = 0) in vec2 position;
layout(location = 1) in vec4 colour;
uniform vec2 size;
out vec4 tint;
void main()
{
    tint = colour;
    gl_Position = vec4(position.x / size.x * 2.0 - 1.0, 1.0 - position.y / size.y * 2.0, 0.0, 1.0);
}
)";

const char* const flatFragmentShader = R"(
precision mediump float;
in vec4 tint;
out vec4 colour;
void main()
{
    colour = tint;
}
)";

struct Gui {
    bool started = false;
    std::vector<Box> boxes; // this frame's, in order
    std::vector<FlatVertex> flat; // this frame's triangles, in order
    GLuint flatProgram = 0, flatArray = 0, flatBuffer = 0;
    GLint flatSize = -1;
    GuiSettings settings; // the atlas reads the font from its bytes
    float fontSize = 0;
} GUI;

void loadFont(float size)
{
    ImGuiIO& io = ImGui::GetIO();
    io.Fonts->Clear();
    if (GUI.settings.fontBuilder) io.Fonts->FontBuilderIO = GUI.settings.fontBuilder;
    io.Fonts->FontBuilderFlags = GUI.settings.fontBuilderFlags;
    ImFontConfig config;
    config.FontDataOwnedByAtlas = false;
    std::string& font = GUI.settings.font;
    if (font.empty() || !io.Fonts->AddFontFromMemoryTTF(font.data(), static_cast<int>(font.size()), size, &config)) {
        ImFontConfig own;
        own.SizePixels = std::round(size);
        io.Fonts->AddFontDefault(&own);
    }
    GUI.fontSize = size;
}

GLuint compiled(GLenum kind, const char* body)
{
    const GLuint shader = glCreateShader(kind);
    const char* source[] = {GUI.settings.glsl.c_str(), body};
    glShaderSource(shader, 2, source, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok == GL_TRUE) return shader;
    glDeleteShader(shader);
    return 0;
}

bool startFlatShapes()
{
    const GLuint vertex = compiled(GL_VERTEX_SHADER, flatVertexShader);
    const GLuint fragment = compiled(GL_FRAGMENT_SHADER, flatFragmentShader);
    GLint linked = GL_FALSE;
    if (vertex && fragment) {
        GUI.flatProgram = glCreateProgram();
        glAttachShader(GUI.flatProgram, vertex);
        glAttachShader(GUI.flatProgram, fragment);
        glLinkProgram(GUI.flatProgram);
        glGetProgramiv(GUI.flatProgram, GL_LINK_STATUS, &linked);
    }
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    if (linked != GL_TRUE) return false;
    GUI.flatSize = glGetUniformLocation(GUI.flatProgram, "size");
    glGenVertexArrays(1, &GUI.flatArray);
    glGenBuffers(1, &GUI.flatBuffer);
    glBindVertexArray(GUI.flatArray);
    glBindBuffer(GL_ARRAY_BUFFER, GUI.flatBuffer);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, sizeof(FlatVertex), nullptr);
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(FlatVertex),
                          reinterpret_cast<const void*>(offsetof(FlatVertex, colour)));
    glBindVertexArray(0);
    return true;
}

void drawFlatShapes(int width, int height)
{
    if (GUI.flat.empty()) return;
    // The frame's passes find their bindings and blending as they left
    // them, and so does ImGui, which keeps what it finds.
    GLint program = 0, array = 0, buffer = 0, sourceRgb = 0, destinationRgb = 0, sourceAlpha = 0, destinationAlpha = 0,
          equationRgb = 0, equationAlpha = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &array);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &buffer);
    glGetIntegerv(GL_BLEND_SRC_RGB, &sourceRgb);
    glGetIntegerv(GL_BLEND_DST_RGB, &destinationRgb);
    glGetIntegerv(GL_BLEND_SRC_ALPHA, &sourceAlpha);
    glGetIntegerv(GL_BLEND_DST_ALPHA, &destinationAlpha);
    glGetIntegerv(GL_BLEND_EQUATION_RGB, &equationRgb);
    glGetIntegerv(GL_BLEND_EQUATION_ALPHA, &equationAlpha);
    const GLboolean blend = glIsEnabled(GL_BLEND), depth = glIsEnabled(GL_DEPTH_TEST), cull = glIsEnabled(GL_CULL_FACE);
    glUseProgram(GUI.flatProgram);
    glUniform2f(GUI.flatSize, static_cast<float>(width), static_cast<float>(height));
    glBindVertexArray(GUI.flatArray);
    glBindBuffer(GL_ARRAY_BUFFER, GUI.flatBuffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(GUI.flat.size() * sizeof(FlatVertex)), GUI.flat.data(),
                 GL_STREAM_DRAW);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendEquation(GL_FUNC_ADD);
    glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(GUI.flat.size()));
    GUI.flat.clear();
    glUseProgram(static_cast<GLuint>(program));
    glBindVertexArray(static_cast<GLuint>(array));
    glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(buffer));
    glBlendEquationSeparate(static_cast<GLenum>(equationRgb), static_cast<GLenum>(equationAlpha));
    glBlendFuncSeparate(static_cast<GLenum>(sourceRgb), static_cast<GLenum>(destinationRgb), static_cast<GLenum>(sourceAlpha),
                        static_cast<GLenum>(destinationAlpha));
    if (!blend) glDisable(GL_BLEND);
    if (depth) glEnable(GL_DEPTH_TEST);
    if (cull) glEnable(GL_CULL_FACE);
}

} // namespace

bool startGui(GuiSettings settings, std::string& error)
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
    GUI.settings = std::move(settings);
    if (!ImGui_ImplGLUT_Init() || !ImGui_ImplOpenGL3_Init(GUI.settings.glsl.c_str())) {
        error = "the interface's OpenGL 3 back end did not start";
        ImGui::DestroyContext();
        return false;
    }
    if (!startFlatShapes()) {
        error = "the interface's flat shapes' program did not build";
        ImGui_ImplOpenGL3_Shutdown();
        ImGui_ImplGLUT_Shutdown();
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
    drawFlatShapes(width, height);
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

void guiFlatTriangle(float ax, float ay, float bx, float by, float cx, float cy, unsigned colour)
{
    GUI.flat.push_back({ax, ay, colour});
    GUI.flat.push_back({bx, by, colour});
    GUI.flat.push_back({cx, cy, colour});
}

void guiFlatRect(float x0, float y0, float x1, float y1, unsigned colour)
{
    guiFlatTriangle(x0, y0, x1, y0, x1, y1, colour);
    guiFlatTriangle(x0, y0, x1, y1, x0, y1, colour);
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
    // The GLUT back end's wheel call is freeglut's alone; this is what it does.
    if (!GUI.started) return;
    ImGuiIO& io = ImGui::GetIO();
    io.MousePos = ImVec2(static_cast<float>(x), static_cast<float>(y));
    io.MouseWheel += direction > 0 ? 1.0f : direction < 0 ? -1.0f : 0.0f;
}

bool guiWantsMouse()
{
    return GUI.started && ImGui::GetIO().WantCaptureMouse;
}
