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
        if (a.gain) {
            a.gain.disconnect();
            a.gain = null;
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
            a.gain = a.context.createGain();
            a.gain.connect(a.context.destination);
            a.source = a.context.createBufferSource();
            a.source.buffer = a.buffer;
            a.source.connect(a.gain);
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

// Part of the music rendered again, put in place while it plays: a new
// buffer (the one playing may be the output's already), and where a source
// plays, a new one from the same sample that the old one crosses over into,
// `fade` frames long, a moment ahead, so that both switch on the same sample.
EM_JS(int, webAudioSplice, (double first, const int16_t* samples, double frames, double fade), {
    const a = Module.orvantaAudio;
    const old = a.buffer;
    if (!old || old.numberOfChannels !== 2 || first > old.length) return 0;
    const count = Math.min(frames, old.length - first);
    const next = new AudioBuffer({ numberOfChannels: 2, length: old.length, sampleRate: old.sampleRate });
    const from = samples >> 1;
    for (let c = 0; c < 2; ++c) {
        const data = next.getChannelData(c);
        data.set(old.getChannelData(c));
        for (let i = 0; i < count; ++i) data[first + i] = HEAP16[from + 2 * i + c] / 32768;
    }
    a.buffer = next;
    if (a.source && a.playing && a.context && a.context.state === 'running') {
        const ahead = 0.02;
        const at = a.context.currentTime + ahead;
        const offset = a.position() + ahead * a.rate;
        const crossing = Math.max(fade, 1) / a.rate;
        const gain = a.context.createGain();
        gain.connect(a.context.destination);
        gain.gain.setValueAtTime(0, at);
        gain.gain.linearRampToValueAtTime(1, at + crossing);
        const source = a.context.createBufferSource();
        source.buffer = next;
        source.connect(gain);
        source.start(at, offset / a.rate);
        const [oldSource, oldGain] = [a.source, a.gain];
        oldGain.gain.setValueAtTime(1, at);
        oldGain.gain.linearRampToValueAtTime(0, at + crossing);
        oldSource.stop(at + crossing);
        oldSource.onended = () => {
            oldSource.disconnect();
            oldGain.disconnect();
        };
        a.source = source;
        a.gain = gain;
    }
    return 1;
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

bool AUDIO_StreamOverwrite(uint32_t handle, uint64_t first, const int16_t* samples, uint64_t count,
                           uint32_t channels, uint64_t fade)
{
    if (!live(handle) || !samples || channels != 2) return false;
    return webAudioSplice(static_cast<double>(first), samples, static_cast<double>(count), static_cast<double>(fade)) != 0;
}
