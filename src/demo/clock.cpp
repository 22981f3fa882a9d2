#include "demo/clock.h"

#include "demo/timeline.h"
#include "demo/tracks.h"
#include "platform/audio/audio.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>

namespace {

struct MusicClock {
    uint32_t musicStream = 0; // "tune.ogg"; 0 when it could not be opened
    // Set once, when the first frame (or a hold) has taken the music out of
    // its state before playing.
    bool musicStarted = false;
    bool musicPaused = false;
    bool ended = false;
    // Set by holdMusicAt, cleared by resumeMusic: while a tool holds the
    // music, the tool, not the row, decides when the run is over.
    bool held = false;
    double rowRate = ::rowRate;
    double endRow = ::endRow;
} CLOCK;

uint32_t& musicStream = CLOCK.musicStream;

constexpr uint64_t sampleFrameBytes = 4; // 16-bit stereo

double rowAtFrame(uint64_t frame)
{
    return BASS_ChannelBytes2Seconds(musicStream, frame * sampleFrameBytes) * CLOCK.rowRate;
}

// The first whole sample frame at which currentRow() reads `row` or later.
// The nearest frame could read a hair below the row, and a frame held at a
// step key's row would then show the value before the key.
uint64_t firstFrameAtRow(double row)
{
    const double framesPerSecond = 1.0 / BASS_ChannelBytes2Seconds(musicStream, sampleFrameBytes);
    const double estimate = std::ceil(row / CLOCK.rowRate * framesPerSecond) - 1.0;
    if (!(estimate > 0.0)) return 0;
    // The estimate is off by rounding alone: a step or two either way.
    uint64_t frame = static_cast<uint64_t>(std::min(estimate, 1e15));
    for (int step = 0; step < 4 && frame > 0 && rowAtFrame(frame - 1) >= row; ++step) --frame;
    for (int step = 0; step < 4 && rowAtFrame(frame) < row; ++step) ++frame;
    return frame;
}

} // namespace

void openMusic()
{
    BASS_Start();
    BASS_Init(-1, 44100, 0, nullptr, nullptr);
    musicStream = BASS_StreamCreateFile(false, "tune.ogg", 0, 0, 0);
}

void setTimeline(double rowsPerSecond, double lastRow)
{
    CLOCK.rowRate = rowsPerSecond;
    CLOCK.endRow = lastRow;
}

double timelineEndRow()
{
    return CLOCK.endRow;
}

bool musicLoaded()
{
    return CLOCK.musicStream != 0;
}

bool musicIsPaused()
{
    return CLOCK.musicPaused;
}

void toggleMusicPause()
{
    if (!CLOCK.musicPaused) {
        BASS_ChannelPause(musicStream);
    } else {
        BASS_ChannelPlay(musicStream, false);
    }
    CLOCK.musicPaused = !CLOCK.musicPaused;
}

void seekMusicBytes(bool forward, uint64_t bytes)
{
    const uint64_t position = BASS_ChannelGetPosition(musicStream, BASS_POS_BYTE);
    BASS_ChannelSetPosition(musicStream, forward ? position + bytes : position - bytes, BASS_POS_BYTE);
}

bool demoEnded()
{
    return CLOCK.ended;
}

void quitDemo()
{
    CLOCK.ended = true;
    closeMusic();
    glutLeaveMainLoop();
}

double currentRow()
{
    const uint64_t position = BASS_ChannelGetPosition(musicStream, BASS_POS_BYTE);
    const double seconds = BASS_ChannelBytes2Seconds(musicStream, position);
    return seconds * CLOCK.rowRate;
}

double beginFrameClock()
{
    if (!CLOCK.musicStarted) {
        BASS_ChannelPlay(musicStream, false);
        CLOCK.musicStarted = true;
    }
    BASS_Update(0);
    return currentRow();
}

void endFrameClock(double row)
{
    BASS_Update(0);
    if (row > CLOCK.endRow && !CLOCK.held) {
        CLOCK.ended = true;
        closeDemoTracks();
        closeMusic();
        glutLeaveMainLoop();
    }
}

void holdMusicAt(double row)
{
    if (!CLOCK.musicPaused) {
        BASS_ChannelPause(musicStream);
        CLOCK.musicPaused = true;
    }
    CLOCK.musicStarted = true;
    CLOCK.held = true;
    moveMusicTo(row);
}

void moveMusicTo(double row)
{
    BASS_ChannelSetPosition(musicStream, firstFrameAtRow(row) * sampleFrameBytes, BASS_POS_BYTE);
}

bool reopenMusic()
{
    const double row = currentRow();
    const uint32_t stream = BASS_StreamCreateFile(false, "tune.ogg", 0, 0, 0);
    if (!stream) return false;
    BASS_StreamFree(musicStream);
    musicStream = stream;
    moveMusicTo(row);
    if (CLOCK.musicStarted && !CLOCK.musicPaused) BASS_ChannelPlay(musicStream, false);
    return true;
}

bool spliceMusic(uint64_t first, const int16_t* samples, uint64_t frames)
{
    const uint64_t crossing = 441; // 10 ms at 44.1 kHz
    return AUDIO_StreamOverwrite(musicStream, first, samples, frames, 2, crossing);
}

void resumeMusic()
{
    BASS_ChannelPlay(musicStream, false);
    CLOCK.musicStarted = true;
    CLOCK.musicPaused = false;
    CLOCK.held = false;
}

void closeMusic()
{
    BASS_StreamFree(musicStream);
    BASS_Free();
}
