#include "app/demo.h"

#include "demo/tracks.h"
#include "platform/audio/audio.h"
#include "render/render_targets.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iostream>
#include <thread>

float windowWidth = 0.0f;
float windowHeight = 0.0f;
uint32_t musicStream = 0;
bool musicStarted = false;
bool musicPaused = false;

namespace {

bool ended = false;

} // namespace

bool demoEnded()
{
    return ended;
}

void initDemo()
{
    createRenderTargets();
    glutKeyboardFunc(handleKey);
    BASS_Start();
    BASS_Init(-1, 44100, 0, nullptr, nullptr);
    musicStream = BASS_StreamCreateFile(false, "tune.ogg", 0, 0, 0);
    openDemoTracks();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    // The switch to full screen asked for at start-up takes effect once the
    // main loop runs, after this reading: until it has, the window's size to
    // be is the screen's. Every target takes this one size, so the frame
    // covers the whole window in every configuration.
    const bool switched = glutGet(GLUT_FULL_SCREEN) != 0;
    windowWidth = static_cast<float>(glutGet(switched ? GLUT_WINDOW_WIDTH : GLUT_SCREEN_WIDTH));
    windowHeight = static_cast<float>(glutGet(switched ? GLUT_WINDOW_HEIGHT : GLUT_SCREEN_HEIGHT));
    // One reading of the window size serves every target, the depth buffers
    // included, so no pass is clipped to a size read earlier.
    allocateDepthBuffers(static_cast<int>(windowWidth), static_cast<int>(windowHeight));
}

double currentRow()
{
    const uint64_t position = BASS_ChannelGetPosition(musicStream, BASS_POS_BYTE);
    const double seconds = BASS_ChannelBytes2Seconds(musicStream, position);
    return seconds * rowRate;
}

void setMusicSeconds(double seconds)
{
    const double bytesPerSecond = 1.0 / BASS_ChannelBytes2Seconds(musicStream, 1);
    const long long frames = std::llround(seconds * bytesPerSecond / 4.0);
    BASS_ChannelSetPosition(musicStream, static_cast<uint64_t>(std::max(frames, 0LL) * 4), BASS_POS_BYTE);
}

double beginFrameClock()
{
    if (!musicStarted) {
        BASS_ChannelPlay(musicStream, false);
        musicStarted = true;
    }
    BASS_Update(0);
    return currentRow();
}

void endFrameClock(double row)
{
    BASS_Update(0);
    if (row > endRow) {
        ended = true;
        closeDemoTracks();
        BASS_StreamFree(musicStream);
        BASS_Free();
        glutLeaveMainLoop();
    }
}

void handleKey(unsigned char key, int, int)
{
    switch (key) {
    case 27:
        BASS_StreamFree(musicStream);
        BASS_Free();
        glutLeaveMainLoop();
        break;
    case ' ':
        if (!musicPaused) {
            BASS_ChannelPause(musicStream);
        } else {
            BASS_ChannelPlay(musicStream, false);
        }
        musicPaused = !musicPaused;
        break;
    case 'A':
    case 'a': {
        std::cout << "BACKWARDS\n";
        const uint64_t position = BASS_ChannelGetPosition(musicStream, BASS_POS_BYTE);
        BASS_ChannelSetPosition(musicStream, position - seekStepBytes, BASS_POS_BYTE);
        break;
    }
    case 'D':
    case 'd': {
        std::cout << "FORWARDS\n";
        const uint64_t position = BASS_ChannelGetPosition(musicStream, BASS_POS_BYTE);
        BASS_ChannelSetPosition(musicStream, position + seekStepBytes, BASS_POS_BYTE);
        break;
    }
    default:
        break;
    }
}
