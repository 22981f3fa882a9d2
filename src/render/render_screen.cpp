#include "render/render_screen.h"

#include "demo/clock.h"
#include "demo/timeline.h"
#include "demo/tracks.h"
#include "gpu/camera.h"
#include "gpu/mesh.h"
#include "gpu/texture.h"
#include "render/frame_size.h"
#include "render/programs.h"
#include "render/render_targets.h"
#include "render/scene_index.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <GL/glx.h>

#include <algorithm>
#include <cassert>
#include <cstring>
#include <iostream>
#include <memory>

namespace {

// Made on the first frame, released at the end of the run while the GL
// context still exists. At process exit (after Escape, say) the context is
// already gone with the window, and with it the texture: the name is then
// only forgotten.
struct History {
    std::unique_ptr<Texture> texture;
    ~History()
    {
        if (texture && glXGetCurrentContext() == nullptr) {
            texture->abandon();
        }
    }
} history;

void (*beforeSwap)() = nullptr;
void (*present)() = glutSwapBuffers;

// A frame drawn smaller than its window (setFrameSize): the final pass draws
// into the present target, which each present scales up to the window.
struct Shown {
    bool scaled = false;
    int width = 0; // the window's size
    int height = 0;
} shown;

// The finished frame into the window, the hook over it, the swap.
void presentFrame()
{
    if (shown.scaled) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, presentFramebuffer);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glBlitFramebuffer(0, 0, static_cast<int>(windowWidth), static_cast<int>(windowHeight), 0, 0, shown.width,
                          shown.height, GL_COLOR_BUFFER_BIT, GL_LINEAR);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glViewport(0, 0, shown.width, shown.height);
    }
    if (beforeSwap) {
        beforeSwap();
    }
    present();
}

// GPU time of each pass (0: the final pass), measured with timer queries
// when asked for. Each frame uses the next set of queries in a ring and reads
// the set written `depth - 1` frames before, whose results are in by then,
// so measuring never waits on the GPU.
struct PassTiming {
    static constexpr int depth = 4;
    bool enabled = false;
    GLuint queries[depth][passCount + 1] = {};
    long frame = 0;   // frames drawn
    long issued = 0;  // frames drawn with timing on, since it was turned on
    bool measured = false;
    double milliseconds[passCount + 1] = {};
} timing;

int timingSlot()
{
    return static_cast<int>(timing.frame % PassTiming::depth);
}

void beginPassTime(int pass)
{
    if (timing.enabled) glBeginQuery(GL_TIME_ELAPSED, timing.queries[timingSlot()][pass]);
}

void endPassTime()
{
    if (timing.enabled) glEndQuery(GL_TIME_ELAPSED);
}

// Reads the set of queries this frame is about to reuse, once it was written.
void collectPassTimes()
{
    if (!timing.enabled) return;
    if (timing.issued++ < PassTiming::depth) return;
    for (int pass = 0; pass <= passCount; ++pass) {
        GLuint64 nanoseconds = 0;
        glGetQueryObjectui64v(timing.queries[timingSlot()][pass], GL_QUERY_RESULT, &nanoseconds);
        timing.milliseconds[pass] = static_cast<double>(nanoseconds) * 1e-6;
    }
    timing.measured = true;
}

// The row and scene of the frame before, for pass 2's "iTimeDelta".
struct LastFrame {
    bool drawn = false;
    double row = 0.0;
    int scene = 0;
} lastFrame;

// Seconds of music since the last frame: 0 on the first frame, while
// paused, and after a seek backwards; at most a second after a jump ahead.
// A cut counts as the full second, so pass 2 starts the new scene afresh
// instead of laying it over the old one.
float secondsSinceLastFrame(double row, int scene)
{
    double seconds = lastFrame.drawn ? (row - lastFrame.row) / rowRate : 0.0;
    if (lastFrame.drawn && scene != lastFrame.scene) seconds = 1.0;
    lastFrame = {true, row, scene};
    return static_cast<float>(seconds > 0.0 ? std::min(seconds, 1.0) : 0.0);
}

// The tracks sampled at the head of the frame.
struct HeadValues {
    float timeDelta;
    float globalTime;
    float camDist[3];
    float camRot[3];
    float dirRot[3];
};

Camera passCamera()
{
    Camera camera(45.0f, windowWidth / windowHeight, 0.01f, 100.0f);
    camera.eye = glm::vec3(0.0f, 0.0f, -0.1f);
    camera.target = glm::vec3(0.0f, 0.0f, 0.0f);
    return camera;
}

void drawMesh(Mesh& mesh, const Camera& camera)
{
    mesh.position = glm::vec3(0.0f, 0.0f, 0.0f);
    mesh.rotation = glm::vec4(0.0f, 0.0f, 0.0f, 1.0f);
    mesh.draw(camera);
}

