#include "render/render_screen.h"

#include "demo/clock.h"
#include "demo/timeline.h"
#include "demo/tracks.h"
#include "gpu/camera.h"
#include "gpu/mesh.h"
#include "gpu/texture.h"
#include "render/demo_description.h"
#include "render/frame_size.h"
#include "render/programs.h"
#include "render/pass_timing.h"
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
};

// A frame drawn smaller than its window (setFrameSize): the final pass draws
// into the present target, which each present scales up to the window.
struct Shown {
    bool scaled = false;
    int width = 0; // the window's size
    int height = 0;
    // The part of the window the frame fills, from its bottom left; all of
    // it when width is 0.
    int areaX = 0, areaY = 0, areaWidth = 0, areaHeight = 0;
    float backdrop[3] = {0, 0, 0};
};

// The row and scene of the frame before, for the history pass's
// "iTimeDelta".
struct LastFrame {
    bool drawn = false;
    double row = 0.0;
    int scene = 0;
};

// A uniform the tracks feed: a float, or a vector of one track a component.
struct FedUniform {
    std::string name;
    int size = 1;
    int tracks[4] = {-1, -1, -1, -1};
};

// The description drawn, and what the frame driver reads from it each frame.
struct Drawing {
    DemoDescription description;
    int sceneTrack = -1;
    int timeTrack = -1;
    std::vector<int> headTracks;                   // sampled once a frame
    std::vector<FedUniform> uniforms[passCount + 1]; // by pass
    bool readsHistory[passCount + 1] = {};
};

// The frame driver's state, kept here alone.
struct FrameDriver {
    History history;
    void (*beforeSwap)() = nullptr;
    void (*present)() = glutSwapBuffers;
    Shown shown;
    LastFrame lastFrame;
    Drawing drawing;
    std::vector<unsigned char>* pixels = nullptr; // where the next frame's picture is read to
} DRIVER;

History& history = DRIVER.history;

float windowWidth()
{
    return frameSize().windowWidth;
}

float windowHeight()
{
    return frameSize().windowHeight;
}

// The finished frame into the window, the hook over it, the swap.
void presentFrame()
{
    const Shown& shown = DRIVER.shown;
    if (DRIVER.pixels) {
        // The finished picture, before anything is drawn over it.
        DRIVER.pixels->resize(static_cast<size_t>(windowWidth()) * static_cast<size_t>(windowHeight()) * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadBuffer(presentFramebuffer() ? GL_COLOR_ATTACHMENT0 : GL_BACK);
        glReadPixels(0, 0, static_cast<int>(windowWidth()), static_cast<int>(windowHeight()), GL_RGBA,
                     GL_UNSIGNED_BYTE, DRIVER.pixels->data());
        DRIVER.pixels = nullptr;
    }
    if (shown.scaled) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, presentFramebuffer());
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        int x0 = 0, y0 = 0, x1 = shown.width, y1 = shown.height;
        if (shown.areaWidth > 0) {
            // The rest of the window is the hook's to draw on.
            glClearColor(shown.backdrop[0], shown.backdrop[1], shown.backdrop[2], 1.0f);
            glClear(GL_COLOR_BUFFER_BIT);
            x0 = shown.areaX;
            y0 = shown.areaY;
            x1 = x0 + shown.areaWidth;
            y1 = y0 + shown.areaHeight;
        }
        glBlitFramebuffer(0, 0, static_cast<int>(windowWidth()), static_cast<int>(windowHeight()), x0, y0, x1, y1,
                          GL_COLOR_BUFFER_BIT, GL_LINEAR);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glViewport(0, 0, shown.width, shown.height);
    }
    if (DRIVER.beforeSwap) {
        DRIVER.beforeSwap();
    }
    DRIVER.present();
}

// Seconds of music since the last frame: 0 on the first frame, while
// paused, and after a seek backwards; at most a second after a jump ahead.
// A cut counts as the full second, so pass 2 starts the new scene afresh
// instead of laying it over the old one.
float secondsSinceLastFrame(double row, int scene)
{
    LastFrame& lastFrame = DRIVER.lastFrame;
    double seconds = lastFrame.drawn ? (row - lastFrame.row) / DRIVER.drawing.description.rowRate : 0.0;
    if (lastFrame.drawn && scene != lastFrame.scene) seconds = 1.0;
    lastFrame = {true, row, scene};
    return static_cast<float>(seconds > 0.0 ? std::min(seconds, 1.0) : 0.0);
}

