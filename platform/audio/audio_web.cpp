// The audio layer in a browser: the same calls over Web Audio. The page
// decodes "tune.ogg" with the browser's own decoder before the program
// starts (Module.orvantaAudio.buffer) and owns the AudioContext; the music's
// position comes from the context's clock. Without a context that runs (no
// sound device, or a context the browser keeps blocked) the position comes
// from the page's monotonic clock, as the desktop's silent clock does. A
// page without the tune plays silence of the demo's length.
#include "platform/audio/audio.h"

#include <emscripten.h>

namespace {

// The state lives on the page: Module.orvantaAudio, made by the page.
EM_JS(int, webAudioOpen, (), {
    const a = Module.orvantaAudio || (Module.orvantaAudio = {});
    // A stream opened again (a new version of the tune) replaces the one
    // playing: its sound stops here, not when the old handle is freed.
    if (a.stopSource) a.stopSource();
    a.rate = a.buffer ? a.buffer.sampleRate : 44100;
    a.length = a.buffer ? a.buffer.length : Math.round((a.silentSeconds || 150) * a.rate);
    a.playing = false;
    a.offset = 0;
    a.now = () => (a.context && a.context.state === 'running') ? a.context.currentTime : performance.now() / 1000;
    a.stopSource = () => {
        if (a.source) {
            try { a.source.stop(); } catch (e) {}
            a.source.disconnect();
            a.source = null;
        }
    };
    a.position = () => {
        if (!a.playing) return a.offset;
        const at = a.offset + (a.now() - a.startedAt) * a.rate;
        if (at >= a.length) {
            a.playing = false;
            a.offset = a.length;
            a.stopSource();
        }
        return Math.min(at, a.length);
    };
    a.play = () => {
        if (a.playing || a.offset >= a.length) return;
        a.playing = true;
        a.startedAt = a.now();
        if (a.buffer && a.context && a.context.state === 'running') {
            a.source = a.context.createBufferSource();
            a.source.buffer = a.buffer;
            a.source.connect(a.context.destination);
            a.source.start(0, a.offset / a.rate);
        }
    };
    a.pause = () => {
        a.offset = Math.floor(a.position());
        a.playing = false;
        a.stopSource();
    };
    return 1;
});

EM_JS(void, webAudioPlay, (int restart), {
    const a = Module.orvantaAudio;
    if (restart) {
        a.pause();
        a.offset = 0;
    }
    a.play();
});

EM_JS(void, webAudioPause, (), { Module.orvantaAudio.pause(); });

EM_JS(double, webAudioPosition, (), { return Math.floor(Module.orvantaAudio.position()); });

EM_JS(double, webAudioLength, (), { return Module.orvantaAudio.length; });

EM_JS(double, webAudioRate, (), { return Module.orvantaAudio.rate; });

EM_JS(void, webAudioSeek, (double frame), {
    const a = Module.orvantaAudio;
    const playing = a.playing;
    a.pause();
    a.offset = frame;
    if (playing) a.play();
});

struct WebAudio {
    bool initialised = false;
    bool open = false;
    // The page plays one stream: each one opened gets a handle of its own,
    // so that freeing the one it replaced leaves it playing.
    uint32_t handle = 0;
} state;

bool live(uint32_t handle)
{
    return state.open && handle != 0 && handle == state.handle;
}

} // namespace

bool BASS_Start(void)
{
    return true;
}

bool BASS_Init(int device, uint32_t, uint32_t, void*, const void*)
{
    if (device != -1) return false;
    state.initialised = true;
    return true;
}

uint32_t BASS_StreamCreateFile(bool fromMemory, const void* file, uint64_t offset, uint64_t length, uint32_t)
{
    if (!state.initialised || fromMemory || !file || offset != 0 || length != 0) return 0;
    state.open = webAudioOpen() != 0;
    if (!state.open) return 0;
    state.handle = state.handle == UINT32_MAX ? 1 : state.handle + 1;
    return state.handle;
}

bool BASS_ChannelPlay(uint32_t handle, bool restart)
{
    if (!live(handle)) return false;
    webAudioPlay(restart ? 1 : 0);
    return true;
}

bool BASS_ChannelPause(uint32_t handle)
{
    if (!live(handle)) return false;
    webAudioPause();
    return true;
}

bool BASS_Update(uint32_t)
{
    return state.initialised;
}

uint64_t BASS_ChannelGetPosition(uint32_t handle, uint32_t mode)
{
    if (!live(handle) || mode != BASS_POS_BYTE) return UINT64_MAX;
    return static_cast<uint64_t>(webAudioPosition()) * 4u;
}

double BASS_ChannelBytes2Seconds(uint32_t handle, uint64_t position)
{
    if (!live(handle)) return -1.0;
    return static_cast<double>(position) / (4.0 * webAudioRate());
}

bool BASS_ChannelSetPosition(uint32_t handle, uint64_t position, uint32_t mode)
{
    if (!live(handle) || mode != BASS_POS_BYTE) return false;
    const double frame = static_cast<double>(position / 4u);
    if (frame > webAudioLength()) return false;
    webAudioSeek(frame);
    return true;
}

bool BASS_StreamFree(uint32_t handle)
{
    if (!live(handle)) return false;
    webAudioPause();
    state.open = false;
    return true;
}

bool BASS_Free(void)
{
    if (!state.initialised) return false;
    if (state.open) BASS_StreamFree(state.handle);
    state.initialised = false;
    return true;
}

bool AUDIO_StreamOverwrite(uint32_t, uint64_t, const int16_t*, uint64_t, uint32_t, uint64_t)
{
    return false;
}