void bindInput(GLuint program, const char* sampler, int unit, GLuint texture)
{
    glUniform1i(glGetUniformLocation(program, sampler), unit);
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
    glBindTexture(GL_TEXTURE_2D, texture);
}

void setVec3(GLuint program, const char* name, DemoTrack x, DemoTrack y, DemoTrack z, double row)
{
    glUniform3f(glGetUniformLocation(program, name), sampleTrack(x, row), sampleTrack(y, row), sampleTrack(z, row));
}

// Each pass's inputs and track-fed uniforms, on the current program.
void setPassInputs(int pass, GLuint program, double row, const HeadValues& head,
                   const std::unique_ptr<Texture> (&images)[passCount + 1])
{
    const GLint resolution = glGetUniformLocation(program, "iResolution");
    const GLint globalTime = glGetUniformLocation(program, "iGlobalTime");
    switch (pass) {
    case 1:
        glUniform2f(resolution, windowWidth * sceneRenderScale, windowHeight * sceneRenderScale);
        glUniform1f(globalTime, head.globalTime);
        glUniform1f(glGetUniformLocation(program, "field_of_view"), sampleTrack(DemoTrack::FieldOfView, row));
        glUniform3fv(glGetUniformLocation(program, "cam_dist"), 1, head.camDist);
        glUniform3fv(glGetUniformLocation(program, "cam_rot"), 1, head.camRot);
        glUniform3fv(glGetUniformLocation(program, "dir_rot"), 1, head.dirRot);
        glUniform1f(glGetUniformLocation(program, "moveground"), sampleTrack(DemoTrack::MoveGround, row));
        setVec3(program, "lightSource", DemoTrack::LightX, DemoTrack::LightY, DemoTrack::LightZ, row);
        break;
    case 2:
        bindInput(program, "iChannel0", 0, images[1]->id);
        bindInput(program, "iChannel1", 1, history.texture->id);
        glUniform2f(resolution, windowWidth, windowHeight);
        glUniform1f(globalTime, head.globalTime);
        glUniform1f(glGetUniformLocation(program, "iTimeDelta"), head.timeDelta);
        break;
    case 3:
        bindInput(program, "iChannel0", 0, images[2]->id);
        glUniform2f(resolution, windowWidth, windowHeight);
        glUniform1f(globalTime, head.globalTime);
        glUniform1f(glGetUniformLocation(program, "close_blur"), sampleTrack(DemoTrack::CloseBlur, row));
        glUniform1f(glGetUniformLocation(program, "far_blur"), sampleTrack(DemoTrack::FarBlur, row));
        break;
    case 4:
        bindInput(program, "iChannel0", 0, images[3]->id);
        bindInput(program, "iChannel1", 1, logoTexture->id);
        glUniform2f(resolution, windowWidth, windowHeight);
        glUniform1f(globalTime, head.globalTime);
        setVec3(program, "gain", DemoTrack::GainR, DemoTrack::GainG, DemoTrack::GainB, row);
        setVec3(program, "gamma", DemoTrack::GammaR, DemoTrack::GammaG, DemoTrack::GammaB, row);
        setVec3(program, "lift", DemoTrack::LiftR, DemoTrack::LiftG, DemoTrack::LiftB, row);
        setVec3(program, "saturation", DemoTrack::SaturationR, DemoTrack::SaturationG, DemoTrack::SaturationB, row);
        glUniform1f(glGetUniformLocation(program, "logo"), sampleTrack(DemoTrack::LogoSync, row));
        break;
    default:
        break;
    }
}

} // namespace

const Texture* historyImage()
{
    return history.texture.get();
}

void setBeforeSwap(void (*hook)())
{
    beforeSwap = hook;
}

void setPresent(void (*call)())
{
    present = call;
}

