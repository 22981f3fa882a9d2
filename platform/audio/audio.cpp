// The audio layer: streams decoded whole into memory, mixed by SDL's audio
// callback on SDL's thread, or timed by the silent clock when no output
// could be opened. Everything the callback touches is guarded by SDL's
// device lock; the rest runs on the main thread.
#include "platform/audio/audio.h"

#include "platform/audio/decode.h"
#include "platform/audio/playback_clock.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

struct Stream {
    uint32_t handle;
    DecodedAudio audio;
    PlaybackClock clock;
    uint64_t frameBytes() const { return 2u * audio.channels; }
};

struct AudioState {
    bool initialised = false;
    SDL_AudioDeviceID device = 0; // 0: silent clock
    SDL_AudioSpec spec{};
    std::vector<std::unique_ptr<Stream>> streams;
    uint32_t nextHandle = 1;
};

AudioState audio;

int64_t monotonicNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Sound systems report a missing sound card on standard error while SDL
// probes them; the demo's console carries only its own lines.
class QuietStderr {
public:
    QuietStderr()
    {
        std::fflush(stderr);
        saved_ = dup(2);
        const int null = open("/dev/null", O_WRONLY);
        if (saved_ >= 0 && null >= 0) dup2(null, 2);
        if (null >= 0) close(null);
    }
    ~QuietStderr()
    {
        if (saved_ >= 0) {
            dup2(saved_, 2);
            close(saved_);
        }
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int saved_;
};

class DeviceLock {
public:
    DeviceLock()
    {
        if (audio.device) SDL_LockAudioDevice(audio.device);
    }
    ~DeviceLock()
    {
        if (audio.device) SDL_UnlockAudioDevice(audio.device);
    }
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;
};

// SDL's thread: mixes every playing stream whose format matches the output.
void SDLCALL mix(void*, Uint8* bytes, int length)
{
    std::memset(bytes, 0, static_cast<size_t>(length));
    const int64_t now = monotonicNow();
    auto* out = reinterpret_cast<int16_t*>(bytes);
    const uint32_t channels = audio.spec.channels;
    const uint64_t frames = static_cast<uint64_t>(length) / (2u * channels);
    for (auto& stream : audio.streams) {
        if (!stream->clock.playing() || stream->audio.channels != channels ||
            stream->audio.rate != static_cast<uint32_t>(audio.spec.freq)) {
            continue;
        }
        const uint64_t start = stream->clock.feedCursor();
        const uint64_t available = stream->clock.length() - start;
        const uint64_t count = frames < available ? frames : available;
        const int16_t* source = stream->audio.samples.data() + start * channels;
        for (uint64_t i = 0; i < count * channels; ++i) {
            const int sum = out[i] + source[i];
            out[i] = static_cast<int16_t>(sum > 32767 ? 32767 : sum < -32768 ? -32768 : sum);
        }
        stream->clock.handed(now, count, audio.spec.samples);
    }
}

bool openOutput(int rate, int channels)
{
    if (audio.device) {
        SDL_CloseAudioDevice(audio.device);
        audio.device = 0;
    }
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(channels);
    want.samples = 1024;
    want.callback = mix;
    QuietStderr quiet;
    // No changes allowed: SDL converts to whatever the device plays.
    audio.device = SDL_OpenAudioDevice(nullptr, 0, &want, &audio.spec, 0);
    if (audio.device) {
        SDL_PauseAudioDevice(audio.device, 0);
    }
    return audio.device != 0;
}

Stream* find(uint32_t handle)
{
    for (auto& stream : audio.streams) {
        if (stream->handle == handle) return stream.get();
    }
    return nullptr;
}

} // namespace

bool BASS_Start(void)
{
    return true;
}

bool BASS_Init(int device, uint32_t freq, uint32_t, void*, const void*)
{
    if (device != -1) {
        return false;
    }
    if (audio.initialised) {
        return true;
    }
    audio.initialised = true;
    // A process that ends without BASS_Free (its window closed, say) still
    // stops the output thread and closes SDL's connections on the way out.
    static const bool releaseAtExit = std::atexit([] { BASS_Free(); }) == 0;
    (void)releaseAtExit;
    {
        // SDL's start-up would install SIGINT and SIGTERM handlers that only
        // queue an event nobody reads: Ctrl-C and kill must keep ending the
        // process as they do by default.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        QuietStderr quiet;
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            return true; // silent clock
        }
    }
    openOutput(static_cast<int>(freq), 2);
    return true;
}