Camera passCamera()
{
    Camera camera(45.0f, windowWidth() / windowHeight(), 0.01f, 100.0f);
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

GLuint imageName(FrameImage image, const std::unique_ptr<Texture> (&images)[passCount + 1])
{
    switch (image) {
    case FrameImage::PassOne: return images[1]->id;
    case FrameImage::PassTwo: return images[2]->id;
    case FrameImage::PassThree: return images[3]->id;
    case FrameImage::PassFour: return images[4]->id;
    case FrameImage::History: return history.texture->id;
    case FrameImage::Logo: return logoImage().id;
    }
    return 0;
}

// Each pass's images, the chain's own uniforms and those the tracks feed,
// on the current program. `values` holds the tracks sampled at the head.
void setPassInputs(int pass, GLuint program, double row, const std::vector<float>& values, float timeDelta,
                   const std::unique_ptr<Texture> (&images)[passCount + 1])
{
    const Drawing& drawing = DRIVER.drawing;
    const std::vector<ImageInput>& inputs = drawing.description.inputs[static_cast<size_t>(pass)];
    for (size_t unit = 0; unit < inputs.size(); ++unit) {
        bindInput(program, inputs[unit].sampler.c_str(), static_cast<int>(unit), imageName(inputs[unit].image, images));
    }
    const float scale = pass == 1 ? frameSize().sceneRenderScale : 1.0f;
    if (pass == 1) {
        glUniform2f(glGetUniformLocation(program, "iResolution"), windowWidth() * scale, windowHeight() * scale);
    } else {
        glUniform2f(glGetUniformLocation(program, "iResolution"), windowWidth(), windowHeight());
    }
    glUniform1f(glGetUniformLocation(program, "iGlobalTime"), values[static_cast<size_t>(drawing.timeTrack)]);
    if (drawing.readsHistory[pass]) glUniform1f(glGetUniformLocation(program, "iTimeDelta"), timeDelta);
    for (const FedUniform& uniform : drawing.uniforms[pass]) {
        float value[4] = {};
        for (int c = 0; c < uniform.size; ++c) {
            const int track = uniform.tracks[c];
            if (track < 0) continue;
            const TrackDescription& described = drawing.description.tracks[static_cast<size_t>(track)];
            value[c] = described.atHead ? values[static_cast<size_t>(track)] : sampleTrackAt(track, row);
        }
        const GLint location = glGetUniformLocation(program, uniform.name.c_str());
        switch (uniform.size) {
        case 1: glUniform1f(location, value[0]); break;
        case 2: glUniform2f(location, value[0], value[1]); break;
        case 3: glUniform3f(location, value[0], value[1], value[2]); break;
        default: glUniform4f(location, value[0], value[1], value[2], value[3]); break;
        }
    }
}

} // namespace

const Texture* historyImage()
{
    return history.texture.get();
}

void setBeforeSwap(void (*hook)())
{
    DRIVER.beforeSwap = hook;
}

void setPresent(void (*call)())
{
    DRIVER.present = call;
}

void setDemoDescription(const DemoDescription& description)
{
    Drawing drawing;
    drawing.description = description;
    drawing.sceneTrack = trackIndex(description, description.sceneTrack);
    drawing.timeTrack = trackIndex(description, description.timeTrack);
    for (size_t t = 0; t < description.tracks.size(); ++t) {
        const TrackDescription& track = description.tracks[t];
        const int index = static_cast<int>(t);
        if (track.atHead || index == drawing.sceneTrack || index == drawing.timeTrack) {
            drawing.headTracks.push_back(index);
        }
        if (track.uniform.empty()) continue;
        for (int pass = 1; pass <= passCount; ++pass) {
            if (!(track.passes & (1u << pass))) continue;
            std::vector<FedUniform>& fed = drawing.uniforms[pass];
            auto uniform =
                std::find_if(fed.begin(), fed.end(), [&](const FedUniform& u) { return u.name == track.uniform; });
            if (uniform == fed.end()) uniform = fed.insert(fed.end(), FedUniform{track.uniform});
            const int component = std::max(track.component, 0);
            uniform->size = std::max(uniform->size, component + 1);
            uniform->tracks[component] = index;
        }
    }
    for (int pass = 0; pass <= passCount; ++pass) {
        for (const ImageInput& input : description.inputs[static_cast<size_t>(pass)]) {
            if (input.image == FrameImage::History) drawing.readsHistory[pass] = true;
        }
    }
    DRIVER.drawing = std::move(drawing);
}

const DemoDescription& demoDescription()
{
    return DRIVER.drawing.description;
}

int sceneCountDrawn()
{
    return static_cast<int>(DRIVER.drawing.description.scenes.size());
}