void drawFrame(double row)
{
    // Sampling has no side effects: one sample of "scene" serves the status
    // line and all four passes, so the line always names the scene drawn.
    const int sceneIndex = truncateToInt(sampleTrack(DemoTrack::Scene, row));
    const int scene = sceneFromIndex(sceneIndex);
    const HeadValues head = {
        secondsSinceLastFrame(row, scene),
        sampleTrack(DemoTrack::GlobalTime, row),
        {sampleTrack(DemoTrack::CamDistX, row), sampleTrack(DemoTrack::CamDistY, row), sampleTrack(DemoTrack::CamDistZ, row)},
        {sampleTrack(DemoTrack::CamRotX, row), sampleTrack(DemoTrack::CamRotY, row), sampleTrack(DemoTrack::CamRotZ, row)},
        {sampleTrack(DemoTrack::DirRotX, row), sampleTrack(DemoTrack::DirRotY, row), sampleTrack(DemoTrack::DirRotZ, row)},
    };
    if (!history.texture) {
        history.texture = std::make_unique<Texture>(static_cast<int>(windowWidth), static_cast<int>(windowHeight));
    }
    collectPassTimes();

    // The stream stays in hexadecimal, so the scene index is written in it too.
    std::cout << "0x" << std::hex << truncateToInt(row) << "; scene:" << sceneIndex << "\n";

    std::unique_ptr<Texture> images[passCount + 1];
    for (int pass = 1; pass <= passCount; ++pass) {
        images[pass] = beginOffscreenPass(pass);
        ShaderProgram* program = shaderPrograms[scenePassCount * scene + pass];
        meshes[pass]->bindAttributes(program);
        glUseProgram(program->program);
        const Camera camera = passCamera();
        setPassInputs(pass, program->program, row, head, images);
        beginPassTime(pass);
        drawMesh(*meshes[pass], camera);
        endPassTime();
    }

    beginFinalPass();
    const GLuint finalProgram = shaderPrograms[0]->program;
    glUseProgram(finalProgram);
    static const char* const samplers[8] = {"iChannel0", "iChannel1", "iChannel2", "iChannel3",
                                            "iChannel4", "iChannel5", "iChannel6", "iChannel7"};
    for (int unit = 0; unit < 8; ++unit) {
        glUniform1i(glGetUniformLocation(finalProgram, samplers[unit]), unit);
    }
    const GLuint inputs[4] = {images[4]->id, images[1]->id, images[1]->id, logoTexture->id};
    for (int unit = 0; unit < 4; ++unit) {
        glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
        glBindTexture(GL_TEXTURE_2D, inputs[unit]);
    }
    glUniform2f(glGetUniformLocation(finalProgram, "iResolution"), windowWidth, windowHeight);
    const Camera camera = passCamera();
    glEnable(GL_DEPTH_TEST);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    beginPassTime(0);
    drawMesh(*meshes[0], camera);
    endPassTime();

    copyToHistory(*images[2], *history.texture);
    presentFrame();
    for (int pass = passCount; pass >= 1; --pass) {
        images[pass].reset();
    }
    ++timing.frame;
}

void renderScreen()
{
    // The main loop may call once more after the run has ended or the quit
    // key was pressed; the music is gone by then.
    if (demoEnded()) return;
    const double row = beginFrameClock();
    drawFrame(row);
    endFrameClock(row);
    if (demoEnded()) {
        history.texture.reset();
    }
}

void resizeFrame(int width, int height)
{
    windowWidth = static_cast<float>(width);
    windowHeight = static_cast<float>(height);
    allocateDepthBuffers(width, height);
    history.texture.reset();
}

void setFrameSize(int width, int height, float sceneScale, int shownWidth, int shownHeight)
{
    assert(width > 0 && height > 0 && shownWidth > 0 && shownHeight > 0 && sceneScale > 0.0f);
    sceneRenderScale = sceneScale;
    shown = {true, shownWidth, shownHeight};
    const int oldWidth = static_cast<int>(windowWidth), oldHeight = static_cast<int>(windowHeight);
    if (width == oldWidth && height == oldHeight && presentFramebuffer) return;
    createPresentTarget(width, height);
    windowWidth = static_cast<float>(width);
    windowHeight = static_cast<float>(height);
    allocateDepthBuffers(width, height);
    if (history.texture) {
        auto scaled = std::make_unique<Texture>(width, height);
        scaleImage(*history.texture, oldWidth, oldHeight, *scaled, width, height);
        history.texture = std::move(scaled);
    }
}

void showFrameAgain()
{
    assert(shown.scaled);
    presentFrame();
}

bool passTimesMeasurable()
{
    static const bool measurable = [] {
        const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
        if (!renderer) return false;
        for (const char* software : {"llvmpipe", "softpipe", "SwiftShader", "Software Rasterizer", "swrast"}) {
            if (std::strstr(renderer, software)) return false;
        }
        return true;
    }();
    return measurable;
}

void setPassTiming(bool on)
{
    if (on && !timing.queries[0][0]) glGenQueries(PassTiming::depth * (passCount + 1), &timing.queries[0][0]);
    timing.enabled = on;
    timing.issued = 0;
}

bool passMilliseconds(double (&milliseconds)[passCount + 1])
{
    if (!timing.enabled || !timing.measured) return false;
    for (int pass = 0; pass <= passCount; ++pass) milliseconds[pass] = timing.milliseconds[pass];
    return true;
}

void drawFrameAt(double row)
{
    holdMusicAt(row);
    renderScreen();
}