uint32_t BASS_StreamCreateFile(bool fromMemory, const void* file, uint64_t offset, uint64_t length, uint32_t)
{
    if (!audio.initialised || fromMemory || !file || offset != 0 || length != 0) {
        return 0;
    }
    DecodedAudio decoded;
    if (!decodeOggVorbis(static_cast<const char*>(file), decoded)) {
        return 0;
    }
    // The output follows the stream's own format; SDL converts for the device.
    if (audio.device && (decoded.rate != static_cast<uint32_t>(audio.spec.freq) ||
                         decoded.channels != audio.spec.channels)) {
        openOutput(static_cast<int>(decoded.rate), static_cast<int>(decoded.channels));
    }
    const uint64_t frames = decoded.samples.size() / decoded.channels;
    const uint32_t rate = decoded.rate;
    auto stream = std::unique_ptr<Stream>(
        new Stream{audio.nextHandle++, std::move(decoded), PlaybackClock(rate, frames, audio.device != 0)});
    const uint32_t handle = stream->handle;
    DeviceLock lock;
    audio.streams.push_back(std::move(stream));
    return handle;
}

bool BASS_ChannelPlay(uint32_t handle, bool restart)
{
    DeviceLock lock;
    Stream* stream = find(handle);
    if (!stream) return false;
    const int64_t now = monotonicNow();
    if (restart) stream->clock.seek(now, 0);
    stream->clock.play(now);
    return true;
}

bool BASS_ChannelPause(uint32_t handle)
{
    DeviceLock lock;
    Stream* stream = find(handle);
    if (!stream) return false;
    stream->clock.pause(monotonicNow());
    return true;
}

bool BASS_Update(uint32_t)
{
    return audio.initialised;
}

uint64_t BASS_ChannelGetPosition(uint32_t handle, uint32_t mode)
{
    DeviceLock lock;
    Stream* stream = find(handle);
    if (!stream || mode != BASS_POS_BYTE) return UINT64_MAX;
    return stream->clock.position(monotonicNow()) * stream->frameBytes();
}

double BASS_ChannelBytes2Seconds(uint32_t handle, uint64_t position)
{
    DeviceLock lock;
    Stream* stream = find(handle);
    if (!stream) return -1.0;
    return static_cast<double>(position) / static_cast<double>(stream->frameBytes() * stream->audio.rate);
}

bool BASS_ChannelSetPosition(uint32_t handle, uint64_t position, uint32_t mode)
{
    DeviceLock lock;
    Stream* stream = find(handle);
    if (!stream || mode != BASS_POS_BYTE) return false;
    if (position > stream->clock.length() * stream->frameBytes()) return false;
    return stream->clock.seek(monotonicNow(), position / stream->frameBytes());
}

bool BASS_StreamFree(uint32_t handle)
{
    std::unique_ptr<Stream> released;
    {
        DeviceLock lock;
        for (auto it = audio.streams.begin(); it != audio.streams.end(); ++it) {
            if ((*it)->handle == handle) {
                released = std::move(*it);
                audio.streams.erase(it);
                break;
            }
        }
    }
    return released != nullptr;
}

bool BASS_Free(void)
{
    if (!audio.initialised) return false;
    if (audio.device) {
        SDL_CloseAudioDevice(audio.device);
        audio.device = 0;
    }
    audio.streams.clear();
    // SDL_Quit, not just the audio subsystem: SDL opened its D-Bus connection
    // when it started, and only a full quit closes it again.
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    if (SDL_WasInit(0) == 0) {
        SDL_Quit();
    }
    audio.initialised = false;
    return true;
}

bool AUDIO_StreamOverwrite(uint32_t handle, uint64_t first, const int16_t* samples, uint64_t count,
                           uint32_t channels, uint64_t fade)
{
    DeviceLock lock;
    Stream* stream = find(handle);
    if (!stream || !samples || channels != stream->audio.channels || first > stream->clock.length()) return false;
    const uint64_t end = first + std::min(count, stream->clock.length() - first);
    // The output takes frames from the feed cursor on (the silent clock,
    // which feeds nothing, from where it is heard).
    const uint64_t cursor = audio.device ? stream->clock.feedCursor() : stream->clock.position(monotonicNow());
    int16_t* target = stream->audio.samples.data();
    for (uint64_t frame = first; frame < end; ++frame) {
        double mix = 1.0;
        if (frame >= cursor && frame - cursor < fade) mix = static_cast<double>(frame - cursor + 1) / (fade + 1);
        for (uint32_t c = 0; c < channels; ++c) {
            const uint64_t at = frame * channels + c;
            const double value = mix * samples[(frame - first) * channels + c] + (1.0 - mix) * target[at];
            target[at] = static_cast<int16_t>(std::lround(value));
        }
    }
    return true;
}