void drawFrame(double row)
{
    const Drawing& drawing = DRIVER.drawing;
    // Sampling has no side effects: one sample of the scene track serves the
    // status line and all four passes, so the line always names the scene
    // drawn. The head's tracks are sampled once for every pass.
    std::vector<float> values(drawing.description.tracks.size(), 0.0f);
    for (int track : drawing.headTracks) values[static_cast<size_t>(track)] = sampleTrackAt(track, row);
    const int sceneIndex = truncateToInt(values[static_cast<size_t>(drawing.sceneTrack)]);
    const int scene = sceneFromIndex(sceneIndex, sceneCountDrawn());
    const float timeDelta = secondsSinceLastFrame(row, scene);
    if (!history.texture) {
        history.texture = std::make_unique<Texture>(static_cast<int>(windowWidth()), static_cast<int>(windowHeight()));
    }
    collectPassTimes();

    // The stream stays in hexadecimal, so the scene index is written in it too.
    std::cout << "0x" << std::hex << truncateToInt(row) << "; scene:" << sceneIndex << "\n";

    std::unique_ptr<Texture> images[passCount + 1];
    for (int pass = 1; pass <= passCount; ++pass) {
        images[pass] = beginOffscreenPass(pass);
        ShaderProgram* program = programAt(scenePassCount * scene + pass);
        Mesh& mesh = meshAt(pass);
        mesh.bindAttributes(program);
        glUseProgram(program->program);
        const Camera camera = passCamera();
        setPassInputs(pass, program->program, row, values, timeDelta, images);
        beginPassTime(pass);
        drawMesh(mesh, camera);
        endPassTime();
    }

    beginFinalPass();
    const GLuint finalProgram = programAt(0)->program;
    glUseProgram(finalProgram);
    static const char* const samplers[8] = {"iChannel0", "iChannel1", "iChannel2", "iChannel3",
                                            "iChannel4", "iChannel5", "iChannel6", "iChannel7"};
    for (int unit = 0; unit < 8; ++unit) {
        glUniform1i(glGetUniformLocation(finalProgram, samplers[unit]), unit);
    }
    const std::vector<ImageInput>& finalInputs = drawing.description.inputs[0];
    for (size_t unit = 0; unit < finalInputs.size(); ++unit) {
        glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
        glBindTexture(GL_TEXTURE_2D, imageName(finalInputs[unit].image, images));
    }
    glUniform2f(glGetUniformLocation(finalProgram, "iResolution"), windowWidth(), windowHeight());
    const Camera camera = passCamera();
    glEnable(GL_DEPTH_TEST);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    beginPassTime(0);
    drawMesh(meshAt(0), camera);
    endPassTime();

    copyToHistory(*images[2], *history.texture);
    presentFrame();
    for (int pass = passCount; pass >= 1; --pass) {
        images[pass].reset();
    }
    frameTimed();
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
    setFrameDimensions(width, height);
    allocateDepthBuffers(width, height);
    history.texture.reset();
}

void setFrameSize(int width, int height, float sceneScale, int shownWidth, int shownHeight)
{
    assert(width > 0 && height > 0 && shownWidth > 0 && shownHeight > 0 && sceneScale > 0.0f);
    setSceneRenderScale(sceneScale);
    DRIVER.shown = {true, shownWidth, shownHeight};
    const int oldWidth = static_cast<int>(windowWidth()), oldHeight = static_cast<int>(windowHeight());
    if (width == oldWidth && height == oldHeight && presentFramebuffer()) return;
    createPresentTarget(width, height);
    setFrameDimensions(width, height);
    allocateDepthBuffers(width, height);
    if (history.texture) {
        auto scaled = std::make_unique<Texture>(width, height);
        scaleImage(*history.texture, oldWidth, oldHeight, *scaled, width, height);
        history.texture = std::move(scaled);
    }
}

void setShownArea(int x, int y, int width, int height, float red, float green, float blue)
{
    assert(width >= 0 && height >= 0);
    Shown& shown = DRIVER.shown;
    shown.backdrop[0] = red;
    shown.backdrop[1] = green;
    shown.backdrop[2] = blue;
    shown.areaX = x;
    shown.areaY = y;
    shown.areaWidth = height > 0 ? width : 0;
    shown.areaHeight = width > 0 ? height : 0;
}

FrameDimensions frameDimensions()
{
    return {static_cast<int>(windowWidth()), static_cast<int>(windowHeight())};
}

FrameDimensions windowDimensions()
{
    if (DRIVER.shown.scaled) return {DRIVER.shown.width, DRIVER.shown.height};
    return frameDimensions();
}

void showFrameAgain()
{
    assert(DRIVER.shown.scaled);
    presentFrame();
}

void drawFrameAt(double row)
{
    holdMusicAt(row);
    renderScreen();
}

void drawFrameInto(double row, std::vector<unsigned char>& rgba)
{
    DRIVER.pixels = &rgba;
    drawFrameAt(row);
    DRIVER.pixels = nullptr;
}
